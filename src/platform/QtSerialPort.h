#pragma once
// The serial port over QSerialPort. Port numbers COM1..COM4 map to device
// paths through PortMap (defaults /dev/ttyS0../dev/ttyS3, each overridable in
// the settings store, and one path for the whole run given by --port).

#include "LinePort.h"
#include "SerialPort.h"
#include "SettingsStore.h"

#include <QSerialPort>

namespace qel {

class PortMap {
public:
    explicit PortMap(SettingsStore *store = nullptr) : store_(store) {}
    // A device path that replaces the mapping for this run (--port DEVICE).
    void setOverride(const QString &path) { override_ = path; }
    QString overridePath() const { return override_; }
    // The device path of port n: the override, else mappedPath(n).
    QString devicePath(int n) const;
    // The stored "QEL-5600"/"DevicePath"/"COMn", else /dev/ttyS(n-1).
    QString mappedPath(int n) const;
    static QString defaultPath(int n);

private:
    SettingsStore *store_;
    QString override_;
};

class QtSerialPort : public QObject, public SerialPort {
    Q_OBJECT
public:
    // The local device at `path` (the port number's path, resolved by LinePort).
    explicit QtSerialPort(const QString &path);
    ~QtSerialPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString lastError() const override { return error_; }
    // Also a line lost under the open port, by its path.
    PortProblem openProblem() const override;
    bool setRts(bool on) override;
    int bytesWaiting() override;
    QByteArray readAllWaiting() override;
    void discardInput() override;
    bool write(const QByteArray &data) override;
    bool lineLost() const override { return lost_; }

private:
    void onError(QSerialPort::SerialPortError e);

    const QString path_;
    QSerialPort port_;
    QString error_;
    PortProblem problem_;
    DeviceHold hold_; // the device locked while the port is open
    bool lost_ = false;
};

class QtSerialPortFactory : public SerialPortFactory {
public:
    explicit QtSerialPortFactory(const PortMap *map) : map_(map) {}
    // A local device or rfc2217://HOST:PORT, chosen at each open by the path.
    std::unique_ptr<SerialPort> create() override { return std::make_unique<LinePort>(map_); }

private:
    const PortMap *map_;
};

} // namespace qel
