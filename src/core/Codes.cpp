#include "Codes.h"

#include "ParamRecord.h"

namespace qel {

QByteArray DateEnCord(const QDate &today)
{
    const int year = today.year();
    const int base = (year / 100 == 19) ? 1900 : 2000;
    const int code = (year - base) * 500 + today.month() * 40 + today.day();
    return QByteArray::number(code);
}

QString DateDeCord(const QByteArray &DateEncDat)
{
    // A code is never negative; a sign read from a damaged file counts as 0.
    const long long n = qMax(0LL, leadingNumber(DateEncDat));
    long long y = n / 500;
    const long long r = n % 500;
    long long m = r / 40;
    long long d;
    if (m != 0) {
        d = r % 40;
    } else {
        // December 20th..31st overflow into the next year's block.
        y -= 1;
        m = 12;
        d = (r + 500) % 40;
    }
    const long long year = y < 80 ? y + 2000 : y + 1900;
    return QStringLiteral("%1-%2-%3")
        .arg(year)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(d, 2, 10, QLatin1Char('0'));
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

qint32 HexValue(const QByteArray &text)
{
    quint32 v = 0;
    for (char c : text)
        v = v * 16u + quint32(qMax(0, hexDigitValue(c)));
    return qint32(v);
}

} // namespace qel
