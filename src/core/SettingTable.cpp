#include "SettingTable.h"

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

const QList<ChoiceText> &measurementChoices()
{
    static const QList<ChoiceText> t =
        table({{"周波数計測", "frequency measurement"}, {"周期計測", "period measurement"}});
    return t;
}

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

const QList<SettingDef> &settingTable()
{
    using K = SettingKind;
    static const SettingSection identity{"Identity", nullptr, 0};
    static const SettingSection basic{"Fundamental functions (基本機能)",
                                      QT_TRANSLATE_NOOP("qel::FileCommands", "────　基本機能　"), 50};
    static const SettingSection extra{"Additional functions (付加機能)",
                                      QT_TRANSLATE_NOOP("qel::FileCommands", "────　付加機能　"), 50};
    static const SettingSection eventIn{"Event-in function (イベントイン機能)",
                                        QT_TRANSLATE_NOOP("qel::FileCommands", "────　イベントイン機能　"), 46};
    static const SettingSection eventOut{"Event-out function (イベントアウト機能)",
                                         QT_TRANSLATE_NOOP("qel::FileCommands", "────　イベントアウト機能　"), 45};
    // The printout's labels are eleven full-width characters in Japanese, so
    // that the values start in one column.
    static const QList<SettingDef> table{
        {&identity, "serialNumber", "Serial number", "シリアル№", 32, K::Number},
        {&identity, "version", "Version", "バージョン", 34, K::Version},
        {&identity, "creationDate", "Creation date", "作成日", 33, K::Date},
        {&identity, "updateDate", "Update date", "更新日", 31, K::Date},
        {&basic, "measurementMode", "Measurement mode", "測定モード", 1, K::Choice, measurementChoices,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　測定モード　　　　　"),
         {QT_TRANSLATE_NOOP("qel::FileCommands", "周波数計"), QT_TRANSLATE_NOOP("qel::FileCommands", "周期計")}},
        {&basic, "fullScale", "Full scale", "フルスケール", 2, K::Scaled, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　フルスケール　　　　")},
        {&basic, "bias", "Bias", "バイアス", 7, K::Percent, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　バイアス　　　　　　")},
        {&extra, "outputUpdateTime", "Output update time", "出力更新時間", 8, K::UpdateTime, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　出力更新時間　　　　")},
        {&extra, "frequencyDivisionRatio", "Frequency division ratio", "分周比", 9, K::Number, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　分周比　　　　　　　")},
        {&extra, "movingAverage", "Moving average", "移動平均", 10, K::Number, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　移動平均　　　　　　")},
        {&extra, "chatterSuppression", "Chatter suppression", "チャタサプレス", 11, K::OnOff, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　チャタサプレス　　　")},
        {&extra, "stepless", "Stepless", "ステップレス", 12, K::OnOff, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　ステップレス　　　　")},
        {&extra, "dynamicPrediction", "Dynamic prediction", "ダイナミック予測", 13, K::Prediction,
         predictionChoices, QT_TRANSLATE_NOOP("qel::FileCommands", "　ダイナミック予測　　")},
        {&eventIn, "eventInFunction", "Event-in function", "イベントイン", 14, K::Choice, eventInChoices,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　イベントイン　　　　")},
        {&eventIn, "eventInUpperScale", "Upper scale", "上限スケール", 15, K::Scaled, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　上限スケール　　　　"), {}, nullptr, "012", "Sub scale",
         "サブスケール", QT_TRANSLATE_NOOP("qel::FileCommands", "　サブスケール　　　　")},
        {&eventIn, "eventInLowerScale", "Lower scale", "下限スケール", 20, K::Scaled, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　下限スケール　　　　"), {}, nullptr, "12"},
        {&eventOut, "eventOutFunction", "Event-out function", "イベントアウト", 25, K::Choice, eventOutChoices,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　イベントアウト　　　")},
        {&eventOut, "eventOutSetValue", "Set value", "設定値", 26, K::Scaled, nullptr,
         QT_TRANSLATE_NOOP("qel::FileCommands", "　設定値　　　　　　　"), {},
         QT_TRANSLATE_NOOP("qel::FileCommands", "　E")}, // a full-width blank on this line
    };
    return table;
}

} // namespace qel
