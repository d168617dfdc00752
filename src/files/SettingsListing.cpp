#include "SettingsListing.h"

#include "core/SettingTexts.h"
#include "core/Codes.h"
#include "core/AppState.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace qel {

namespace {

bool allDigits(const QByteArray &s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QByteArray trimmedRight(QByteArray s)
{
    while (!s.isEmpty() && s.back() == ' ')
        s.chop(1);
    return s;
}

// A decimal field: its number without leading zeros; trailing blanks are
// allowed (a short value, or the blank a 52X leaves after one digit).
std::optional<QString> number(const QByteArray &raw)
{
    const QByteArray t = trimmedRight(raw);
    if (!allDigits(t))
        return std::nullopt;
    int i = 0;
    while (i < t.size() - 1 && t[i] == '0')
        ++i;
    return QString::fromLatin1(t.mid(i));
}

std::optional<QString> pick(const QByteArray &raw,
                            std::initializer_list<std::pair<const char *, const char *>> map)
{
    for (const auto &[k, v] : map)
        if (raw == k)
            return QString::fromUtf8(v);
    return std::nullopt;
}

// A setting chosen from a list: "<English> (<Japanese>)", or the prediction's
// "DF<code> <Japanese>".
std::optional<QString> chosen(const QByteArray &raw, const QList<ChoiceText> &table)
{
    const ChoiceText *c = choiceFor(table, raw);
    if (!c)
        return std::nullopt;
    if (&table == &predictionChoices())
        return QStringLiteral("DF%1 %2").arg(QString::fromLatin1(raw), c->ja);
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(c->en), c->ja);
}

std::optional<QString> date(const QByteArray &raw)
{
    const QByteArray t = trimmedRight(raw);
    if (!allDigits(t))
        return std::nullopt;
    return DateDeCord(raw);
}

SettingEntry entry(const char *section, const char *key, const char *name, const char *nameJa,
                   const char *fields, const QByteArray &raw, std::optional<QString> meaning)
{
    SettingEntry e;
    e.section = QString::fromUtf8(section);
    e.key = QString::fromLatin1(key);
    e.name = QString::fromUtf8(name);
    e.nameJa = QString::fromUtf8(nameJa);
    e.fields = QString::fromLatin1(fields);
    e.raw = raw;
    e.meaning = std::move(meaning);
    return e;
}

// Scaled value of the five fields from `first` (mantissa, "E", sign, digit, unit).
std::optional<QString> scaled(const ParameterRecord &r, int first)
{
    const QByteArray sign = r.field(first + 2), digit = r.field(first + 3);
    const QString n = scaledNumber(r.field(first), sign[0], digit[0]);
    const auto unit = pick(r.field(first + 4), {{"H", "Hz"}, {"S", "sec"}});
    if (n.isEmpty() || !unit)
        return std::nullopt;
    return n + QLatin1Char(' ') + *unit;
}

// The scaled value's number and unit into e, when it is a valid one.
SettingEntry withScaledValue(SettingEntry e)
{
    if (e.meaning) {
        const qsizetype blank = e.meaning->indexOf(QLatin1Char(' '));
        e.value = e.meaning->left(blank).toDouble();
        e.unit = e.meaning->mid(blank + 1);
    }
    return e;
}

// A plain number's value and unit into e, when the field holds one.
SettingEntry withNumber(SettingEntry e, const std::optional<QString> &n, double factor = 1,
                        const char *unit = "")
{
    if (n) {
        e.value = n->toDouble() * factor;
        e.unit = QString::fromLatin1(unit);
    }
    return e;
}

QByteArray scaledRaw(const ParameterRecord &r, int first)
{
    QByteArray raw;
    for (int f = first; f < first + 5; ++f)
        raw += r.field(f);
    return raw;
}

// Display width in a terminal: East Asian wide and full-width characters
// take two columns.
int displayWidth(const QString &s)
{
    int w = 0;
    for (const QChar c : s) {
        const ushort u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
            || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
            || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
            || (u >= 0xFFE0 && u <= 0xFFE6);
        w += wide ? 2 : 1;
    }
    return w;
}

QString pad(const QString &s, int width)
{
    const int w = displayWidth(s);
    return w >= width ? s + QLatin1Char(' ') : s + QString(width - w, QLatin1Char(' '));
}

// The stored characters, quoted, with anything unprintable escaped.
QString quoted(const QByteArray &raw)
{
    QString out = QStringLiteral("\"");
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\')
            out += QStringLiteral("\\") + QLatin1Char(ch);
        else if (c == '\r')
            out += QLatin1String("\\r");
        else if (c == '\n')
            out += QLatin1String("\\n");
        else if (c < 0x20 || c >= 0x7F)
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(ch);
    }
    return out + QLatin1Char('"');
}

} // namespace

