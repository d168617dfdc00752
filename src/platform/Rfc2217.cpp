#include "Rfc2217.h"

#include <QStringList>
#include <QtEndian>
#include <iterator>
#include <utility>

namespace qel::rfc2217 {

std::optional<LineSettings> parseSettings(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings s;
    bool ok = false;
    const uint baud = parts[0].trimmed().toUInt(&ok);
    if (!ok || baud == 0)
        return std::nullopt;
    s.baud = baud;
    const QString parity = parts[1].trimmed().toUpper();
    static const QString kParity = QStringLiteral("NOEMS");
    const qsizetype p = parity.size() == 1 ? kParity.indexOf(parity) : -1;
    if (p < 0)
        return std::nullopt;
    s.parity = static_cast<unsigned char>(p + 1);
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    s.dataSize = static_cast<unsigned char>(bits);
    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopSize = 1;
    else if (stop == QLatin1String("2"))
        s.stopSize = 2;
    else if (stop == QLatin1String("1.5"))
        s.stopSize = 3;
    else
        return std::nullopt;
    return s;
}

QByteArray escape(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (static_cast<unsigned char>(c) == IAC)
            out += c;
    }
    return out;
}

QByteArray negotiation(unsigned char verb, unsigned char option)
{
    const char b[] = {char(IAC), char(verb), char(option)};
    return QByteArray(b, sizeof b);
}

QByteArray comPortCommand(unsigned char command, const QByteArray &value)
{
    const char head[] = {char(IAC), char(SB), char(OptComPort), char(command)};
    const char end[] = {char(IAC), char(SE)};
    return QByteArray(head, sizeof head) + escape(value) + QByteArray(end, sizeof end);
}

QByteArray baudValue(quint32 baud)
{
    QByteArray v(4, '\0');
    qToBigEndian(baud, v.data()); // network byte order
    return v;
}

quint32 baudFromValue(const QByteArray &value)
{
    quint32 b = 0;
    for (int i = 0; i < 4 && i < value.size(); ++i)
        b = (b << 8) | static_cast<unsigned char>(value[i]);
    return b;
}

QByteArray Session::greeting()
{
    QByteArray b;
    for (const unsigned char opt : {OptBinary, OptSuppressGoAhead}) {
        b += negotiation(WILL, opt);
        b += negotiation(DO, opt);
        sentWill_[opt] = sentDo_[opt] = true;
    }
    b += negotiation(WILL, OptComPort);
    sentWill_[OptComPort] = true;
    return b;
}

QByteArray Session::receive(const QByteArray &bytes)
{
    reply_.clear();
    const auto keep = [this](char ch) {
        if (purgesPending_ == 0 && data_.size() < kMaxData)
            data_ += ch;
    };
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (state_) {
        case Data:
            if (c == IAC)
                state_ = Iac;
            else
                keep(ch);
            break;
        case Iac:
            if (c == IAC) {
                keep(ch);
                state_ = Data;
            } else if (c == SB) {
                sub_.clear();
                state_ = Sub;
            } else if (c >= WILL) {
                verb_ = c;
                state_ = Verb;
            } else {
                state_ = Data; // NOP, GA, AYT...: nothing to do
            }
            break;
        case Verb:
            onNegotiation(verb_, c);
            state_ = Data;
            break;
        case Sub:
            if (c == IAC)
                state_ = SubIac;
            else if (sub_.size() < kMaxSubNegotiation)
                sub_ += ch;
            break;
        case SubIac:
            if (c == SE) {
                onSubNegotiation(sub_);
                state_ = Data;
            } else {
                // IAC IAC inside is a value byte 0xFF; anything else is
                // malformed: keep the byte and stay in the sub-negotiation.
                if (sub_.size() < kMaxSubNegotiation)
                    sub_ += ch;
                state_ = Sub;
            }
            break;
        }
    }
    return reply_;
}

void Session::onNegotiation(unsigned char verb, unsigned char option)
{
    if (heard)
        heard(negotiation(verb, option));
    const bool ours = option == OptBinary || option == OptSuppressGoAhead || option == OptComPort;
    switch (verb) {
    case DO:
        if (option == OptComPort)
            comPort_ = Accepted;
        if (ours) {
            if (!sentWill_[option]) {
                sentWill_[option] = true;
                reply_ += negotiation(WILL, option);
            }
        } else {
            reply_ += negotiation(WONT, option);
        }
        break;
    case DONT:
        if (option == OptComPort)
            comPort_ = Refused;
        if (sentWill_[option]) {
            sentWill_[option] = false;
            reply_ += negotiation(WONT, option);
        }
        break;
    case WILL:
        if (option == OptBinary || option == OptSuppressGoAhead) {
            if (!sentDo_[option]) {
                sentDo_[option] = true;
                reply_ += negotiation(DO, option);
            }
        } else if (option != OptComPort) {
            // The server's echo and the like: not wanted on a data line.
            reply_ += negotiation(DONT, option);
        }
        break;
    case WONT:
        if (sentDo_[option]) {
            sentDo_[option] = false;
            reply_ += negotiation(DONT, option);
        }
        break;
    default:
        break;
    }
}

