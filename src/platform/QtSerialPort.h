#pragma once
// The serial ports of the machine. Port numbers COM1..COM4 map to device
// paths through PortMap (defaults /dev/ttyS0../dev/ttyS3 on Linux, COM1..COM4
// on Windows, each overridable in the settings store, and one path for the
// whole run given by --port).

#include "LinePort.h"
#include "SerialPort.h"
#include "SettingsStore.h"

#include <memory>

namespace qel {

class PortMap {
public:
    explicit PortMap(SettingsStore *store = nullptr) : store_(store) {}
    // A device path that replaces the mapping for this run (--port DEVICE).
    void setOverride(const QString &path) { override_ = path; }
    QString overridePath() const { return override_; }
    // The device path of port n: the override, else mappedPath(n).
    QString devicePath(int n) const;
    // The stored "QEL-5600"/"DevicePath"/"COMn", else defaultPath(n):
    // /dev/ttyS(n-1) on Linux, COMn on Windows.
    QString mappedPath(int n) const;
    static QString defaultPath(int n);

private:
    SettingsStore *store_;
    QString override_;
};

// The local serial line at `path` (the port number's path, resolved by
// LinePort): over QSerialPort on Linux (SerialLine_posix.cpp), over the
// system's own calls on Windows (SerialLine_windows.cpp).
std::unique_ptr<SerialPort> createLocalPort(const QString &path);

class QtSerialPortFactory : public SerialPortFactory {
public:
    explicit QtSerialPortFactory(const PortMap *map) : map_(map) {}
    // A local device or rfc2217://HOST:PORT, chosen at each open by the path.
    std::unique_ptr<SerialPort> create() override { return std::make_unique<LinePort>(map_); }

private:
    const PortMap *map_;
};

} // namespace qel
