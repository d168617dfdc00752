#pragma once
// What the benchmark programs share: the simulator on a pseudo-terminal,
// the device side wired over real serial ports for a program without
// windows, a port that watches another, the CPU clock, the median.

#include "platform/Dialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "wiring/Wiring.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace qel::bench {

// CPU time (user + system) in milliseconds of this process, or of its
// finished children.
double cpuMs(bool children = false);

template <typename T>
T median(std::vector<T> v, T none)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? none : v[v.size() / 2];
}

// Starts `sim ARGS...` and reads the device path from its first line.
bool startSim(QProcess &proc, const QString &sim, const QStringList &args, QString &path);
void stopSim(QProcess &proc);

// Boxes go to stderr on one line; an Abort/Retry/Ignore box answers Abort.
class BenchBoxes : public MessageBoxes {
public:
    MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    int count = 0;
};

// A port that hands every call on to another; a measuring port overrides
// the calls it watches.
class ForwardingPort : public SerialPort {
public:
    explicit ForwardingPort(std::unique_ptr<SerialPort> inner) : in_(std::move(inner)) {}
    void setPortNumber(int n) override { in_->setPortNumber(n); }
    int portNumber() const override { return in_->portNumber(); }
    void setSettings(const QString &s) override { in_->setSettings(s); }
    QString settings() const override { return in_->settings(); }
    bool open() override { return in_->open(); }
    void close() override { in_->close(); }
    bool isOpen() const override { return in_->isOpen(); }
    QString lastError() const override { return in_->lastError(); }
    bool setRts(bool on) override { return in_->setRts(on); }
    bool rts() const override { return in_->rts(); }
    int bytesWaiting() override { return in_->bytesWaiting(); }
    QByteArray readAllWaiting() override { return in_->readAllWaiting(); }
    void discardInput() override { in_->discardInput(); }
    bool write(const QByteArray &data) override { return in_->write(data); }
    bool lineLost() const override { return in_->lineLost(); }

protected:
    std::unique_ptr<SerialPort> in_;
};

// The device side on `clock`, its port 1 the serial line at `path`; every
// port it makes is passed through `wrap` (a measuring port around it).
class Rig : public SerialPortFactory {
public:
    using Wrap = std::function<std::unique_ptr<SerialPort>(std::unique_ptr<SerialPort>)>;
    Rig(Clock &clock, const QString &path, Wrap wrap);
    std::unique_ptr<SerialPort> create() override { return wrap_(qtPorts_.create()); }

private:
    MemorySettingsStore store_;
    PortMap map_;
    QtSerialPortFactory qtPorts_;
    Wrap wrap_;

public:
    BenchBoxes boxes;
    NoDialogs dialogs;
    std::unique_ptr<Wiring> wiring;
};

} // namespace qel::bench
