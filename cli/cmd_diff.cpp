// qelctl diff FILE: read the device and list the settings that differ from FILE.
#include "Cli.h"

#include "comm/DeviceHolds.h"
#include "files/DataFile.h"
#include "files/SettingsListing.h"

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
    const ParameterRecord held = DeviceHolds(file, st.DeviceType, st.ParamRecord.field(34), st.MemoryImage);
    return recordDifferences(held, st.ParamRecord, st.DeviceType);
}

QString differenceLine(const SettingDifference &d, const QString &labelA, const QString &labelB)
{
    return QStringLiteral("%1 (%2, %3): %4 %5, %6 %7")
        .arg(d.file.name, d.file.nameJa, d.file.fields, labelA, valueText(d.file), labelB, valueText(d.device));
}

int cmdDiff(Env &env)
{
    if (!env.badOption.isNull() || env.args.size() != 1 || env.args[0].startsWith(QLatin1Char('-'))) {
        err(QStringLiteral("qelctl: diff needs one FILE (see qelctl --help)"));
        return ExitUsage;
    }
    ParameterRecord file;
    QString error;
    if (!loadDataFile(env.args[0], file, error)) {
        err(QStringLiteral("qelctl: %1").arg(error));
        return ExitFile;
    }

    if (!env.claimPort())
        return ExitDevice;
    if (detectDevice(env) == TypeNone) {
        err(QStringLiteral("qelctl: no device answered"));
        return ExitDevice;
    }
    if (!readSettings(env)) {
        err(QStringLiteral("qelctl: the read did not complete"));
        return ExitDevice;
    }

    const QList<SettingDifference> differences = settingDifferences(file, env.ctx->state);
    for (const SettingDifference &d : differences)
        out(differenceLine(d, QStringLiteral("file"), QStringLiteral("device")));
    return differences.isEmpty() ? ExitOk : ExitDevice;
}

const CommandRegistration diffCommand({
    QStringLiteral("diff"), QStringLiteral("diff FILE"),
    QStringLiteral("read the device and list every setting that\n"
                   "differs from FILE (name, file's value, device's\n"
                   "value), compared as the device can hold them;\n"
                   "exit 0 when equal, 1 when different"),
    {}, cmdDiff});

} // namespace qel::cli