void Session::onSubNegotiation(const QByteArray &payload)
{
    if (heard)
        heard(QByteArray("\xff\xfa", 2) + escape(payload) + QByteArray("\xff\xf0", 2));
    if (payload.size() < 2 || static_cast<unsigned char>(payload[0]) != OptComPort)
        return;
    const int code = static_cast<unsigned char>(payload[1]);
    if (code < kServerOffset)
        return;
    const int command = code - kServerOffset;
    answers_[command] = payload.mid(2);
    if (command == PurgeData && purgesPending_ > 0)
        --purgesPending_;
}

QByteArray Session::takeData()
{
    return std::exchange(data_, {});
}

void Session::dropData(bool untilPurgeAnswer)
{
    data_.clear();
    if (untilPurgeAnswer)
        ++purgesPending_;
}

std::optional<QByteArray> Session::answer(unsigned char c) const
{
    return answers_[c];
}

namespace {

QString optionName(uchar o)
{
    switch (o) {
    case OptBinary: return QStringLiteral("BINARY");
    case 1: return QStringLiteral("ECHO");
    case OptSuppressGoAhead: return QStringLiteral("SUPPRESS-GO-AHEAD");
    case OptComPort: return QStringLiteral("COM-PORT-OPTION");
    default: return QString::number(o);
    }
}

QString comCommandName(uchar c)
{
    static const char *const names[] = {"SIGNATURE", "SET-BAUDRATE", "SET-DATASIZE", "SET-PARITY",
                                        "SET-STOPSIZE", "SET-CONTROL", "NOTIFY-LINESTATE",
                                        "NOTIFY-MODEMSTATE", "FLOWCONTROL-SUSPEND", "FLOWCONTROL-RESUME",
                                        "SET-LINESTATE-MASK", "SET-MODEMSTATE-MASK", "PURGE-DATA"};
    const bool answer = c >= kServerOffset;
    const uchar base = answer ? uchar(c - kServerOffset) : c;
    const QString name = base < std::size(names) ? QLatin1String(names[base]) : QString::number(c);
    return answer ? name + QStringLiteral(" (answer)") : name;
}

// "IAC SB COM-PORT-OPTION SET-BAUDRATE 9600 IAC SE" and the like.
QString subNegotiationText(const QByteArray &payload)
{
    if (payload.isEmpty())
        return QStringLiteral("IAC SB IAC SE");
    const uchar option = uchar(payload[0]);
    QString text = QStringLiteral("IAC SB ") + optionName(option);
    if (option == OptComPort && payload.size() >= 2) {
        const uchar c = uchar(payload[1]);
        const QByteArray value = payload.mid(2);
        text += u' ' + comCommandName(c);
        const uchar base = c >= kServerOffset ? uchar(c - kServerOffset) : c;
        if (base == SetBaudRate && value.size() == 4)
            text += u' ' + QString::number(baudFromValue(value));
        else if (base == Signature)
            text += QStringLiteral(" \"%1\"").arg(QString::fromLatin1(value));
        else
            for (const char v : value)
                text += u' ' + QString::number(uchar(v));
    } else {
        for (const char v : payload.mid(1))
            text += u' ' + QString::number(uchar(v));
    }
    return text + QStringLiteral(" IAC SE");
}

} // namespace

QString describe(const QByteArray &bytes)
{
    QStringList parts;
    for (qsizetype i = 0; i < bytes.size();) {
        if (uchar(bytes[i]) != IAC || i + 1 >= bytes.size()) {
            parts << QStringLiteral("%1").arg(uchar(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
            ++i;
            continue;
        }
        const uchar verb = uchar(bytes[i + 1]);
        if (verb == SB) {
            // Up to IAC SE; IAC IAC inside is one 0xFF.
            QByteArray payload;
            qsizetype j = i + 2;
            for (; j < bytes.size(); ++j) {
                if (uchar(bytes[j]) == IAC && j + 1 < bytes.size()) {
                    if (uchar(bytes[j + 1]) == SE)
                        break;
                    ++j; // IAC IAC
                }
                payload += bytes[j];
            }
            parts << subNegotiationText(payload);
            i = j + 2;
            continue;
        }
        static const char *const verbs[] = {"WILL", "WONT", "DO", "DONT"};
        if (verb >= WILL && verb <= DONT && i + 2 < bytes.size()) {
            parts << QStringLiteral("IAC %1 %2").arg(QLatin1String(verbs[verb - WILL]), optionName(uchar(bytes[i + 2])));
            i += 3;
            continue;
        }
        parts << QStringLiteral("IAC %1").arg(verb);
        i += 2;
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace qel::rfc2217
