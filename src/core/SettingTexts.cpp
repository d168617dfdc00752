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

const QList<ChoiceText> &predictionChoices()
{
    static const QList<ChoiceText> t = table(
        {{QT_TRANSLATE_NOOP("qel::SettingTexts", "周期保持"), ""},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "連続予測"), ""},
         {"Low  ×8", ""}, {"MLow ×6", ""}, {"Mid  ×4", ""}, {"MHigh ×3", ""},
         {"High  ×2", ""}, {"ExHigh ×1.5", ""}});
    return t;
}

const QList<ChoiceText> &eventInChoices()
{
    static const QList<ChoiceText> t = table(
        {{QT_TRANSLATE_NOOP("qel::SettingTexts", "デュアルレンジ"), "dual range"},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "スプレッド"), "spread"},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "対数出力"), "logarithmic output"},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "データロック"), "data lock"},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "ピークホールド"), "peak hold"},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "バレーホールド"), "valley hold"}});
    return t;
}

const QList<ChoiceText> &eventOutChoices()
{
    static const QList<ChoiceText> t = table(
        {{QT_TRANSLATE_NOOP("qel::SettingTexts", "下限検出（停止検出）"), "lower-limit detection"},
         {QT_TRANSLATE_NOOP("qel::SettingTexts", "上限検出（コンパレータ）"), "upper-limit detection"}});
    return t;
}

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

} // namespace qel
