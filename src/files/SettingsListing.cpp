#include "SettingsListing.h"

#include "core/Codes.h"
#include "core/DeviceTypes.h"
#include "core/SettingTable.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace qel {

namespace {

bool allDigits(const QByteArray &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
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

// The meaning of a setting's characters and, for a number, its value and unit.
void describe(SettingEntry &e, const SettingDef &d, const ParameterRecord &r, int deviceType)
{
    const QByteArray &raw = e.raw;
    const auto valued = [&e](const std::optional<QString> &n, double factor, const char *unit) {
        if (n) {
            e.value = n->toDouble() * factor;
            e.unit = QString::fromLatin1(unit);
        }
    };
    const auto n = number(raw);
    switch (d.kind) {
    case SettingKind::Number:
        e.meaning = n;
        valued(n, 1, "");
        break;
    case SettingKind::Percent:
        if (n)
            e.meaning = *n + QStringLiteral(" % of span");
        valued(n, 1, "%");
        break;
    case SettingKind::UpdateTime: {
        const DeviceTypeInfo *type = deviceTypeInfo(deviceType);
        if (n && !type)
            e.meaning = *n + QStringLiteral(" (× 10 ms on type 521, ms on types 527 and 5600)");
        else if (n && type->timeUnitMs > 1)
            e.meaning = QString::number(n->toLongLong() * type->timeUnitMs)
                + QStringLiteral(" ms (%1 × %2 ms)").arg(*n).arg(type->timeUnitMs);
        else if (n)
            e.meaning = *n + QStringLiteral(" ms");
        // On an unknown type the unit is unknown: the value is the field's count.
        valued(n, type ? type->timeUnitMs : 1, type ? "ms" : "");
        break;
    }
    case SettingKind::Scaled:
        if ((e.meaning = scaled(r, d.field))) {
            const qsizetype blank = e.meaning->indexOf(QLatin1Char(' '));
            e.value = e.meaning->left(blank).toDouble();
            e.unit = e.meaning->mid(blank + 1);
        }
        break;
    case SettingKind::Choice:
    case SettingKind::Prediction:
        // "<English> (<Japanese>)", or the prediction's "DF<code> <Japanese>".
        if (const ChoiceText *c = choiceFor(d.choices(), raw))
            e.meaning = d.kind == SettingKind::Prediction
                ? QStringLiteral("DF%1 %2").arg(QString::fromLatin1(raw), c->ja)
                : QStringLiteral("%1 (%2)").arg(QString::fromUtf8(c->en), c->ja);
        break;
    case SettingKind::OnOff:
        e.meaning = pick(raw, {{"0", "off"}, {"1", "on"}});
        break;
    case SettingKind::Date:
        if (allDigits(trimmedRight(raw)))
            e.meaning = DateDeCord(raw);
        break;
    case SettingKind::Version: {
        // A version read from a short device reply ends in its carriage return.
        const int cr = raw.indexOf('\r');
        const QByteArray v = trimmedRight(cr < 0 ? raw : raw.left(cr));
        if (!v.isEmpty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
            e.meaning = QString::fromLatin1(v);
        break;
    }
    }
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
    const QByteArray f14 = r.field(14);
    QList<SettingEntry> out;
    for (const SettingDef &d : settingTable()) {
        SettingEntry e;
        const bool dual = d.dualWith(f14);
        e.section = QString::fromUtf8(d.section->title);
        e.key = QString::fromLatin1(d.key);
        e.name = QString::fromUtf8(dual ? d.dualName : d.name);
        e.nameJa = QString::fromUtf8(dual ? d.dualNameJa : d.nameJa);
        e.fields = d.lastField() == d.field ? QStringLiteral("F%1").arg(d.field)
                                            : QStringLiteral("F%1-F%2").arg(d.field).arg(d.lastField());
        e.raw = d.raw(r);
        if (d.usedWhen)
            e.used = d.usedWith(f14);
        describe(e, d, r, deviceType);
        out << e;
    }
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
