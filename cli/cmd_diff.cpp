// qelctl diff FILE: read the device and list the settings that differ from FILE.
#include "Cli.h"

#include "comm/Generation.h"
#include "files/DataFile.h"
#include "files/SettingsListing.h"
#include "Fleet.h"

#include <QJsonDocument>

namespace qel::cli {

namespace {

bool isSetting(const SettingEntry &e)
{
    // F1..F30 only: the identity fields (F31..F34) are the device's own.
    return e.section != QLatin1String("Identity");
}

} // namespace

QString valueText(const SettingEntry &e)
{
    const QString raw = QString::fromLatin1(e.raw).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    if (e.meaning && !e.meaning->isEmpty())
        return QStringLiteral("%1 (\"%2\")").arg(*e.meaning, raw);
    return QStringLiteral("\"%1\"").arg(raw);
}

QList<SettingDifference> recordDifferences(const ParameterRecord &a, const ParameterRecord &b,
                                           int deviceType)
{
    const QList<SettingEntry> want = describeRecord(a, deviceType);
    const QList<SettingEntry> got = describeRecord(b, deviceType);
    QList<SettingDifference> differences;
    for (int i = 0; i < want.size() && i < got.size(); ++i)
        if (isSetting(want[i]) && want[i].raw != got[i].raw)
            differences << SettingDifference{want[i], got[i]};
    return differences;
}

QList<SettingDifference> settingDifferences(const ParameterRecord &file, const AppState &st)
{
    const ParameterRecord held = DeviceHolds(file, st);
    return recordDifferences(held, st.ParamRecord, st.DeviceType);
}

namespace {

QJsonObject settingJson(const SettingEntry &e)
{
    QJsonObject o{{QStringLiteral("raw"), QString::fromLatin1(e.raw)}};
    o[QStringLiteral("meaning")] = e.meaning ? QJsonValue(*e.meaning) : QJsonValue();
    return o;
}

} // namespace

QJsonArray differencesJson(const QList<SettingDifference> &differences, const QString &fileSide)
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

void printJson(const QJsonValue &value)
{
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out(QString::fromUtf8(doc.toJson(QJsonDocument::Indented)).trimmed());
}

QString differenceLine(const SettingDifference &d, const QString &labelA, const QString &labelB)
{
    return QStringLiteral("%1 (%2, %3): %4 %5, %6 %7")
        .arg(d.file.name, d.file.nameJa, d.file.fields, labelA, valueText(d.file), labelB, valueText(d.device));
}

int cmdDiff(Env &env)
{
    if (!env.badOption.isNull() || env.args.size() != 1 || env.args[0].startsWith(QLatin1Char('-')))
        return exitWith(ExitUsage, QStringLiteral("diff needs one FILE (see qelctl --help)"));
    ParameterRecord file;
    if (!loadSettingsFile(env.args[0], file))
        return ExitFile;

    const bool json = env.opts->isSet(QStringLiteral("json"));
    TypeCheckResult found;
    QJsonObject o = detectOn(env, env.portPath(), found);
    o[QStringLiteral("file")] = env.args[0];
    const auto failed = [&](const QString &why) {
        if (o.contains(QStringLiteral("portProblem"))) {
            o[QStringLiteral("error")] = o.value(QStringLiteral("portProblem"));
        } else {
            err(QStringLiteral("qelctl: ") + why);
            o[QStringLiteral("error")] = why;
        }
        if (json)
            printJson(o);
        return ExitDevice;
    };
    if (!found.generation)
        return failed(QStringLiteral("no converter answered"));
    if (!readSettings(env))
        return failed(QStringLiteral("the read did not complete"));

    const AppState &st = env.ctx->state;
    const QList<SettingDifference> differences = settingDifferences(file, st);
    if (json) {
        o[QStringLiteral("type")] = typeText(st.DeviceType);
        o[QStringLiteral("serial")] = field(st.ParamRecord, 32);
        o[QStringLiteral("differences")] = differencesJson(differences, QStringLiteral("file"));
        printJson(o);
    } else {
        for (const SettingDifference &d : differences)
            out(differenceLine(d, QStringLiteral("file"), QStringLiteral("device")));
    }
    return differences.isEmpty() ? ExitOk : ExitDevice;
}

const CommandRegistration diffCommand({
    QStringLiteral("diff"), QStringLiteral("diff FILE [--json]"),
    QStringLiteral("read the device and list every setting that\n"
                   "differs from FILE (name, file's value, device's\n"
                   "value), compared as the device can hold them;\n"
                   "exit 0 when equal, 1 when different; --json:\n"
                   "an object with the differences"),
    {QCommandLineOption(QStringLiteral("json"))}, cmdDiff});

} // namespace qel::cli
