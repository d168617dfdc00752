#include "Numbers.h"

#include <cmath>
#include <cstdlib>

namespace qel {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int skipBlanks(const QByteArray &t)
{
    int i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    return i;
}

} // namespace

long long leadingNumber(const QByteArray &text)
{
    int i = skipBlanks(text);
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        neg = text[i] == '-';
        ++i;
    }
    long long v = 0;
    bool any = false;
    while (i < text.size() && isDigit(text[i])) {
        if (v < 100000000000LL)
            v = v * 10 + (text[i] - '0');
        ++i;
        any = true;
    }
    if (!any)
        return 0;
    return neg ? -v : v;
}

double leadingValue(const QByteArray &t)
{
    const int n = t.size();
    int i = skipBlanks(t);
    const int start = i;
    if (i < n && (t[i] == '+' || t[i] == '-'))
        ++i;
    int digits = 0;
    for (; i < n && isDigit(t[i]); ++i)
        ++digits;
    if (i < n && t[i] == '.')
        for (++i; i < n && isDigit(t[i]); ++i)
            ++digits;
    if (digits == 0)
        return 0;
    if (i < n && (t[i] == 'E' || t[i] == 'e')) {
        int j = i + 1;
        if (j < n && (t[j] == '+' || t[j] == '-'))
            ++j;
        if (j < n && isDigit(t[j])) {
            while (j < n && isDigit(t[j]))
                ++j;
            i = j;
        }
    }
    return std::strtod(t.mid(start, i - start).constData(), nullptr);
}

double roundHalfEven(double x)
{
    return std::nearbyint(x); // the default rounding mode: to nearest, ties to even
}

int replyInteger(const QByteArray &reply)
{
    const double r = roundHalfEven(leadingValue(reply));
    if (!(r >= -32768.0))
        return -32768;
    if (r > 32767.0)
        return 32767;
    return int(r);
}

} // namespace qel
