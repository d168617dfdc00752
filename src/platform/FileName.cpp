#include "FileName.h"

#include <cstring>

namespace qel {

namespace {

// The length of the UTF-8 sequence at p (1..4), 0 when it is not one.
int utf8Length(const unsigned char *p, qsizetype left)
{
    const unsigned char c = p[0];
    int n;
    char32_t min;
    char32_t cp;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

QString decodeFileName(const QByteArray &bytes)
{
    QString out;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int n = utf8Length(p + i, bytes.size() - i);
        if (n == 0) {
            out += QChar(char16_t(0xDC00 + p[i]));
            ++i;
        } else {
            out += QString::fromUtf8(bytes.constData() + i, n);
            i += n;
        }
    }
    return out;
}

QByteArray fileNameBytes(const QString &name)
{
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool escaped = i < name.size() && name[i].unicode() >= 0xDC80
            && name[i].unicode() <= 0xDCFF
            && !(i > 0 && name[i - 1].isHighSurrogate());
        if (i < name.size() && !escaped)
            continue;
        out += name.mid(from, i - from).toUtf8();
        if (escaped)
            out += char(name[i].unicode() - 0xDC00);
        from = i + 1;
    }
    return out;
}

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace qel
