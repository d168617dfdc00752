// qelctl diff FILE: read the device and list the settings that differ from FILE.
#include "Cli.h"

#include "comm/MemoryImage.h"
#include "editor/SettingsCommands.h"
#include "files/SettingsListing.h"

namespace qel::cli {

namespace {

// The file's settings as the device would hold them after an exact write, so
// that what a write cannot carry is never reported as a difference.
ParameterRecord asDeviceHolds(const ParameterRecord &file, const AppState &st)
{
    ParameterRecord held = file;
    if (st.DeviceType == Type521 || st.DeviceType == Type527) {
        // A 52X holds what its memory image carries: F13 in four levels, F10
        // as one digit, numbers as their hex width allows.
        AppState tmp;
        tmp.MemoryImage = st.MemoryImage;
        EncodeMemoryImage(file, tmp.MemoryImage);
        tmp.ParamRecord = held;
        DecodeMemoryImage(tmp);
        held = tmp.ParamRecord;
    } else {
        // The exponent letter is never sent; the device's own is always "E".
        for (int f : {3, 16, 21, 27})
            held.setField(f, "E");
        // A version "01.00" device gets the short form when the exponent digit
        // is "0": the exponent sign is not sent, and the device takes "+".
        if (st.ParamRecord.field(34) == "01.00") {
            for (auto [sign, digit] : {std::pair{4, 5}, {17, 18}, {22, 23}, {28, 29}}) {
                if (held.field(digit) == "0")
                    held.setField(sign, "+");
            }
        }
    }
    return held;
}

QString valueText(const SettingEntry &e)
{
    const QString raw = QString::fromLatin1(e.raw).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    if (e.meaning && !e.meaning->isEmpty())
        return QStringLiteral("%1 (\"%2\")").arg(*e.meaning, raw);
    return QStringLiteral("\"%1\"").arg(raw);
}

bool isSetting(const SettingEntry &e)
{
    // F1..F30 only: the identity fields (F31..F34) are the device's own.
    static const QStringList identity = {QStringLiteral("F31"), QStringLiteral("F32"),
                                         QStringLiteral("F33"), QStringLiteral("F34")};
    for (const QString &f : identity) {
        if (e.fields.startsWith(f))
            return false;
    }
    return true;
}

} // namespace

int cmdDiff(Env &env)
{
    if (!env.badOption.isNull() || env.args.size() != 1 || env.args[0].startsWith(QLatin1Char('-'))) {
        err(QStringLiteral("qelctl: diff needs one FILE (see qelctl --help)"));
        return ExitUsage;
    }
    AppState &st = env.ctx->state;
    ParameterRecord file;
    QString error;
    if (!loadSettingsFile(env.args[0], file, error)) {
        err(QStringLiteral("qelctl: %1").arg(error));
        return ExitFile;
    }

    if (detectDevice(env) == TypeNone) {
        err(QStringLiteral("qelctl: no device answered"));
        return ExitDevice;
    }
    SettingsCommands commands(*env.ctx, *env.engine, *env.typeChange);
    const CommandOutcome o = commands.ReadingIn();
    if (o.aborted || env.terminated || !o.transferred || o.result != CommResult::Ok) {
        err(QStringLiteral("qelctl: the read did not complete"));
        return ExitDevice;
    }

    const ParameterRecord held = asDeviceHolds(file, st);
    const QList<SettingEntry> want = describeRecord(held, st.DeviceType);
    const QList<SettingEntry> got = describeRecord(st.ParamRecord, st.DeviceType);
    int differences = 0;
    for (int i = 0; i < want.size() && i < got.size(); ++i) {
        if (!isSetting(want[i]) || want[i].raw == got[i].raw)
            continue;
        ++differences;
        out(QStringLiteral("%1 (%2, %3): file %4, device %5")
                .arg(want[i].name, want[i].nameJa, want[i].fields, valueText(want[i]),
                     valueText(got[i])));
    }
    return differences == 0 ? ExitOk : ExitDevice;
}

const CommandRegistration diffCommand({
    QStringLiteral("diff"), QStringLiteral("diff FILE"),
    QStringLiteral("read the device and list every setting that\n"
                   "differs from FILE (name, file's value, device's\n"
                   "value), compared as the device can hold them;\n"
                   "exit 0 when equal, 1 when different"),
    {}, cmdDiff});

} // namespace qel::cli
