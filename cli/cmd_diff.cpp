// qelctl diff FILE: read the device and list the settings that differ from FILE.
#include "Cli.h"

namespace qel::cli {

int cmdDiff(Env &env)
{
    if (!env.badOption.isNull() || env.args.size() != 1 || env.args[0].startsWith(QLatin1Char('-')))
        return exitWith(ExitUsage, QStringLiteral("diff needs one FILE (see qelctl --help)"));
    ParameterRecord file;
    if (!loadSettingsFile(env.args[0], file))
        return ExitFile;

    const bool json = env.opts->isSet(QStringLiteral("json"));
    jobs::Session s = env.session();
    const jobs::ReadOutcome r = jobs::readAndKeep(s);
    QJsonObject o = jobs::toJson(r.result());
    o[QStringLiteral("file")] = env.args[0];
    if (!r.ok()) {
        // A port's problem was told when it was claimed.
        const QString why = r.status == jobs::ReadStatus::NotOpened ? r.detection.portProblem.text()
            : r.status == jobs::ReadStatus::NoConverter             ? QStringLiteral("no converter answered")
                                                                    : QStringLiteral("the read did not complete");
        if (r.status != jobs::ReadStatus::NotOpened)
            warn(why);
        o[QStringLiteral("error")] = why;
        if (json)
            printJson(o);
        return ExitDevice;
    }

    const QList<jobs::SettingDifference> differences = jobs::settingDifferences(file, env.ctx->state);
    if (json) {
        o[QStringLiteral("differences")] = jobs::toJson(differences, QStringLiteral("file"));
        printJson(o);
    } else {
        for (const jobs::SettingDifference &d : differences)
            out(jobs::differenceLine(d, QStringLiteral("file"), QStringLiteral("device")));
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
