#include "Rfc2217Port.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace qel {

using namespace rfc2217;

namespace {

// What the socket takes in before the session reads it: a flooding server
// fills this and then waits in its own TCP window.
constexpr qint64 kSocketBuffer = 8192;
// A server that closes a new connection at once is asked again after this.
constexpr int kRetryPauseMs = 100;

} // namespace

// The TCP session: the socket and the Telnet state. Owned by the open port,
// or waiting in the table for its linger.
struct Rfc2217Port::Connection : QObject {
    QTcpSocket sock;
    Session telnet;
    // Whether the server answers PURGE-DATA: learnt from the first purge,
    // the only one waited for; later ones drop data until their answer
    // comes (or, at the latest, their deadline).
    enum { Unknown, Answers, Silent } purge = Unknown;
    QDeadlineTimer purgeDeadline;
    QString key;               // HOST:PORT
    Rfc2217Port *owner = nullptr;
    QTimer linger;

    void lost(const QString &why);
    // The socket closed now; the object goes once the event loop has it.
    void dispose()
    {
        QObject::disconnect(&sock, nullptr, nullptr, nullptr);
        linger.stop();
        owner = nullptr;
        sock.abort();
        deleteLater();
    }
};

namespace {

using Connection = Rfc2217Port::Connection;

// Closed ports' sessions by HOST:PORT, for the whole process. Never freed at
// static destruction: endSessions() empties it while Qt is still there.
QHash<QString, Connection *> &table()
{
    static auto *t = new QHash<QString, Connection *>;
    return *t;
}

Connection *takeLingering(const QString &key)
{
    Connection *c = table().take(key);
    if (!c)
        return nullptr;
    c->linger.stop();
    if (c->sock.state() != QAbstractSocket::ConnectedState) {
        c->dispose();
        return nullptr;
    }
    return c;
}

void endLinger(Connection *c)
{
    if (table().value(c->key) == c)
        table().remove(c->key);
    c->dispose();
}

void linger(Connection *c, int ms)
{
    c->owner = nullptr;
    if (ms <= 0 || !QCoreApplication::instance()) {
        c->dispose();
        return;
    }
    // Ended with the application, never waited for.
    qRemovePostRoutine(&Rfc2217Port::endSessions);
    qAddPostRoutine(&Rfc2217Port::endSessions);
    if (Connection *older = table().take(c->key))
        older->dispose();
    table().insert(c->key, c);
    c->linger.start(ms);
}

// Acknowledges what comes at once, from now on: a server that holds a small
// segment until the last one is acknowledged (Nagle, as ser2net does) would
// otherwise wait out this side's delayed acknowledgement (40 ms) in the
// middle of a reply. The system falls back to delaying after each write of
// ours, so this follows every read and write.
void quickAck(QTcpSocket &sock)
{
#ifdef Q_OS_LINUX
    const int one = 1;
    ::setsockopt(int(sock.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#else
    Q_UNUSED(sock);
#endif
}

// Blocks for `ms` in the event loop (timers and painting go on; input
// waits), or asleep where there is none.
void pause(int ms)
{
    if (!QCoreApplication::instance()) {
        QThread::msleep(ms);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

void Rfc2217Port::Connection::lost(const QString &why)
{
    if (owner)
        owner->onLost(why);
    else
        endLinger(this); // closed by the server while waiting for a reopen
}

void Rfc2217Port::endSessions()
{
    const QList<Connection *> all = table().values();
    table().clear();
    for (Connection *c : all)
        c->dispose();
}

int Rfc2217Port::lingeringSessions()
{
    return int(table().size());
}

Rfc2217Port::Rfc2217Port(const QString &url) : url_(url) {}

Rfc2217Port::~Rfc2217Port()
{
    if (open_)
        close();
    drop();
}

QString Rfc2217Port::where() const
{
    if (host_.isEmpty())
        return url_;
    return QStringLiteral("%1:%2").arg(host_.contains(QLatin1Char(':'))
                                           ? QStringLiteral("[%1]").arg(host_)
                                           : host_)
        .arg(tcpPort_);
}

PortProblem Rfc2217Port::openProblem() const
{
    if (error_.isEmpty() || open_)
        return {};
    PortProblem p;
    p.cause = PortProblem::Other;
    p.path = url_;
    const QString prefix = where() + QStringLiteral(": ");
    p.detail = error_.startsWith(prefix) ? error_.mid(prefix.size()) : error_;
    return p;
}

bool Rfc2217Port::connected() const
{
    return conn_ && conn_->sock.state() == QAbstractSocket::ConnectedState;
}

void Rfc2217Port::drop()
{
    if (conn_)
        conn_->dispose();
    conn_ = nullptr;
}

void Rfc2217Port::fail(const QString &why)
{
    error_ = QStringLiteral("%1: %2").arg(where(), why);
    open_ = false;
    if (conn_)
        conn_->sock.abort();
}

void Rfc2217Port::onLost(const QString &why)
{
    if (!open_)
        return;
    pump(); // what arrived before the loss is still data
    lost_ = true;
    fail(QStringLiteral("the network session was lost (%1)").arg(why));
}

void Rfc2217Port::send(const QByteArray &bytes)
{
    if (bytes.isEmpty() || !connected())
        return;
    traceProtocol(QStringLiteral("> ") + describe(bytes));
    conn_->sock.write(bytes);
    conn_->sock.flush();
    quickAck(conn_->sock);
}

void Rfc2217Port::pump()
{
    if (!conn_)
        return;
    Connection &c = *conn_;
    if (c.sock.bytesAvailable() > 0) {
        send(c.telnet.receive(c.sock.readAll()));
        quickAck(c.sock);
    }
    if (c.telnet.purgePending() && c.purgeDeadline.hasExpired()) {
        c.purge = Connection::Silent; // the answer that never came drops nothing more
        c.telnet.stopDropping();
    }
}

bool Rfc2217Port::waitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    pump();
    while (!done()) {
        if (!connected())
            return false;
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        if (conn_->sock.waitForReadyRead(int(left)))
            pump();
    }
    return true;
}

bool Rfc2217Port::open()
{
    if (open_)
        return true;
    lost_ = false;
    error_.clear();
    drop();
    if (!parseNetworkUrl(url_, host_, tcpPort_)) {
        error_ = QStringLiteral("%1: not a network port (rfc2217://HOST:PORT)").arg(url_);
        return false;
    }
    if (Connection *c = takeLingering(where())) {
        conn_ = c;
        c->owner = this;
        traceProtocol(QStringLiteral("session with %1 taken up again").arg(where()));
        open_ = true;
        QString why;
        if (setUpLine(why))
            return true;
        if (connected()) {
            fail(why); // the server is there but refuses the line
            return false;
        }
        // Gone during the linger: a new connection, as if there had been none.
        drop();
        open_ = lost_ = false;
        error_.clear();
    }
    return connectNew();
}

bool Rfc2217Port::connectNew()
{
    // A server still closing an earlier session (or serving another client)
    // accepts and closes at once: asked again for a while.
    const QDeadlineTimer giveUp(retryMs_);
    for (;;) {
        conn_ = new Connection;
        conn_->key = where();
        conn_->owner = this;
        Connection *c = conn_;
        c->telnet.heard = [c](const QByteArray &bytes) {
            if (c->owner)
                c->owner->traceProtocol(QStringLiteral("< ") + describe(bytes));
        };
        traceProtocol(QStringLiteral("connecting to %1").arg(where()));
        c->sock.setReadBufferSize(kSocketBuffer);
        QObject::connect(&c->sock, &QAbstractSocket::disconnected, c,
                         [c] { c->lost(QStringLiteral("the server closed the connection")); });
        QObject::connect(&c->sock, &QAbstractSocket::errorOccurred, c,
                         [c](QAbstractSocket::SocketError e) {
                             // A bounded wait that ran out is not a fault of the connection.
                             if (e != QAbstractSocket::SocketTimeoutError)
                                 c->lost(c->sock.errorString());
                         });
        c->linger.setSingleShot(true);
        QObject::connect(&c->linger, &QTimer::timeout, c, [c] { endLinger(c); });

        c->sock.connectToHost(host_, tcpPort_);
        if (!c->sock.waitForConnected(connectMs_)) {
            // Nothing listening is told at once.
            fail(c->sock.error() == QAbstractSocket::SocketTimeoutError
                     ? QStringLiteral("no connection within %1 s").arg(connectMs_ / 1000.0)
                     : c->sock.errorString());
            return false;
        }
        c->sock.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        traceProtocol(QStringLiteral("connected"));
        open_ = true;
        QString why;
        if (negotiate(why) && setUpLine(why))
            return true;
        if (connected()) {
            fail(why);
            return false;
        }
        // Closed by the server before the line was set up: not a loss of a
        // working line but a refused session. What it said is kept for the message.
        const QByteArray said = c->telnet.takeData().simplified().left(80);
        if (giveUp.hasExpired()) {
            QString text = QStringLiteral("the server refused the session (it closed the connection at once");
            if (!said.isEmpty())
                text += QStringLiteral(": \"%1\"").arg(QString::fromLatin1(said));
            text += QStringLiteral("); is another client using the line?");
            lost_ = false;
            fail(text);
            return false;
        }
        drop();
        open_ = lost_ = false;
        error_.clear();
        pause(kRetryPauseMs);
    }
}

bool Rfc2217Port::negotiate(QString &why)
{
    Session &t = conn_->telnet;
    send(t.greeting());
    if (!waitFor([&t] { return t.comPortAccepted() || t.comPortRefused(); }, answerMs_)) {
        why = QStringLiteral("the server did not take up RFC 2217 (COM-PORT-OPTION) in time");
        return false;
    }
    if (t.comPortRefused()) {
        why = QStringLiteral("the server refuses RFC 2217 (COM-PORT-OPTION); is it a plain TCP port?");
        return false;
    }
    return true;
}

bool Rfc2217Port::setUpLine(QString &why)
{
    if (!applySettings(why))
        return false;
    // No flow control, as on a local line; not waited for.
    send(comPortCommand(SetControl, QByteArray(1, char(ControlNoFlow))));
    if (rts_)
        setRts(true);
    // Nothing from before this open is data of this open (on a session taken
    // up again: what arrived during the linger).
    discardInput();
    if (!connected()) {
        why = QStringLiteral("the server closed the connection");
        return false;
    }
    return true;
}

bool Rfc2217Port::applySettings(QString &why)
{
    const std::optional<LineSettings> s = parseSettings(settings_);
    if (!s) {
        why = QStringLiteral("settings \"%1\" not understood").arg(settings_);
        return false;
    }
    struct Ask {
        unsigned char command;
        QByteArray value;
        const char *what;
    };
    const Ask asks[] = {
        {SetBaudRate, baudValue(s->baud), "speed"},
        {SetDataSize, QByteArray(1, char(s->dataSize)), "data size"},
        {SetParity, QByteArray(1, char(s->parity)), "parity"},
        {SetStopSize, QByteArray(1, char(s->stopSize)), "stop size"},
    };
    Session &t = conn_->telnet;
    QByteArray out;
    for (const Ask &a : asks) {
        t.forget(a.command);
        out += comPortCommand(a.command, a.value);
    }
    send(out);
    const bool answered = waitFor(
        [&] {
            return std::all_of(std::begin(asks), std::end(asks),
                               [&](const Ask &a) { return t.answer(a.command).has_value(); });
        },
        answerMs_);
    if (!answered) {
        why = QStringLiteral("the server did not answer the line settings (%1) in time")
                  .arg(settings_);
        return false;
    }
    for (const Ask &a : asks) {
        const QByteArray got = *t.answer(a.command);
        if (got == a.value)
            continue;
        if (a.command == SetBaudRate)
            why = QStringLiteral("the server refused %1 baud (its line stays at %2)")
                      .arg(s->baud)
                      .arg(baudFromValue(got));
        else
            why = QStringLiteral("the server refused the %1 of \"%2\"")
                      .arg(QLatin1String(a.what), settings_);
        return false;
    }
    return true;
}

void Rfc2217Port::setSettings(const QString &s)
{
    settings_ = s;
    if (!open_)
        return;
    QString why;
    if (!applySettings(why) && open_) {
        // The line cannot work as asked: treat it as lost, so a transfer ends at once.
        lost_ = true;
        fail(why);
    }
}

void Rfc2217Port::close()
{
    if (!open_) {
        drop();
        return;
    }
    open_ = false;
    Connection *c = std::exchange(conn_, nullptr);
    if (c->sock.bytesToWrite() > 0)
        c->sock.waitForBytesWritten(answerMs_);
    linger(c, lingerMs_);
}

bool Rfc2217Port::setRts(bool on)
{
    rts_ = on;
    if (open_)
        send(comPortCommand(SetControl, QByteArray(1, char(on ? ControlRtsOn : ControlRtsOff))));
    return true;
}

int Rfc2217Port::bytesWaiting()
{
    if (open_)
        pump();
    return conn_ ? conn_->telnet.dataSize() : 0;
}

QByteArray Rfc2217Port::readAllWaiting()
{
    if (open_)
        pump();
    return conn_ ? conn_->telnet.takeData() : QByteArray();
}

void Rfc2217Port::discardInput()
{
    if (!open_)
        return;
    pump();
    Connection &c = *conn_;
    c.telnet.dropData(c.purge != Connection::Silent);
    c.purgeDeadline.setRemainingTime(answerMs_);
    send(comPortCommand(PurgeData, QByteArray(1, char(PurgeReceive))));
    if (c.purge != Connection::Unknown)
        return;
    // A server that never answers a purge is asked again each time but not
    // waited for again on this connection; one that does answer is not
    // waited for again either (its answer comes before any later data).
    if (waitFor([&c] { return !c.telnet.purgePending(); }, answerMs_))
        c.purge = Connection::Answers;
    else if (connected())
        c.purge = Connection::Silent;
}

bool Rfc2217Port::write(const QByteArray &data)
{
    if (!open_ || !connected())
        return false;
    const QByteArray bytes = escape(data);
    const bool ok = conn_->sock.write(bytes) == bytes.size();
    conn_->sock.flush();
    quickAck(conn_->sock);
    return ok;
}

} // namespace qel
