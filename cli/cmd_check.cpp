// qelctl check APPROVED-DIR: every converter against the settings approved
// for it (APPROVED-DIR/SERIAL.pdt or TYPE-SERIAL.pdt), setting by setting as
// `diff` compares; one line a converter. With --from BACKUP-DIR the files a
// backup just wrote stand for the converters, which are not read again.
#include "Fleet.h"

#include "platform/FileAccess.h"
#include "platform/FileName.h"

namespace qel::cli {

namespace {

// What a converter's line says after its port, name, type and serial number.
QString result(const jobs::CheckResult &r)
{
    if (r.serialMismatch)
        return QStringLiteral("another converter: the fleet file expects serial number %1").arg(r.expectedSerial);
    switch (r.status) {
    case jobs::CheckStatus::Same:
        return QStringLiteral("same");
    case jobs::CheckStatus::Differs: {
        QStringList parts;
        for (const jobs::SettingDifference &d : r.differences)
            parts << QStringLiteral("%1 (%2): approved %3, device %4")
                         .arg(d.file.name, d.file.fields, jobs::valueText(d.file), jobs::valueText(d.device));
        return QStringLiteral("differs: ") + parts.join(QStringLiteral("; "));
    }
    case jobs::CheckStatus::NoApprovedFile:
        return QStringLiteral("no approved file (%1)").arg(r.lookedFor.join(QStringLiteral(" or ")));
    case jobs::CheckStatus::ApprovedFileError:
        return QStringLiteral("approved file unusable: %1").arg(QString(r.error).replace(u'\n', u' '));
    default:
        return QStringLiteral("not answering: %1").arg(r.error);
    }
}

QString checkLine(const jobs::CheckResult &r)
{
    const auto value = [](const QString &v) { return v.isEmpty() ? QStringLiteral("-") : v; };
    return QStringLiteral("%1\t%2\t%3\t%4\t%5")
        .arg(value(r.file.isEmpty() ? r.port : r.file), value(r.name), value(r.type),
             value(r.serial.value_or(QString())), result(r));
}

// check --from: the backup files for the converters.
QList<jobs::CheckResult> checkBackups(const QString &approved, const QString &from, int &code)
{
    QString error;
    QList<jobs::CheckResult> all;
    const QStringList files = jobs::latestBackups(from, error);
    if (!error.isEmpty())
        code = exitWith(ExitFile, QStringLiteral("no backup folder to check: %1").arg(error));
    else if (files.isEmpty())
        code = exitWith(ExitDevice, QStringLiteral("%1: no backup file to check").arg(from));
    for (const QString &file : files) {
        jobs::CheckResult r;
        r.file = file;
        AppState device;
        FileProblem problem;
        if (jobs::backupState(file, device, problem)) {
            r = jobs::compareWithApproved(approved, device, r);
        } else {
            r.status = jobs::CheckStatus::NotAnswering;
            r.error = problem.text();
        }
        all << r;
    }
    return all;
}

int cmdCheck(Env &env)
{
    const FleetArgs a = fleetArgs(env);
    const QString from = env.opts ? env.opts->value(QStringLiteral("from")) : QString();
    const bool fromGiven = env.opts && env.opts->isSet(QStringLiteral("from"));
    if (!a.ok || a.rest.size() != 1 || a.rest.first().startsWith(QLatin1Char('-'))
        || (fromGiven && (from.isEmpty() || a.fleet.fromFile || !env.opts->values(QStringLiteral("port")).isEmpty()
                          || !env.portOverride.isEmpty())))
        return exitWith(ExitUsage, QStringLiteral("check needs APPROVED-DIR, then --port P (repeatable), --fleet FILE "
                                                  "or --from BACKUP-DIR (see qelctl --help)"));
    const QString dir = a.rest.first();
    if (fileState(dir).kind != FileState::Folder)
        return exitWith(ExitFile, QStringLiteral("%1: no folder of approved settings").arg(dir));

    int code = ExitOk;
    QList<jobs::CheckResult> all;
    if (fromGiven) {
        all = checkBackups(dir, from, code);
    } else {
        // The per-port processes are handed the folder as text, which carries UTF-8 names only.
        if (a.fleet.ports.size() > 1 && fileNameBytes(dir) != dir.toUtf8())
            return exitWith(ExitUsage, QStringLiteral("check of several ports needs a folder name in UTF-8: %1").arg(dir));
        if (a.fleet.ports.isEmpty())
            return noPorts(a, QStringLiteral("check"));
        jobs::CheckResult silent;
        silent.error = QStringLiteral("no answer from qelctl");
        all = forEachPort<jobs::CheckResult>(env, a, {QStringLiteral("check"), dir, QStringLiteral("--json")}, silent,
                                             [&](jobs::Session &s) { return jobs::check(s, dir); });
    }
    for (const jobs::CheckResult &r : all) {
        if (r.status == jobs::CheckStatus::ApprovedFileError)
            code = ExitFile;
        else if (r.status != jobs::CheckStatus::Same && code == ExitOk)
            code = ExitDevice;
        if (!a.json)
            out(checkLine(r));
    }
    if (a.json)
        printJson(toJson(all));
    // The text lines say which converter is another; JSON has it as serialMismatch.
    return fleetExit(a, all, code, a.json);
}

} // namespace

const CommandRegistration checkCommand({
    QStringLiteral("check"), QStringLiteral("check APPROVED-DIR [--port P]... [--fleet FILE] [--from BACKUP-DIR] [--json]"),
    QStringLiteral("read every converter, all at once, and compare\n"
                   "it as diff does with APPROVED-DIR/SERIAL.pdt,\n"
                   "else APPROVED-DIR/TYPE-SERIAL.pdt; one line a\n"
                   "converter: port, name, type, serial, then same,\n"
                   "differs (which settings), no approved file or\n"
                   "not answering; --from compares the latest\n"
                   "backup file of each converter in BACKUP-DIR\n"
                   "instead of reading it (the file in the port's\n"
                   "place); exit 0 when all match, 1 otherwise, 3\n"
                   "on a file problem"),
    fleetOptions() << QCommandLineOption(QStringLiteral("from"), QString(), QStringLiteral("BACKUP-DIR")), cmdCheck});

} // namespace qel::cli
