#include "Report.h"

namespace qel::jobs {

namespace {

const char *const kStatusNames[] = {"same", "differs", "noApprovedFile", "approvedFileError", "notAnswering"};

QJsonObject settingJson(const SettingEntry &e)
{
    QJsonObject o{{QStringLiteral("raw"), QString::fromLatin1(e.raw)}};
    o[QStringLiteral("meaning")] = e.meaning ? QJsonValue(*e.meaning) : QJsonValue();
    return o;
}

SettingEntry settingFromJson(const QJsonObject &d, const QString &side)
{
    SettingEntry e;
    e.key = d.value(QStringLiteral("setting")).toString();
    e.name = d.value(QStringLiteral("name")).toString();
    e.nameJa = d.value(QStringLiteral("nameJa")).toString();
    e.fields = d.value(QStringLiteral("fields")).toString();
    const QJsonObject s = d.value(side).toObject();
    e.raw = s.value(QStringLiteral("raw")).toString().toLatin1();
    if (s.value(QStringLiteral("meaning")).isString())
        e.meaning = s.value(QStringLiteral("meaning")).toString();
    return e;
}

// A key written only where it has something to say.
void putText(QJsonObject &o, const char *key, const QString &value)
{
    if (!value.isEmpty())
        o[QLatin1String(key)] = value;
}

QString text(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString();
}

} // namespace

QString valueText(const SettingEntry &e)
{
    const QString raw = QString::fromLatin1(e.raw).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    if (e.meaning && !e.meaning->isEmpty())
        return QStringLiteral("%1 (\"%2\")").arg(*e.meaning, raw);
    return QStringLiteral("\"%1\"").arg(raw);
}

QString differenceLine(const SettingDifference &d, const QString &labelA, const QString &labelB)
{
    return QStringLiteral("%1 (%2, %3): %4 %5, %6 %7")
        .arg(d.file.name, d.file.nameJa, d.file.fields, labelA, valueText(d.file), labelB, valueText(d.device));
}

QJsonArray toJson(const QList<SettingDifference> &differences, const QString &fileSide)
{
    QJsonArray all;
    for (const SettingDifference &d : differences)
        all << QJsonObject{{QStringLiteral("setting"), d.file.key},
                           {QStringLiteral("name"), d.file.name},
                           {QStringLiteral("nameJa"), d.file.nameJa},
                           {QStringLiteral("fields"), d.file.fields},
                           {fileSide, settingJson(d.file)},
                           {QStringLiteral("device"), settingJson(d.device)}};
    return all;
}

QList<SettingDifference> differencesFromJson(const QJsonArray &all, const QString &fileSide)
{
    QList<SettingDifference> out;
    for (const QJsonValue &v : all) {
        SettingDifference d{settingFromJson(v.toObject(), fileSide), settingFromJson(v.toObject(), QStringLiteral("device"))};
        d.device.key = d.file.key;
        out << d;
    }
    return out;
}

QJsonObject toJson(const PortResult &r)
{
    QJsonObject o{{QStringLiteral("type"), r.type}};
    putText(o, "port", r.port);
    putText(o, "portProblem", r.portProblem);
    if (r.serial)
        o[QStringLiteral("serial")] = *r.serial;
    putText(o, "name", r.name);
    putText(o, "expectedSerial", r.expectedSerial);
    putText(o, "sameAs", r.sameAs);
    if (r.serialMismatch)
        o[QStringLiteral("serialMismatch")] = true;
    return o;
}

void fromJson(const QJsonObject &o, PortResult &r)
{
    r.port = text(o, "port");
    r.type = o.contains(QStringLiteral("type")) ? text(o, "type") : QStringLiteral("none");
    r.portProblem = text(o, "portProblem");
    if (o.contains(QStringLiteral("serial")))
        r.serial = text(o, "serial");
    r.name = text(o, "name");
    r.expectedSerial = text(o, "expectedSerial");
    r.sameAs = text(o, "sameAs");
    r.serialMismatch = o.value(QStringLiteral("serialMismatch")).toBool();
}

QJsonObject toJson(const ScanResult &r)
{
    QJsonObject o = toJson(static_cast<const PortResult &>(r));
    if (r.serial)
        o[QStringLiteral("version")] = r.version;
    return o;
}

void fromJson(const QJsonObject &o, ScanResult &r)
{
    fromJson(o, static_cast<PortResult &>(r));
    r.version = text(o, "version");
}

QJsonObject toJson(const BackupResult &r)
{
    QJsonObject o = toJson(static_cast<const PortResult &>(r));
    putText(o, "file", r.file);
    putText(o, "fileError", r.fileError);
    putText(o, "error", r.error);
    return o;
}

void fromJson(const QJsonObject &o, BackupResult &r)
{
    fromJson(o, static_cast<PortResult &>(r));
    r.file = text(o, "file");
    r.fileError = text(o, "fileError");
    r.error = text(o, "error");
}

QString statusName(CheckStatus status)
{
    return QLatin1String(kStatusNames[int(status)]);
}

QJsonObject toJson(const CheckResult &r)
{
    QJsonObject o = toJson(static_cast<const PortResult &>(r));
    o[QStringLiteral("status")] = statusName(r.status);
    putText(o, "file", r.file);
    putText(o, "approved", r.approved);
    putText(o, "error", r.error);
    if (!r.lookedFor.isEmpty())
        o[QStringLiteral("lookedFor")] = QJsonArray::fromStringList(r.lookedFor);
    if (!r.differences.isEmpty())
        o[QStringLiteral("differences")] = toJson(r.differences, QStringLiteral("approved"));
    return o;
}

void fromJson(const QJsonObject &o, CheckResult &r)
{
    fromJson(o, static_cast<PortResult &>(r));
    const QString status = text(o, "status");
    r.status = CheckStatus::NotAnswering;
    for (int i = 0; i < int(std::size(kStatusNames)); ++i)
        if (status == QLatin1String(kStatusNames[i]))
            r.status = CheckStatus(i);
    r.file = text(o, "file");
    r.approved = text(o, "approved");
    r.error = text(o, "error");
    r.lookedFor = o.value(QStringLiteral("lookedFor")).toVariant().toStringList();
    r.differences = differencesFromJson(o.value(QStringLiteral("differences")).toArray(), QStringLiteral("approved"));
}

QJsonObject toJson(const WriteOutcome &w, const QString &file, bool verify)
{
    QJsonObject o{{QStringLiteral("port"), w.detection.port},
                  {QStringLiteral("file"), file},
                  {QStringLiteral("type"), w.detection.type()},
                  {QStringLiteral("written"), w.written()}};
    putText(o, "serial", w.serial);
    const QString error = writeError(w);
    if (verify && w.written() && error.isEmpty()) {
        o[QStringLiteral("verified")] = w.status == WriteStatus::Verified;
        o[QStringLiteral("differences")] = toJson(w.differences, QStringLiteral("file"));
        o[QStringLiteral("notHeld")] = QJsonArray::fromStringList(w.notHeld);
    }
    putText(o, "error", error);
    return o;
}

QString writeError(const WriteOutcome &o)
{
    switch (o.status) {
    case WriteStatus::NotOpened:
        return o.detection.portProblem.text();
    case WriteStatus::NoConverter:
        return QStringLiteral("no converter answered; nothing written");
    case WriteStatus::PresentUnread:
        return QStringLiteral("the converter's present settings could not be read to be kept; nothing written");
    case WriteStatus::SerialUnread:
        return QStringLiteral("the serial number could not be read; nothing written");
    case WriteStatus::OtherSerial:
        return QStringLiteral("the converter's serial number is %1, not %2; nothing written")
            .arg(o.serial, o.expectSerial);
    case WriteStatus::NoCopy:
        return o.copyProblem.ok() ? choiceError(o.choice) : o.copyProblem.text();
    case WriteStatus::NotKept:
        return QStringLiteral("nothing written, since the settings it would replace could not be kept "
                              "(--no-keep writes without keeping them)");
    case WriteStatus::Stopped:
        return o.stopLines.join(u'\n');
    case WriteStatus::ReadBackFailed:
        return QStringLiteral("verify: reading back failed");
    default:
        return {};
    }
}

QString atError(const CopyChoice &c)
{
    if (c.status == CopyChoice::BadTime)
        return QStringLiteral("%1: neither a copy's name (YYYYMMDD-HHMMSS) nor a date and time "
                              "(YYYY-MM-DD HH:MM[:SS])")
            .arg(c.at);
    return QStringLiteral("no copy was kept at or before %1").arg(c.at);
}

QString choiceError(const CopyChoice &c)
{
    switch (c.status) {
    case CopyChoice::NoCopy:
        return QStringLiteral("the device history (%1) holds no copy of serial %2; nothing written")
            .arg(c.where, c.serial);
    case CopyChoice::OtherTypeOnly:
        return QStringLiteral("the device history holds serial %1 as a %2 only, and the converter works as a %3 "
                              "now; nothing written")
            .arg(c.serial, c.otherTypes.join(QStringLiteral(", ")), c.type);
    case CopyChoice::Found:
        return {};
    default:
        return atError(c) + QStringLiteral("; nothing written");
    }
}

} // namespace qel::jobs
