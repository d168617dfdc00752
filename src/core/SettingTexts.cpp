#include "SettingTexts.h"

#include <QCoreApplication>

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

#define JA(text) QT_TRANSLATE_NOOP("qel::SettingTexts", text)

const QList<ChoiceText> &predictionChoices()
{
    static const QList<ChoiceText> t = table({{JA("周期保持"), ""}, {JA("連続予測"), ""}, {"Low  ×8", ""},
                                              {"MLow ×6", ""}, {"Mid  ×4", ""}, {"MHigh ×3", ""},
                                              {"High  ×2", ""}, {"ExHigh ×1.5", ""}});
    return t;
}

const QList<ChoiceText> &eventInChoices()
{
    static const QList<ChoiceText> t = table(
        {{JA("デュアルレンジ"), "dual range"}, {JA("スプレッド"), "spread"},
         {JA("対数出力"), "logarithmic output"}, {JA("データロック"), "data lock"},
         {JA("ピークホールド"), "peak hold"}, {JA("バレーホールド"), "valley hold"}});
    return t;
}

const QList<ChoiceText> &eventOutChoices()
{
    static const QList<ChoiceText> t = table({{JA("下限検出（停止検出）"), "lower-limit detection"},
                                              {JA("上限検出（コンパレータ）"), "upper-limit detection"}});
    return t;
}

#undef JA

const ChoiceText *choiceFor(const QList<ChoiceText> &table, const QByteArray &code)
{
    const int i = code.size() == 1 ? code[0] - '0' : -1;
    return i >= 0 && i < table.size() ? &table[i] : nullptr;
}

QString shownText(const ChoiceText &c)
{
    return QCoreApplication::translate("qel::SettingTexts", c.ja.toUtf8().constData());
}

QStringList shownTexts(const QList<ChoiceText> &table)
{
    QStringList out;
    for (const ChoiceText &c : table)
        out << shownText(c);
    return out;
}

QStringList choiceTexts(const QList<ChoiceText> &table)
{
    QStringList out;
    for (const ChoiceText &c : table)
        out << c.ja;
    return out;
}

} // namespace qel
