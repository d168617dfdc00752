#include "Rfc2217Port.h"

#include <QDeadlineTimer>
#include <QUrl>
#include <algorithm>

namespace qel {

using namespace rfc2217;

bool Rfc2217Port::isUrl(const QString &path)
{
    return path.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive);
}

bool Rfc2217Port::parseUrl(const QString &path, QString &host, quint16 &port)
{
    if (!isUrl(path))
        return false;
    const QUrl url(path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery())
        return false;
    host = url.host();
    port = quint16(url.port());
    return true;
}

Rfc2217Port::Rfc2217Port(const QString &url) : url_(url)
{
    QObject::connect(&sock_, &QAbstractSocket::disconnected, &sock_,
                     [this] { onLost(QStringLiteral("the server closed the connection")); });
    QObject::connect(&sock_, &QAbstractSocket::errorOccurred, &sock_,
                     [this](QAbstractSocket::SocketError e) {
                         // A bounded wait that ran out is not a fault of the connection.
                         if (e != QAbstractSocket::SocketTimeoutError)
                             onLost(sock_.errorString());
                     });
}

Rfc2217Port::~Rfc2217Port()
{
    open_ = false;
    sock_.abort();
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

void Rfc2217Port::fail(const QString &why)
{
    error_ = QStringLiteral("%1: %2").arg(where(), why);
    open_ = false;
    sock_.abort();
}

void Rfc2217Port::onLost(const QString &why)
{
    if (!open_)
        return;
    pump(); // what arrived before the loss is still data
    lost_ = true;
    fail(why);
}

void Rfc2217Port::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    sock_.write(bytes);
    sock_.flush();
}

void Rfc2217Port::pump()
{
    if (sock_.bytesAvailable() <= 0)
        return;
    send(session_.receive(sock_.readAll()));
}

bool Rfc2217Port::waitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    pump();
    while (!done()) {
        if (sock_.state() != QAbstractSocket::ConnectedState)
            return false;
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        if (sock_.waitForReadyRead(int(left)))
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
    if (!parseUrl(url_, host_, tcpPort_)) {
        error_ = QStringLiteral("%1: not a network port (rfc2217://HOST:PORT)").arg(url_);
        return false;
    }
    session_ = Session();
    purgeAnswered_ = true;
    sock_.abort();
    sock_.connectToHost(host_, tcpPort_);
    if (!sock_.waitForConnected(connectMs_)) {
        fail(sock_.error() == QAbstractSocket::SocketTimeoutError
                 ? QStringLiteral("no connection within %1 s").arg(connectMs_ / 1000.0)
                 : sock_.errorString());
        return false;
    }
    sock_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    open_ = true;
    send(session_.greeting());
    if (!waitFor([this] { return session_.comPortAccepted() || session_.comPortRefused(); },
                 answerMs_)) {
        if (open_)
            fail(QStringLiteral("the server did not take up RFC 2217 (COM-PORT-OPTION) in time"));
        return false;
    }
    if (session_.comPortRefused()) {
        fail(QStringLiteral("the server refuses RFC 2217 (COM-PORT-OPTION); is it a plain TCP port?"));
        return false;
    }
    QString why;
    if (!applySettings(why)) {
        if (open_)
            fail(why);
        return false;
    }
    // No flow control, as on a local line; not waited for.
    send(comPortCommand(SetControl, QByteArray(1, char(ControlNoFlow))));
    if (rts_)
        setRts(true);
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
    QByteArray out;
    for (const Ask &a : asks) {
        session_.forget(a.command);
        out += comPortCommand(a.command, a.value);
    }
    send(out);
    const bool answered = waitFor(
        [&] {
            return std::all_of(std::begin(asks), std::end(asks),
                               [&](const Ask &a) { return session_.answer(a.command).has_value(); });
        },
        answerMs_);
    if (!answered) {
        why = QStringLiteral("the server did not answer the line settings (%1) in time")
                  .arg(settings_);
        return false;
    }
    for (const Ask &a : asks) {
        const QByteArray got = *session_.answer(a.command);
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
        onLost(why);
    }
}

void Rfc2217Port::close()
{
    if (!open_) {
        sock_.abort();
        return;
    }
    open_ = false;
    if (sock_.bytesToWrite() > 0)
        sock_.waitForBytesWritten(answerMs_);
    sock_.disconnectFromHost();
    sock_.abort();
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
    return session_.dataSize();
}

QByteArray Rfc2217Port::readAllWaiting()
{
    if (open_)
        pump();
    return session_.takeData();
}

void Rfc2217Port::discardInput()
{
    if (!open_)
        return;
    pump();
    session_.dropData(purgeAnswered_);
    send(comPortCommand(PurgeData, QByteArray(1, char(PurgeReceive))));
    if (!purgeAnswered_)
        return;
    // A server that never answers a purge is asked again each time but not
    // waited for again on this connection.
    if (!waitFor([this] { return !session_.purgePending(); }, answerMs_)) {
        purgeAnswered_ = false;
        session_.stopDropping();
    }
}

bool Rfc2217Port::write(const QByteArray &data)
{
    if (!open_)
        return false;
    const QByteArray bytes = escape(data);
    const bool ok = sock_.write(bytes) == bytes.size();
    sock_.flush();
    return ok;
}

} // namespace qel