QString scaledNumber(const QByteArray &mantissa, char sign, char digit)
{
    if (mantissa.size() != 5 || !allDigits(mantissa) || (sign != '+' && sign != '-')
        || digit < '0' || digit > '9')
        return {};
    const int e = digit - '0';
    QByteArray digits = mantissa;
    if (sign == '+') {
        digits += QByteArray(e, '0');
    } else {
        // Put the point e places from the right.
        if (digits.size() <= e)
            digits.prepend(QByteArray(e - digits.size() + 1, '0'));
        digits.insert(digits.size() - e, '.');
        while (digits.endsWith('0'))
            digits.chop(1);
        if (digits.endsWith('.'))
            digits.chop(1);
    }
    int i = 0;
    while (i < digits.size() - 1 && digits[i] == '0' && digits[i + 1] != '.')
        ++i;
    return QString::fromLatin1(digits.mid(i));
}

QList<SettingEntry> describeRecord(const ParameterRecord &r, int deviceType)
{
    QList<SettingEntry> out;
    const char *id = "Identity";
    out << withNumber(entry(id, "serialNumber", "Serial number", "シリアル№", "F32", r.field(32),
                            number(r.field(32))),
                      number(r.field(32)));
    {
        // A version read from a short device reply ends in its carriage return.
        QByteArray v = r.field(34);
        const int cr = v.indexOf('\r');
        v = trimmedRight(cr < 0 ? v : v.left(cr));
        const bool printable = std::all_of(v.begin(), v.end(), [](char c) {
            return c >= 0x20 && c < 0x7F;
        });
        out << entry(id, "version", "Version", "バージョン", "F34", r.field(34),
                     v.isEmpty() || !printable
                         ? std::nullopt
                         : std::optional<QString>(QString::fromLatin1(v)));
    }
    out << entry(id, "creationDate", "Creation date", "作成日", "F33", r.field(33),
                 date(r.field(33)));
    out << entry(id, "updateDate", "Update date", "更新日", "F31", r.field(31), date(r.field(31)));

    const char *basic = "Fundamental functions (基本機能)";
    out << entry(basic, "measurementMode", "Measurement mode", "測定モード", "F1", r.field(1),
                 pick(r.field(1), {{"0", "frequency measurement (周波数計測)"},
                                   {"1", "period measurement (周期計測)"}}));
    out << withScaledValue(entry(basic, "fullScale", "Full scale", "フルスケール", "F2-F6",
                                 scaledRaw(r, 2), scaled(r, 2)));
    {
        const auto n = number(r.field(7));
        out << withNumber(entry(basic, "bias", "Bias", "バイアス", "F7", r.field(7),
                                n ? std::optional<QString>(*n + QStringLiteral(" % of span"))
                                  : std::nullopt),
                          n, 1, "%");
    }

    const char *extra = "Additional functions (付加機能)";
    {
        const auto n = number(r.field(8));
        const DeviceTypeInfo *type = deviceTypeInfo(deviceType);
        std::optional<QString> m;
        if (n) {
            if (!type)
                m = *n + QStringLiteral(" (× 10 ms on type 521, ms on types 527 and 5600)");
            else if (type->timeUnitMs > 1)
                m = QString::number(n->toLongLong() * type->timeUnitMs)
                    + QStringLiteral(" ms (%1 × %2 ms)").arg(*n).arg(type->timeUnitMs);
            else
                m = *n + QStringLiteral(" ms");
        }
        // On an unknown type the unit is unknown: the value is the field's count.
        out << withNumber(entry(extra, "outputUpdateTime", "Output update time", "出力更新時間",
                                "F8", r.field(8), m),
                          n, type ? type->timeUnitMs : 1, type ? "ms" : "");
    }
    out << withNumber(entry(extra, "frequencyDivisionRatio", "Frequency division ratio", "分周比",
                            "F9", r.field(9), number(r.field(9))),
                      number(r.field(9)));
    out << withNumber(entry(extra, "movingAverage", "Moving average", "移動平均", "F10",
                            r.field(10), number(r.field(10))),
                      number(r.field(10)));
    out << entry(extra, "chatterSuppression", "Chatter suppression", "チャタサプレス", "F11",
                 r.field(11), pick(r.field(11), {{"0", "off"}, {"1", "on"}}));
    out << entry(extra, "stepless", "Stepless", "ステップレス", "F12", r.field(12),
                 pick(r.field(12), {{"0", "off"}, {"1", "on"}}));
    out << entry(extra, "dynamicPrediction", "Dynamic prediction", "ダイナミック予測", "F13",
                 r.field(13),
                 chosen(r.field(13), predictionChoices()));

    const char *evIn = "Event-in function (イベントイン機能)";
    const QByteArray f14 = r.field(14);
    out << entry(evIn, "eventInFunction", "Event-in function", "イベントイン", "F14", f14,
                 chosen(f14, eventInChoices()));
    {
        const bool dual = f14 == "0";
        SettingEntry up = entry(evIn, "eventInUpperScale", dual ? "Sub scale" : "Upper scale",
                                dual ? "サブスケール" : "上限スケール", "F15-F19",
                                scaledRaw(r, 15), scaled(r, 15));
        up.used = dual || f14 == "1" || f14 == "2";
        out << withScaledValue(up);
        SettingEntry low = entry(evIn, "eventInLowerScale", "Lower scale", "下限スケール",
                                 "F20-F24", scaledRaw(r, 20), scaled(r, 20));
        low.used = f14 == "1" || f14 == "2";
        out << withScaledValue(low);
    }

    const char *evOut = "Event-out function (イベントアウト機能)";
    out << entry(evOut, "eventOutFunction", "Event-out function", "イベントアウト", "F25",
                 r.field(25),
                 chosen(r.field(25), eventOutChoices()));
    out << withScaledValue(entry(evOut, "eventOutSetValue", "Set value", "設定値", "F26-F30",
                                 scaledRaw(r, 26), scaled(r, 26)));
    return out;
}

