// qelctl history [SERIAL] [--json] | history SERIAL --diff [A [B]]: the
// copies the device history keeps, and what changed between two of them.
#include "Cli.h"

#include <QJsonDocument>

namespace qel::cli {

namespace {

QString isoTime(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QString shownTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A copy's name without .pdt, as --at and --diff take it.
QString copyLabel(const HistoryEntry &e)
{
    return e.name.chopped(4);
}

int listCopies(const QList<HistoryEntry> &list, bool json)
{
    if (json) {
        QJsonArray all;
        for (const HistoryEntry &e : list)
            all << QJsonObject{{QStringLiteral("type"), e.type},
                               {QStringLiteral("serial"), e.serial},
                               {QStringLiteral("firstSeen"), isoTime(e.when)},
                               {QStringLiteral("lastSeen"), isoTime(e.lastSeen)},
                               {QStringLiteral("path"), e.path},
                               {QStringLiteral("keptBeforeWrite"), e.keptBeforeWrite}};
        put(stdout, QJsonDocument(all).toJson(QJsonDocument::Indented));
        return ExitOk;
    }
    // First seen, type, serial and path as ever; then last seen, and the
    // copy a write kept before it wrote.
    for (const HistoryEntry &e : list)
        out(QStringLiteral("%1\t%2\t%3\t%4\t%5%6")
                .arg(shownTime(e.when), e.type, e.serial, e.path, shownTime(e.lastSeen),
                     e.keptBeforeWrite ? QStringLiteral("\tkept before the last write") : QString()));
    return ExitOk;
}

// The settings that differ between two copies of one converter.
int diffCopies(const jobs::DeviceStore &store, const QList<HistoryEntry> &list, const QStringList &at)
{
    if (list.size() < 2 && at.size() < 2)
        return exitWith(ExitFile,
                        QStringLiteral("history --diff needs two copies; the history holds %1").arg(list.size()));
    // Default: the last two; one name: that copy and the latest.
    int pick[2] = {int(list.size()) - 2, int(list.size()) - 1};
    for (int i = 0; i < at.size(); ++i) {
        jobs::CopyChoice why;
        pick[i] = jobs::copyAt(list, at[i], why);
        if (pick[i] < 0)
            return exitWith(ExitFile, jobs::atError(why));
    }
    ParameterRecord rec[2];
    for (int i = 0; i < 2; ++i) {
        FileProblem problem;
        if (!store.load(list[pick[i]], rec[i], problem))
            return exitWith(ExitFile, problem.text());
    }
    const QList<jobs::SettingDifference> differences =
        jobs::recordDifferences(rec[0], rec[1], typeCode(list[pick[1]].type));
    for (const jobs::SettingDifference &d : differences)
        out(jobs::differenceLine(d, copyLabel(list[pick[0]]), copyLabel(list[pick[1]])));
    return differences.isEmpty() ? ExitOk : ExitDevice;
}

int cmdHistory(Env &env)
{
    const bool json = env.opts && env.opts->isSet(QStringLiteral("json"));
    const bool diff = env.opts && env.opts->isSet(QStringLiteral("diff"));
    const QStringList &args = env.args;
    if (!env.badOption.isNull() || args.size() > (diff ? 3 : 1) || (diff && (args.isEmpty() || json)))
        return exitWith(ExitUsage,
                        QStringLiteral("history takes [SERIAL] [--json], or SERIAL --diff [A [B]] (see qelctl --help)"));
    const QString serial = args.isEmpty() ? QString() : historySerial(args.first().toLatin1());
    const jobs::DeviceStore &store = *env.history;
    const QList<HistoryEntry> list = store.copies(serial);
    if (list.isEmpty())
        warn(serial.isEmpty() ? QStringLiteral("no reads kept in %1").arg(store.location())
                              : QStringLiteral("no reads of serial %1 kept in %2").arg(serial, store.location()));
    return diff ? diffCopies(store, list, args.mid(1)) : listCopies(list, json);
}

const CommandRegistration historyCommand({
    QStringLiteral("history"), QStringLiteral("history [SERIAL] [--json]"),
    QStringLiteral("the copies of the device history (a new one when\n"
                   "a read finds other settings than the last):\n"
                   "first seen, type, serial, file, last seen;\n"
                   "history SERIAL --diff [A [B]] lists the\n"
                   "settings that differ between two copies (by\n"
                   "name or time; default the last two), exit 1\n"
                   "when some do"),
    {QCommandLineOption(QStringLiteral("json")), QCommandLineOption(QStringLiteral("diff"))}, cmdHistory});

} // namespace

} // namespace qel::cli
