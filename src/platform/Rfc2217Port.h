#pragma once
// A serial line behind a device server on the network, addressed as
// rfc2217://HOST:PORT: the serial port interface over a TCP connection that
// speaks Telnet with the COM-PORT-OPTION (RFC 2217). Opening connects,
// negotiates and sets the line from the settings text, and checks the
// server's answers; every wait is bounded and blocks on the socket.
//
// One TCP session a server port, for the whole process. The device
// procedures open and close their port many times within one exchange, and
// each window has a port object of its own; a server that serves one client
// at a time is still closing the last session when the next connection
// comes, and refuses it. So a closed port hands its session to a table of
// this process for a short linger: an open of the same HOST:PORT within it
// (by any port object) takes the session up again and sets the line and
// purges exactly as on a new connection; at the linger's end the session is
// closed, so the server is free for other clients while the program is
// idle. endSessions() closes every lingering session at once (at the end of
// the process, by itself).

#include "NetworkPort.h"
#include "PortAccess.h"
#include "Rfc2217.h"
#include "SerialPort.h"

#include <functional>

namespace qel {

class Rfc2217Port : public SerialPort {
public:
    explicit Rfc2217Port(const QString &url);
    ~Rfc2217Port() override;

    // Bounds of the connect and of each wait for a server's answer.
    void setTimeouts(int connectMs, int answerMs)
    {
        connectMs_ = connectMs;
        answerMs_ = answerMs;
    }
    // How long a closed port's session waits for a reopen, and how long a
    // server that closes new sessions at once is asked again.
    void setSessionTimes(int lingerMs, int refusedRetryMs)
    {
        lingerMs_ = lingerMs;
        retryMs_ = refusedRetryMs;
    }
    // Closes every session that waits for a reopen, without waiting.
    static void endSessions();
    // Sessions waiting for a reopen (for tests).
    static int lingeringSessions();

    // On an open connection the new settings are in force when this returns
    // (the server answered), so the next byte goes out at the new speed.
    void setSettings(const QString &s) override;
    bool open() override;
    // Hands the session to the table for its linger (RTS is lowered first by
    // the caller, as on any port).
    void close() override;
    bool isOpen() const override { return open_; }
    QString lastError() const override { return error_; }
    PortProblem openProblem() const override;
    // Sent as SET-CONTROL without waiting: a server whose line cannot carry
    // RTS (a pseudo-terminal) does not answer, which is no fault.
    bool setRts(bool on) override;
    int bytesWaiting() override;
    QByteArray readAllWaiting() override;
    // PURGE-DATA of the server's receive buffer; what the server sent before
    // its answer is dropped too.
    void discardInput() override;
    bool write(const QByteArray &data) override;
    bool lineLost() const override { return lost_; }
    // The connection and the Telnet negotiation, both ways.
    void setProtocolTrace(std::function<void(const QString &)> trace) override { trace_ = std::move(trace); }

    struct Connection;

private:
    bool connectNew();
    bool negotiate(QString &why);
    // The line as a fresh open leaves it: settings, no flow control, RTS as
    // asked, input purged.
    bool setUpLine(QString &why);
    bool applySettings(QString &why);
    void pump();
    void send(const QByteArray &bytes);
    // Reads from the socket until done() or the bound; false on time-out or loss.
    bool waitFor(const std::function<bool()> &done, int ms);
    bool connected() const;
    void drop();
    void fail(const QString &why);
    void onLost(const QString &why);
    QString where() const;
    void traceProtocol(const QString &text) const
    {
        if (trace_)
            trace_(QStringLiteral("telnet ") + text);
    }

    QString url_;
    QString host_;
    quint16 tcpPort_ = 0;
    Connection *conn_ = nullptr; // ours while open; after a loss until the next open
    QString error_;
    bool open_ = false;
    bool lost_ = false;
    int connectMs_ = 3000;
    int answerMs_ = 2000;
    int lingerMs_ = 1500;
    int retryMs_ = 3000;
    std::function<void(const QString &)> trace_;
};

} // namespace qel
