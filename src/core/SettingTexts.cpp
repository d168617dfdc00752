#include "SettingTexts.h"

namespace qel {

namespace {

QList<ChoiceText> table(std::initializer_list<std::pair<const char *, const char *>> rows)
{
    QList<ChoiceText> t;
    for (const auto &[ja, en] : rows)
        t.append({QString::fromUtf8(ja), en});
    return t;
}

} // namespace

const QList<ChoiceText> &predictionChoices()
{
    static const QList<ChoiceText> t = table(
        {{"周期保持", ""}, {"連続予測", ""}, {"Low  ×8", ""}, {"MLow ×6", ""}, {"Mid  ×4", ""},
         {"MHigh ×3", ""}, {"High  ×2", ""}, {"ExHigh ×1.5", ""}});
    return t;
}

const QList<ChoiceText> &eventInChoices()
{
    static const QList<ChoiceText> t = table(
        {{"デュアルレンジ", "dual range"}, {"スプレッド", "spread"}, {"対数出力", "logarithmic output"},
         {"データロック", "data lock"}, {"ピークホールド", "peak hold"}, {"バレーホールド", "valley hold"}});
    return t;
}

const QList<ChoiceText> &eventOutChoices()
{
    static const QList<ChoiceText> t = table({{"下限検出（停止検出）", "lower-limit detection"},
                                              {"上限検出（コンパレータ）", "upper-limit detection"}});
    return t;
}

const ChoiceText *choiceFor(const QList<ChoiceText> &table, const QByteArray &code)
{
    const int i = code.size() == 1 ? code[0] - '0' : -1;
    return i >= 0 && i < table.size() ? &table[i] : nullptr;
}

QStringList choiceTexts(const QList<ChoiceText> &table)
{
    QStringList out;
    for (const ChoiceText &c : table)
        out << c.ja;
    return out;
}

} // namespace qel
