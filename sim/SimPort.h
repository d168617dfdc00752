#pragma once
// The in-process line: serial ports that reach a SimDevice through the
// virtual clock, so the real device procedures run against it in tests.

#include "SimDevice.h"
#include "platform/SerialPort.h"
#include "platform/VirtualClock.h"

#include <QSet>

namespace qel::sim {

class SimPort;

class SimPortFactory : public SerialPortFactory {
public:
    SimPortFactory(VirtualClock &clock, SimDevice &device);
    std::unique_ptr<SerialPort> create() override;

    // The port number the device hangs on; other port numbers are dead lines.
    int devicePort = 1;
    // Port numbers that cannot be opened (no such port / in use).
    QSet<int> failingPorts;
    // Unplug: the ports open on the device's line lose it (like the Qt port:
    // lineLost() true and closed), nothing more arrives, and opening the
    // device's port number fails until plugged again. Only one port object
    // at a time can hold a port number open (the others get "busy").
    void setUnplugged(bool on);
    // All bytes any port wrote, in order (with the settings text in force).
    struct Sent {
        qint64 atMs;
        QString settings;
        QByteArray bytes;
    };
    const QList<Sent> &sent() const;
    // How many ports are open right now.
    int openPorts() const;
    // Puts bytes on the line from the device's side, delayMs from now, as if
    // the device had sent them unasked (for replies no fault can shape).
    void sendFromDevice(qint64 delayMs, const QByteArray &bytes);

private:
    friend class SimPort;
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace qel::sim
