#include "SettingTexts.h"

namespace qel {

const QList<ChoiceText> &predictionChoices()
{
    static const QList<ChoiceText> t = {
        {QStringLiteral("周期保持")}, {QStringLiteral("連続予測")}, {QStringLiteral("Low  ×8")},
        {QStringLiteral("MLow ×6")},  {QStringLiteral("Mid  ×4")},  {QStringLiteral("MHigh ×3")},
        {QStringLiteral("High  ×2")}, {QStringLiteral("ExHigh ×1.5")},
    };
    return t;
}

const QList<ChoiceText> &eventInChoices()
{
    static const QList<ChoiceText> t = {
        {QStringLiteral("デュアルレンジ"), "dual range"},
        {QStringLiteral("スプレッド"), "spread"},
        {QStringLiteral("対数出力"), "logarithmic output"},
        {QStringLiteral("データロック"), "data lock"},
        {QStringLiteral("ピークホールド"), "peak hold"},
        {QStringLiteral("バレーホールド"), "valley hold"},
    };
    return t;
}

const QList<ChoiceText> &eventOutChoices()
{
    static const QList<ChoiceText> t = {
        {QStringLiteral("下限検出（停止検出）"), "lower-limit detection"},
        {QStringLiteral("上限検出（コンパレータ）"), "upper-limit detection"},
    };
    return t;
}

const ChoiceText *choiceFor(const QList<ChoiceText> &table, const QByteArray &code)
{
    if (code.size() != 1 || code[0] < '0' || code[0] > '9')
        return nullptr;
    const int i = code[0] - '0';
    return i < table.size() ? &table[i] : nullptr;
}

QStringList choiceTexts(const QList<ChoiceText> &table)
{
    QStringList out;
    for (const ChoiceText &c : table)
        out << c.ja;
    return out;
}

} // namespace qel
