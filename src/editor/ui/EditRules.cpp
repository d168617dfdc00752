#include "EditRules.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cmath>

namespace qel {

QString zeroPattern(const QString &text, int width)
{
    const QString kept = text.size() > width ? text.right(width) : text;
    // A number: blanks around it, a sign, digits with an optional point and
    // an optional exponent. Anything else is not formatted.
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!number.match(kept).hasMatch())
        return kept;
    bool ok = false;
    const double v = kept.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) >= 1e18)
        return kept;
    // Halves away from zero, on purpose: the screen has always padded so;
    // the readers of numbers round halves to even (Numbers.h).
    const long long n = std::llround(v);
    QString digits = QString::number(n < 0 ? -n : n).rightJustified(width, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

QString fieldText(const QString &text, int *pos)
{
    QString out;
    out.reserve(text.size());
    int newPos = pos ? *pos : 0;
    for (int i = 0; i < text.size(); ++i) {
        char16_t c = text.at(i).unicode();
        if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII block
            c = char16_t(c - 0xFEE0);
        else if (c == 0x3000) // ideographic blank
            c = u' ';
        if (c >= 0x20 && c < 0x7F)
            out += QChar(c);
        else if (pos && i < *pos)
            --newPos;
    }
    if (pos)
        *pos = newPos;
    return out;
}

QValidator::State FieldTextValidator::validate(QString &input, int &pos) const
{
    if (!filling_)
        input = fieldText(input, &pos);
    return Acceptable;
}

QString modelPrefix(bool is5600Series)
{
    const QString model = is5600Series ? QCoreApplication::translate("qel::PromSet", "ＱＥＬ－５６００　")
                                       : QCoreApplication::translate("qel::PromSet", "ＱＥＬ－５２００　");
    return model.leftJustified(18, QLatin1Char(' '));
}

} // namespace qel
