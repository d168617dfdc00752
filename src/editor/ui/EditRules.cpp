#include "EditRules.h"

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
    const long long n = std::llround(v); // halves away from zero
    QString digits = QString::number(n < 0 ? -n : n).rightJustified(width, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

const QStringList &predictionTexts()
{
    static const QStringList texts = {
        QStringLiteral("周期保持"), QStringLiteral("連続予測"), QStringLiteral("Low  ×8"),
        QStringLiteral("MLow ×6"),  QStringLiteral("Mid  ×4"),  QStringLiteral("MHigh ×3"),
        QStringLiteral("High  ×2"), QStringLiteral("ExHigh ×1.5"),
    };
    return texts;
}

QString predictionCode(const QString &text)
{
    const int i = predictionTexts().indexOf(text);
    return i < 0 ? QString() : QString::number(i);
}

QString modelPrefix(bool is5600Series)
{
    const QString model = is5600Series ? QStringLiteral("ＱＥＬ－５６００　")
                                       : QStringLiteral("ＱＥＬ－５２００　");
    return model.leftJustified(18, QLatin1Char(' '));
}

} // namespace qel
