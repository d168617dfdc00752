// qelctl scan | backup: the commands for many converters (the ports and
// the children: Fleet.h).
#include "Fleet.h"

#include "platform/FileName.h"
#include "platform/Folder.h"

namespace qel::cli {

namespace {

// The port to one side; serial and version given or "-"; from a fleet
// file, the name the file gives it after them.
QString scanLine(const jobs::ScanResult &r, bool named)
{
    const auto value = [](const QString &v) { return v.isEmpty() ? QStringLiteral("-") : v; };
    const QString line = QStringLiteral("%1\t%2\t%3\t%4")
                             .arg(value(r.port), value(r.type), value(r.serial.value_or(QString())), value(r.version));
    return named ? line + u'\t' + value(r.name) : line;
}

int cmdScan(Env &env)
{
    const FleetArgs a = fleetArgs(env);
    if (!a.ok || !a.rest.isEmpty())
        return exitWith(ExitUsage,
                        QStringLiteral("scan takes only --port P (repeatable), --fleet FILE and --json (see qelctl --help)"));
    if (a.fleet.ports.isEmpty())
        return noPorts(a, QStringLiteral("scan"));

    const QList<jobs::ScanResult> all = forEachPort<jobs::ScanResult>(
        env, a, {QStringLiteral("scan"), QStringLiteral("--json")}, {}, jobs::identify);
    if (a.json)
        printJson(toJson(all));
    else
        for (const jobs::ScanResult &r : all)
            out(scanLine(r, a.fleet.fromFile));
    // Something answered; and every port given by name.
    const bool any = std::any_of(all.begin(), all.end(), [](const jobs::ScanResult &r) { return r.type != QLatin1String("none"); });
    int code = any ? ExitOk : ExitDevice;
    for (const jobs::ScanResult &r : all)
        if (missingNamed(a, r))
            code = ExitDevice;
    return fleetExit(a, all, code);
}

int cmdBackup(Env &env)
{
    const FleetArgs a = fleetArgs(env);
    if (!a.ok || a.rest.size() != 1 || a.rest.first().startsWith(QLatin1Char('-')))
        return exitWith(ExitUsage,
                        QStringLiteral("backup needs DIR, then --port P (repeatable) or --fleet FILE (see qelctl --help)"));
    const QString dir = a.rest.first();
    // The folder under the bytes the shell gave; the per-port processes are
    // handed it as text, which carries UTF-8 names only.
    if (a.fleet.ports.size() > 1 && fileNameBytes(dir) != dir.toUtf8())
        return exitWith(ExitUsage, QStringLiteral("backup of several ports needs a folder name in UTF-8: %1").arg(dir));
    if (a.fleet.ports.isEmpty() && a.exit != ExitOk)
        return a.exit;
    Folder folder;
    QString error;
    if (!folder.open(dir, true, error))
        return exitWith(ExitFile, QStringLiteral("cannot create the folder %1").arg(error));

    jobs::BackupResult silent;
    silent.error = QStringLiteral("no answer from qelctl");
    const QList<jobs::BackupResult> all = forEachPort<jobs::BackupResult>(
        env, a, {QStringLiteral("backup"), dir, QStringLiteral("--json")}, silent,
        [&](jobs::Session &s) { return jobs::backup(s, dir); });

    int code = ExitOk;
    bool any = false;
    const auto failed = [&] { code = code == ExitOk ? int(ExitDevice) : code; };
    for (const jobs::BackupResult &r : all) {
        if (!r.sameAs.isEmpty())
            continue; // its file is the first name's
        if (!r.file.isEmpty()) {
            any = true;
            if (!a.json)
                out(r.file);
        } else if (!r.fileError.isEmpty()) {
            any = true;
            code = ExitFile;
            if (!a.json)
                warn(r.fileError);
        } else if (!r.portProblem.isEmpty()) {
            failed(); // said when the port was claimed
        } else if (!r.error.isEmpty()) {
            any = true;
            failed();
            if (!a.json)
                warn(QStringLiteral("%1: %2 (a %3): nothing saved").arg(portLabel(r), r.error, r.type));
        } else if (missingNamed(a, r)) {
            failed();
        }
    }
    if (a.json)
        printJson(toJson(all));
    if (!any) {
        if (!a.json)
            warn(QStringLiteral("no converter answered; nothing saved"));
        code = ExitDevice;
    }
    return fleetExit(a, all, code);
}

} // namespace

namespace {

const CommandRegistration scanCommand({
    QStringLiteral("scan"), QStringLiteral("scan [--port P]... [--fleet FILE] [--json]"),
    QStringLiteral("probe every port given, all at once (without\n"
                   "--port or --fleet: every serial port found and\n"
                   "the stored ones); prints port, type, serial\n"
                   "number and version (and the fleet file's name);\n"
                   "exit 0 when a converter answered and every port\n"
                   "given or listed did"),
    fleetOptions(), cmdScan});

const CommandRegistration backupCommand({
    QStringLiteral("backup"), QStringLiteral("backup DIR [--port P]... [--fleet FILE] [--json]"),
    QStringLiteral("read every converter found, all at once, into\n"
                   "DIR/TYPE-SERIAL-YYYYMMDD-HHMMSS.pdt, one line a\n"
                   "file (--json: an array); exit 1 when a\n"
                   "converter's read failed or a port given or\n"
                   "listed did not answer"),
    fleetOptions(), cmdBackup});

} // namespace

} // namespace qel::cli