QString settingsListingText(const ParameterRecord &rec, int deviceType)
{
    QString out;
    QString section;
    for (const SettingEntry &e : describeRecord(rec, deviceType)) {
        if (e.section != section) {
            section = e.section;
            out += section + QLatin1Char('\n');
        }
        QString line = QStringLiteral("  ") + pad(e.name + QStringLiteral(" (") + e.nameJa
                                                      + QLatin1Char(')'),
                                                  40)
            + pad(e.fields, 9) + pad(quoted(e.raw), 14);
        line += e.meaning ? *e.meaning : QStringLiteral("? (not a valid value)");
        if (e.used && !*e.used)
            line += QStringLiteral("  [not used by this event-in function]");
        out += line + QLatin1Char('\n');
    }
    return out;
}

QByteArray settingsListingJson(const ParameterRecord &rec, int deviceType)
{
    QJsonObject fields;
    for (int f = 1; f <= ParameterRecord::FieldCount; ++f)
        fields.insert(QStringLiteral("F%1").arg(f), rec.text(f));
    QJsonObject settings;
    for (const SettingEntry &e : describeRecord(rec, deviceType)) {
        QJsonObject o{{QStringLiteral("name"), e.name},
                      {QStringLiteral("nameJa"), e.nameJa},
                      {QStringLiteral("fields"), e.fields},
                      {QStringLiteral("raw"), QString::fromLatin1(e.raw)},
                      {QStringLiteral("meaning"), e.meaning ? QJsonValue(*e.meaning) : QJsonValue()}};
        if (e.value)
            o.insert(QStringLiteral("value"), *e.value);
        if (!e.unit.isEmpty())
            o.insert(QStringLiteral("unit"), e.unit);
        if (e.used)
            o.insert(QStringLiteral("used"), *e.used);
        settings.insert(e.key, o);
    }
    const QJsonObject doc{{QStringLiteral("deviceType"), deviceType},
                          {QStringLiteral("fields"), fields},
                          {QStringLiteral("settings"), settings}};
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

} // namespace qel
