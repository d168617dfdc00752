#pragma once
// The serial port as the device procedures see it: the operations of the
// old serial control (port number, settings text, open/close, RTS, count
// waiting, read all waiting, discard input, write).
// Qt implements it over QSerialPort; the tests over the in-process simulator.

#include "PortAccess.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace qel {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Port number 1..4 (COM1..COM4); mapped to a device path by the factory.
    virtual void setPortNumber(int n) { number_ = n; }
    virtual int portNumber() const { return number_; }
    // Settings text such as "9600,N,8,1" or "1200,n,8,1".
    virtual void setSettings(const QString &settings) { settings_ = settings; }
    virtual QString settings() const { return settings_; }

    // Opening can fail (no such port, port busy); the reason is in lastError()
    // and, told for the user, in openProblem() (None after a good open).
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString lastError() const = 0;
    virtual PortProblem openProblem() const { return {}; }

    // RTS. The port keeps its own record of the state it was asked for; a line
    // that cannot carry RTS (a pseudo-terminal) is not an error.
    virtual bool setRts(bool on) = 0;
    virtual bool rts() const { return rts_; }

    // Count of characters waiting, read everything waiting, discard input.
    virtual int bytesWaiting() = 0;
    virtual QByteArray readAllWaiting() = 0;
    virtual void discardInput() = 0;
    virtual bool write(const QByteArray &data) = 0;

    // True once the line has gone away under an open port (device unplugged).
    virtual bool lineLost() const { return false; }

    // For the wire trace (WireTrace.h): a transport with a protocol of its
    // own below the data (a network line's Telnet negotiation) tells it here,
    // one line a step.
    virtual void setProtocolTrace(std::function<void(const QString &)> trace) { (void)trace; }

protected:
    // The properties as last set, for a port that keeps them itself.
    int number_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    bool rts_ = false;
};

// Every window that owns a serial control makes its own port object; all of
// them reach the same physical line.
class SerialPortFactory {
public:
    virtual ~SerialPortFactory() = default;
    virtual std::unique_ptr<SerialPort> create() = 0;
};

// Baud rate from a settings text ("9600,N,8,1" -> 9600); 0 when unreadable.
int baudFromSettings(const QString &settings);

} // namespace qel
