// qelctl restore SERIAL [--at TIME]: a copy of the device history written
// back to its converter, as write --verify writes a file.
#include "Cli.h"

namespace qel::cli {

namespace {

int cmdRestore(Env &env)
{
    const QStringList &args = env.args;
    const bool atGiven = env.opts && env.opts->isSet(QStringLiteral("at"));
    const QString at = atGiven ? env.opts->value(QStringLiteral("at")) : QString();
    if (!env.badOption.isNull() || args.size() != 1 || args[0].startsWith(u'-') || (atGiven && at.isEmpty()))
        return exitWith(ExitUsage, QStringLiteral("restore needs SERIAL, then optionally --at TIME (see qelctl --help)"));

    jobs::Session s = env.session();
    const jobs::WriteOutcome o = jobs::restore(s, args[0], at);
    const int code = tellWrite(o);
    if (o.choice.found()) {
        const HistoryEntry &copy = o.choice.copy;
        (code == ExitOk ? out : err)(
            QStringLiteral("%1 %2 (first seen %3, last seen %4)")
                .arg(code == ExitOk ? QStringLiteral("restored") : QStringLiteral("qelctl: meant to restore"),
                     copy.path, copy.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     copy.lastSeen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    }
    return code;
}

const CommandRegistration restoreCommand({
    QStringLiteral("restore"), QStringLiteral("restore SERIAL [--at TIME]"),
    QStringLiteral("write a copy of the device history back to the\n"
                   "converter SERIAL (refused for another one): the\n"
                   "copy kept before the last write, else the\n"
                   "latest; --at a copy's name (20261207-101502) or\n"
                   "a time (2026-12-07 10:15): what it held then.\n"
                   "Keeps what it replaces, verifies as write\n"
                   "--verify, prints the copy written"),
    {QCommandLineOption(QStringLiteral("at"), QString(), QStringLiteral("TIME"))}, cmdRestore});

} // namespace

} // namespace qel::cli
