// The simulated converter. One state machine serves both generations:
//
//  - framing: a bare "M", "P", "Q" or "Z" that begins a command is a command
//    at once; everything else collects up to a CR;
//  - the 5600 (9600 baud) exchanges its settings item by item ("RV", "RS",
//    "RC", "RPnn", "WPnn,value");
//  - the 521/527 (1200 baud) hands over and takes back one 64-character
//    hexadecimal memory image ("R", "W" + 52 characters);
//  - "Z" + a type digit switches between them.
//
// The memory image coder here is the device's own: it is written
// independently of the program's so that the two check each other.

#include "SimDevice.h"

#include <algorithm>
#include <cmath>

namespace qel::sim {

namespace {

constexpr char CR = '\r';

int toInt(const QByteArray &digits)
{
    int v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool allDigits(const QByteArray &t)
{
    return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int hexNumber(const QByteArray &t)
{
    int v = 0;
    for (char c : t)
        v = v * 16 + qMax(0, hexDigit(c));
    return v;
}

QByteArray hexText(long long v)
{
    return QByteArray::number(v, 16).toUpper();
}

QByteArray hexFixed(long long v, int n)
{
    return hexText(v < 0 ? 0 : v).rightJustified(n, '0').right(n);
}

QByteArray zeroPad(long long v, int n)
{
    return QByteArray::number(v).rightJustified(n, '0');
}

// Numeric value of a field: its leading digits (after blanks), 0 if none.
int fieldValue(const ParameterRecord &r, int f)
{
    return toInt(r.field(f).trimmed());
}

// Version text "01.00" <-> hundredths.
int versionHundredths(const QByteArray &v)
{
    bool ok = false;
    const double d = v.trimmed().toDouble(&ok);
    return ok ? int(std::lround(d * 100)) : 0;
}

QByteArray versionText(int hundredths)
{
    return zeroPad(hundredths / 100, 2) + '.' + zeroPad(hundredths % 100, 2);
}

// Four prediction levels of the 52X against the eight codes of the record.
int predictionLevel(char code)
{
    switch (code) {
    case '6': case '7': return 1;
    case '4': case '5': return 2;
    case '2': case '3': return 3;
    default: return 0;
    }
}

char predictionCode(int level)
{
    static const char codes[4] = {'1', '6', '4', '2'};
    return codes[level & 3];
}

// Scaled value groups: first field (mantissa) of each, and where the 52X image
// keeps it (1-based character of the sign/unit digit).
struct Group {
    int param;      // 5600 parameter number
    int first;      // F-number of the mantissa
    int imageChar;  // 52X: sign/unit character; exponent follows; mantissa 6 hex digits after
};
constexpr Group kGroups[4] = {{2, 2, 5}, {22, 15, 13}, {23, 20, 21}, {32, 26, 29}};

// Plain 5600 parameters: parameter number, field, highest accepted value
// (-1: any digits that fit the field).
struct Plain {
    int param;
    int field;
    int max;
};
constexpr Plain kPlain[] = {
    {1, 1, 1},    {3, 7, -1},   {11, 8, -1},  {12, 9, -1}, {13, 10, -1}, {14, 11, 1},
    {15, 12, 1},  {16, 13, 7},  {21, 14, 5},  {31, 25, 1}, {41, 31, -1},
};

// 1 -> 521, 7 -> 527, 4 -> 5600; 0 for any other digit.
int typeFromDigit(char digit)
{
    switch (digit) {
    case '1': return 521;
    case '7': return 527;
    case '4': return 5600;
    default: return 0;
    }
}

// Default date codes: 2019-04-15 made, 2024-06-10 last written.
constexpr int kCreationCode = 19 * 500 + 4 * 40 + 15;
constexpr int kUpdateCode = 24 * 500 + 6 * 40 + 10;

} // namespace

struct SimDevice::Impl {
    int type = 5600;
    ParameterRecord rec;
    // 52X memory, and the record as it was when the memory last matched it.
    QByteArray image = QByteArray(64, '0');
    ParameterRecord imageRec;
    bool imageValid = false;

    int full = 4000, zero = 0, present = 2400;
    QList<SimFault> faults;
    bool strict = true;
    int latency = 1;
    bool pacing = false;

    QByteArray buf;
    QList<QByteArray> log;
    QByteArray noise;
    bool settingMode = false;
    bool typeChangeMode = false;
    bool awaitingDigit = false;
    int previousBaud = 0; // also listened at until a type change is closed

    Stream stream = Stream::Off;
    int streamInterval = 10;
    quint32 rng = 0x2545F491u;
    int streamPos = 0;

    static int baudOf(int t) { return t == 5600 ? 9600 : 1200; }
    bool is52X() const { return type != 5600; }

    // --- the 52X image ----------------------------------------------------
    QByteArray encode(const ParameterRecord &r, const QByteArray &base) const
    {
        QByteArray img = base.leftJustified(64, '0', true);
        auto put = [&img](int pos, const QByteArray &t) { img.replace(pos - 1, t.size(), t); };
        put(1, hexFixed((fieldValue(r, 14) * 2) & 0xF, 1));
        put(2, hexFixed((fieldValue(r, 25) & 1) * 8 + (fieldValue(r, 11) & 1) * 4
                            + (fieldValue(r, 1) & 1) * 2 + (fieldValue(r, 12) & 1),
                        1));
        const int avg = qBound(0, fieldValue(r, 10) - 1, 7);
        const int byte34 = (avg << 2) | predictionLevel(r.field(13).at(0));
        put(3, hexFixed(byte34, 2));
        for (const Group &g : kGroups) {
            const int sign = r.field(g.first + 2) == "-" ? 0 : 1;
            const int unit = r.field(g.first + 4) == "S" ? 0 : 1;
            put(g.imageChar, hexFixed(sign + 8 * unit, 1));
            put(g.imageChar + 1, hexFixed(fieldValue(r, g.first + 3) & 0xF, 1));
            put(g.imageChar + 2, hexFixed(fieldValue(r, g.first), 6));
        }
        put(37, hexFixed(fieldValue(r, 8), 4));
        put(41, hexFixed(fieldValue(r, 9), 2));
        put(43, hexFixed(fieldValue(r, 7), 2));
        put(49, hexFixed(fieldValue(r, 31), 4));
        put(53, hexFixed(fieldValue(r, 33), 4));
        put(57, hexFixed(fieldValue(r, 32), 4));
        put(61, hexFixed(versionHundredths(r.field(34)) + (type == 527 ? 1000 : 0), 4));
        return img;
    }

    // Settings (and, with ident, F31..F34) from an image, in the 5600's own
    // zero-padded forms so that they carry over to a 5600 unchanged.
    void decode(const QByteArray &img, ParameterRecord &r, bool ident) const
    {
        auto digit = [&img](int pos) { return qMax(0, hexDigit(img.at(pos - 1))); };
        auto num = [&img](int pos, int n) { return hexNumber(img.mid(pos - 1, n)); };
        r.setField(14, QByteArray::number((digit(1) & 0xE) / 2));
        const int c2 = digit(2);
        r.setField(1, QByteArray::number((c2 >> 1) & 1));
        r.setField(11, QByteArray::number((c2 >> 2) & 1));
        r.setField(12, QByteArray::number(c2 & 1));
        r.setField(25, QByteArray::number((c2 >> 3) & 1));
        const int byte34 = num(3, 2);
        r.setField(10, zeroPad(((byte34 >> 2) & 7) + 1, 2));
        r.setField(13, QByteArray(1, predictionCode(byte34 & 3)));
        for (const Group &g : kGroups) {
            const int su = digit(g.imageChar);
            r.setField(g.first, zeroPad(num(g.imageChar + 2, 6), 5));
            r.setField(g.first + 1, "E");
            r.setField(g.first + 2, (su & 1) ? "+" : "-");
            const int e = digit(g.imageChar + 1);
            r.setField(g.first + 3, QByteArray::number(e <= 9 ? e : 0));
            r.setField(g.first + 4, (su & 8) ? "H" : "S");
        }
        r.setField(8, zeroPad(num(37, 4), 5));
        r.setField(9, zeroPad(num(41, 2), 3));
        r.setField(7, zeroPad(num(43, 2), 2));
        r.setField(31, QByteArray::number(num(49, 4)));
        if (ident) {
            r.setField(33, QByteArray::number(num(53, 4)));
            r.setField(32, QByteArray::number(num(57, 4)));
            int w = num(61, 4);
            if (w >= 1000)
                w -= 1000;
            r.setField(34, versionText(w));
        }
    }

    // The image always reflects the record: a test (or --settings) that
    // changes the record changes what "R" hands over.
    const QByteArray &syncedImage()
    {
        if (!imageValid || rec != imageRec) {
            image = encode(rec, image);
            imageRec = rec;
            imageValid = true;
        }
        return image;
    }

    void switchType(int t)
    {
        if (is52X())
            syncedImage(); // the settings live on in rec either way
        type = t;
        imageValid = false;
        if (is52X())
            syncedImage();
    }

    // --- commands -----------------------------------------------------------
    static QByteArray faultKey(const QByteArray &cmd)
    {
        if (cmd.startsWith("WP"))
            return cmd.left(4);
        if (cmd.startsWith('W'))
            return "W";
        return cmd;
    }

    const SimFault *takeFault(const QByteArray &key)
    {
        for (SimFault &f : faults) {
            if (f.command != key || f.count == 0)
                continue;
            if (f.count > 0)
                --f.count;
            return &f;
        }
        return nullptr;
    }

    QByteArray scaled(int first) const
    {
        return rec.field(first) + 'E' + rec.field(first + 2) + rec.field(first + 3)
               + rec.field(first + 4);
    }

    QByteArray read5600(const QByteArray &cmd) const
    {
        if (cmd == "RV")
            return rec.field(34);
        if (cmd == "RS")
            return rec.field(32);
        if (cmd == "RC")
            return rec.field(33);
        if (cmd.size() != 4 || !allDigits(cmd.mid(2)))
            return {};
        const int p = toInt(cmd.mid(2));
        for (const Group &g : kGroups)
            if (g.param == p)
                return scaled(g.first);
        for (const Plain &pl : kPlain)
            if (pl.param == p)
                return rec.field(pl.field);
        return {};
    }

    // "WPnn,value": true when stored.
    bool write5600(const QByteArray &cmd)
    {
        if (cmd.size() < 5 || cmd.at(4) != ',' || !allDigits(cmd.mid(2, 2)))
            return false;
        const int p = toInt(cmd.mid(2, 2));
        const QByteArray v = cmd.mid(5);
        for (const Group &g : kGroups) {
            if (g.param != p)
                continue;
            // The first firmware takes the short form too: exponent +0.
            const QByteArray t = v.size() == 6 && rec.field(34) == "01.00" ? v.left(5) + "E+0" + v.mid(5) : v;
            const QByteArray mant = t.left(5), sign = t.mid(6, 1), exp = t.mid(7, 1), unit = t.mid(8, 1);
            if (t.size() != 9 || t.at(5) != 'E' || !allDigits(mant) || (sign != "+" && sign != "-")
                || !allDigits(exp) || (unit != "H" && unit != "S"))
                return false;
            rec.setField(g.first, mant);
            for (int i = 1; i < 5; ++i)
                rec.setField(g.first + i, t.mid(4 + i, 1));
            return true;
        }
        for (const Plain &pl : kPlain) {
            if (pl.param != p)
                continue;
            // The value fills its field; trailing blanks are padding.
            QByteArray t = v;
            while (t.endsWith(' '))
                t.chop(1);
            if (!allDigits(t) || t.size() > ParameterRecord::width(pl.field))
                return false;
            if (pl.max >= 0 && toInt(t) > pl.max)
                return false;
            rec.setField(pl.field, t);
            return true;
        }
        return false;
    }

    bool write52(const QByteArray &payload)
    {
        if (payload.size() != 52
            || !std::all_of(payload.begin(), payload.end(), [](char c) { return hexDigit(c) >= 0; }))
            return false;
        syncedImage();
        image.replace(0, 52, payload.toUpper());
        decode(image, rec, false);
        imageRec = rec;
        return true;
    }

    // The normal answer to one command (without faults); may change state.
    // An empty result means no answer.
    QByteArray answer(const QByteArray &cmd)
    {
        const QByteArray q = "?\r";
        if (awaitingDigit && cmd.size() == 1 && !QByteArrayView("MPQZE").contains(cmd.at(0))) {
            awaitingDigit = false;
            const int t = typeFromDigit(cmd.at(0));
            // A genuine 52X (serial below 20000) cannot work as a 5600.
            if (t == 0 || (t == 5600 && fieldValue(rec, 32) < 20000))
                return q;
            previousBaud = baudOf(type);
            switchType(t);
            return cmd + CR;
        }
        if (cmd == "M") {
            settingMode = true;
            return QByteArray("A") + CR;
        }
        if (cmd == "E") {
            settingMode = false;
            typeChangeMode = false;
            awaitingDigit = false;
            previousBaud = 0;
            return QByteArray("E") + CR;
        }
        if (cmd == "Z") {
            typeChangeMode = true;
            awaitingDigit = true;
            return QByteArray("Z") + CR;
        }
        if (cmd == "Q")
            return hexText(present) + CR;
        if (cmd == "P")
            return hexText(full) + CR;
        if (cmd == "U")
            return hexText(zero) + CR;
        if (cmd == "T")
            return QByteArray("T") + CR;
        if (is52X()) {
            if (cmd == "R")
                return syncedImage() + CR;
            if (cmd.startsWith('W'))
                return write52(cmd.mid(1)) ? QByteArray("W") + CR : q;
            return q;
        }
        if (cmd.startsWith("WP"))
            return write5600(cmd) ? QByteArray("O") + CR : q;
        if (cmd.startsWith('R')) {
            const QByteArray v = read5600(cmd);
            return v.isEmpty() ? q : v + CR;
        }
        return q;
    }

    int charMs(int chars, int baud) const
    {
        if (!pacing || baud <= 0)
            return 0;
        return int(std::ceil(chars * 10 * 1000.0 / baud));
    }

    void command(const QByteArray &text, int baud, QList<SimReply> &out, int receivedChars)
    {
        QByteArray cmd = text;
        if (cmd.endsWith(CR))
            cmd.chop(1);
        const SimFault *f = takeFault(faultKey(cmd));
        if (f && f->kind == SimFault::Drop) {
            out.append({0, {}, true});
            return;
        }
        log.append(text);
        QByteArray reply;
        int extraDelay = 0;
        if (!f || f->kind == SimFault::Delay || f->kind == SimFault::Chunks
            || f->kind == SimFault::NoCR)
            reply = answer(cmd);
        if (f) {
            switch (f->kind) {
            case SimFault::Refuse: reply = "?\r"; break;
            case SimFault::Wrong: reply = f->reply; break;
            case SimFault::Silence: reply.clear(); break;
            case SimFault::Delay: extraDelay = f->delayMs; break;
            case SimFault::NoCR:
                if (reply.endsWith(CR))
                    reply.chop(1);
                break;
            case SimFault::Chunks:
            case SimFault::Drop: break;
            }
        }
        if (reply.isEmpty())
            return;
        const int first = latency + extraDelay + charMs(receivedChars, baud);
        if (f && f->kind == SimFault::Chunks && f->chunks > 1 && reply.size() > 1) {
            const int n = qMin<int>(f->chunks, reply.size());
            int pos = 0;
            for (int i = 0; i < n; ++i) {
                const int len = (reply.size() - pos) / (n - i);
                const QByteArray part = reply.mid(pos, len);
                pos += len;
                out.append({(i == 0 ? first : f->delayMs) + charMs(part.size(), baud), part});
            }
            return;
        }
        out.append({first + charMs(reply.size(), baud), reply});
    }
};

SimDevice::SimDevice(int type) : d(std::make_shared<Impl>())
{
    d->type = (type == 521 || type == 527) ? type : 5600;
    // A 5600 is of the new generation (serial 20000 and up); a genuine 52X
    // has a serial below 20000.
    d->rec.setField(32, d->type == 5600 ? "20345" : "12345");
    d->rec.setField(33, QByteArray::number(kCreationCode));
    d->rec.setField(31, QByteArray::number(kUpdateCode));
    d->rec.setField(34, "01.00");
}

int SimDevice::type() const { return d->type; }

void SimDevice::setType(int t)
{
    d->switchType(t == 521 || t == 527 ? t : 5600);
}

int SimDevice::lineBaud() const { return Impl::baudOf(d->type); }
ParameterRecord &SimDevice::record() { return d->rec; }
const ParameterRecord &SimDevice::record() const { return d->rec; }
void SimDevice::setSerial(int serial) { d->rec.setField(32, QByteArray::number(serial)); }
int SimDevice::serial() const { return fieldValue(d->rec, 32); }
void SimDevice::setVersion(const QByteArray &version) { d->rec.setField(34, version); }

QByteArray SimDevice::memoryImage() const
{
    return d->syncedImage();
}

void SimDevice::setMemoryImage(const QByteArray &image)
{
    d->image = image.leftJustified(64, '0', true);
    d->decode(d->image, d->rec, true);
    d->imageRec = d->rec;
    d->imageValid = true;
}

void SimDevice::setMonitorCounts(int full, int zero, int present)
{
    d->full = full;
    d->zero = zero;
    d->present = present;
}

void SimDevice::addFault(const SimFault &f) { d->faults.append(f); }
void SimDevice::clearFaults() { d->faults.clear(); }
void SimDevice::setStrictSpeed(bool on) { d->strict = on; }
void SimDevice::setLatencyMs(int ms) { d->latency = qMax(0, ms); }
int SimDevice::latencyMs() const { return d->latency; }
void SimDevice::setPacing(bool on) { d->pacing = on; }
bool SimDevice::inTypeChangeMode() const { return d->typeChangeMode; }
const QByteArray &SimDevice::noise() const { return d->noise; }
const QList<QByteArray> &SimDevice::commands() const { return d->log; }
void SimDevice::clearLog()
{
    d->log.clear();
    d->noise.clear();
}
bool SimDevice::inSettingMode() const { return d->settingMode; }

QList<SimReply> SimDevice::receive(const QByteArray &bytes, int hostBaud)
{
    QList<SimReply> out;
    const bool atSpeed = hostBaud == lineBaud()
                         || (d->typeChangeMode && d->previousBaud != 0
                             && hostBaud == d->previousBaud);
    if (d->strict && !atSpeed) {
        // Characters at the wrong speed are framing garbage to the UART: no
        // command can be made of them, nor of what was collected before.
        d->noise += bytes;
        d->buf.clear();
        return out;
    }
    int received = 0;
    for (char c : bytes) {
        ++received;
        if (d->buf.isEmpty() && (c == 'M' || c == 'P' || c == 'Q' || c == 'Z')) {
            d->command(QByteArray(1, c), hostBaud, out, received);
            received = 0;
        } else if (c == CR) {
            d->command(d->buf + CR, hostBaud, out, received);
            d->buf.clear();
            received = 0;
        } else {
            d->buf += c;
            if (d->buf.size() > 512) // no command is this long: line noise
                d->buf.clear();
        }
    }
    return out;
}

void SimDevice::setStream(Stream s, int intervalMs)
{
    d->stream = s;
    d->streamInterval = qMax(1, intervalMs);
    d->streamPos = 0;
}

SimDevice::Stream SimDevice::stream() const { return d->stream; }
int SimDevice::streamIntervalMs() const { return d->streamInterval; }

QByteArray SimDevice::nextStreamChunk()
{
    QByteArray out;
    if (d->stream == Stream::NoCR) {
        static const char text[] = "0123456789ABCDEF";
        for (int i = 0; i < 8; ++i)
            out += text[d->streamPos++ % 16];
    } else if (d->stream == Stream::Garbage) {
        for (int i = 0; i < 8; ++i) {
            d->rng ^= d->rng << 13;
            d->rng ^= d->rng >> 17;
            d->rng ^= d->rng << 5;
            out += char(d->rng & 0xFF);
        }
    }
    return out;
}

} // namespace qel::sim
