#pragma once
// The in-process line: serial ports that reach a SimDevice through the
// virtual clock, so the real device procedures run against it in tests.

#include "SimDevice.h"
#include "platform/SerialPort.h"
#include "platform/VirtualClock.h"

#include <QSet>

namespace qel::sim {

class SimPortFactory : public SerialPortFactory {
public:
    SimPortFactory(VirtualClock &clock, SimDevice &device);
    std::unique_ptr<SerialPort> create() override;

    // The port number the device hangs on; other port numbers are dead lines.
    int devicePort = 1;
    // Port numbers that cannot be opened (no such port / in use).
    QSet<int> failingPorts;
    // Unplug: every open port loses its line, and opening fails until plugged.
    void setUnplugged(bool on);
    bool unplugged() const;
    // All bytes any port wrote, in order (with the settings text in force).
    struct Sent {
        qint64 atMs;
        QString settings;
        QByteArray bytes;
    };
    const QList<Sent> &sent() const;
    // How many ports are open right now.
    int openPorts() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace qel::sim
