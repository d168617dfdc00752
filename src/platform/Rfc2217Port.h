#pragma once
// A serial line behind a device server on the network, addressed as
// rfc2217://HOST:PORT: the serial port interface over a TCP connection that
// speaks Telnet with the COM-PORT-OPTION (RFC 2217). Opening connects,
// negotiates and sets the line from the settings text, and checks the
// server's answers; every wait is bounded and blocks on the socket.

#include "Rfc2217.h"
#include "PortAccess.h"
#include "SerialPort.h"

#include <QTcpSocket>
#include <functional>

namespace qel {

class Rfc2217Port : public SerialPort {
public:
    explicit Rfc2217Port(const QString &url);
    ~Rfc2217Port() override;

    // "rfc2217://HOST:PORT" (HOST may be a name, an IPv4 or a [IPv6] address).
    static bool isUrl(const QString &path);
    static bool parseUrl(const QString &path, QString &host, quint16 &port);

    // Bounds of the connect and of each wait for a server's answer.
    void setTimeouts(int connectMs, int answerMs)
    {
        connectMs_ = connectMs;
        answerMs_ = answerMs;
    }

    // On an open connection the new settings are in force when this returns
    // (the server answered), so the next byte goes out at the new speed.
    void setSettings(const QString &s) override;
    bool open() override;
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

private:
    void pump();
    void send(const QByteArray &bytes);
    // Reads from the socket until done() or the bound; false on time-out or loss.
    bool waitFor(const std::function<bool()> &done, int ms);
    bool applySettings(QString &why);
    void fail(const QString &why);
    void onLost(const QString &why);
    QString where() const;

    QString url_;
    QString host_;
    quint16 tcpPort_ = 0;
    QTcpSocket sock_;
    rfc2217::Session session_;
    QString error_;
    bool open_ = false;
    bool lost_ = false;
    bool purgeAnswered_ = true; // until a PURGE-DATA goes unanswered
    int connectMs_ = 3000;
    int answerMs_ = 2000;
};

} // namespace qel
