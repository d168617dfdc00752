// qelctl restore SERIAL [--at TIME] [--port P]: a copy of the device history
// written back to its converter, as write --verify writes a file.
#include "Cli.h"

#include "files/DataFile.h"

namespace qel::cli {

namespace {

int cmdRestore(Env &env)
{
    const QStringList &args = env.args;
    const QString port = env.opts ? env.opts->value(QStringLiteral("port")) : QString();
    const bool atGiven = env.opts && env.opts->isSet(QStringLiteral("at"));
    const QString at = atGiven ? env.opts->value(QStringLiteral("at")) : QString();
    if (!env.badOption.isNull() || args.size() != 1 || args[0].startsWith(u'-') || (atGiven && at.isEmpty())
        || (env.opts && env.opts->isSet(QStringLiteral("port")) && port.isEmpty()))
        return exitWith(ExitUsage, QStringLiteral("restore needs SERIAL, then optionally --at TIME and --port P "
                                                  "(see qelctl --help)"));
    if (!port.isEmpty()) {
        env.portOverride = port;
        env.portMap->setOverride(port);
        env.ctx->state.CommPortNo = 1;
    }

    WriteJob job;
    job.verify = true;
    job.expectSerial = args[0].trimmed();
    HistoryEntry copy;
    // The copy, once the converter's type and serial number are known; as
    // the history stood before this run keeps what it replaces.
    job.choose = [&](const QString &type, const QString &serial) {
        QList<HistoryEntry> copies;
        QStringList otherTypes;
        for (const HistoryEntry &e : listHistory(historyRoot(), serial)) {
            if (e.type == type)
                copies << e;
            else if (!otherTypes.contains(e.type))
                otherTypes << e.type;
        }
        if (copies.isEmpty()) {
            err(otherTypes.isEmpty()
                    ? QStringLiteral("qelctl: the device history (%1) holds no copy of serial %2; nothing written")
                          .arg(historyRoot(), serial)
                    : QStringLiteral("qelctl: the device history holds serial %1 as a %2 only, and the converter "
                                     "works as a %3 now; nothing written")
                          .arg(serial, otherTypes.join(QStringLiteral(", ")), type));
            return int(ExitFile);
        }
        int pick = int(copies.size()) - 1;
        if (atGiven) {
            QString error;
            pick = copyAt(copies, at, error);
            if (pick < 0)
                return exitWith(ExitFile, QStringLiteral("%1; nothing written").arg(error));
        } else {
            for (int i = 0; i < copies.size(); ++i)
                if (copies[i].keptBeforeWrite)
                    pick = i;
        }
        copy = copies[pick];
        if (!loadSettingsFile(copy.path, job.record))
            return int(ExitFile);
        return int(ExitOk);
    };
    const int code = writeToConverter(env, job);
    if (!copy.path.isEmpty())
        (code == ExitOk ? out : err)(
            QStringLiteral("%1 %2 (first seen %3, last seen %4)")
                .arg(code == ExitOk ? QStringLiteral("restored") : QStringLiteral("qelctl: meant to restore"),
                     copy.path, copy.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     copy.lastSeen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    return code;
}

const CommandRegistration restoreCommand({
    QStringLiteral("restore"), QStringLiteral("restore SERIAL [--at TIME] [--port P]"),
    QStringLiteral("write a copy of the device history back to the\n"
                   "converter SERIAL (refused for another one): the\n"
                   "copy kept before the last write, else the\n"
                   "latest; --at a copy's name (20261207-101502) or\n"
                   "a time (2026-12-07 10:15): what it held then.\n"
                   "Keeps what it replaces, verifies as write\n"
                   "--verify, prints the copy written"),
    {QCommandLineOption(QStringLiteral("at"), QString(), QStringLiteral("TIME")),
     QCommandLineOption(QStringLiteral("port"), QString(), QStringLiteral("P"))},
    cmdRestore});

} // namespace

} // namespace qel::cli
