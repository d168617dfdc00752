// qelctl scan | backup, and the serial check of write --expect-serial:
// the commands for many converters (the ports and the children: Fleet.h).
#include "Fleet.h"

#include "editor/SettingsCommands.h"
#include "files/DeviceHistory.h"
#include "platform/FileName.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"

#include <QDateTime>

namespace qel::cli {

namespace {

// Type, serial number and version of the converter on the session's port.
QJsonObject identify(Env &env, const QString &port)
{
    TypeCheckResult found;
    QJsonObject o = detectOn(env, port, found);
    if (!found.generation)
        return o;
    if (readSerial(env, found.generation)) {
        o[QStringLiteral("serial")] = field(env.ctx->state.ParamRecord, 32);
        o[QStringLiteral("version")] = field(env.ctx->state.ParamRecord, 34);
    }
    return o;
}

int scanExit(const QJsonArray &all)
{
    for (const QJsonValue &v : all)
        if (v.toObject().value(QStringLiteral("type")).toString() != QLatin1String("none"))
            return ExitOk;
    return ExitDevice;
}

// The port to one side; serial and version given or "-"; from a fleet
// file, the name the file gives it after them.
QString scanLine(const QJsonObject &o, bool named)
{
    auto value = [&](const char *key) {
        const QString v = o.value(QLatin1String(key)).toString();
        return v.isEmpty() ? QStringLiteral("-") : v;
    };
    const QString line = QStringLiteral("%1\t%2\t%3\t%4")
                             .arg(value("port"), value("type"), value("serial"), value("version"));
    return named ? line + u'\t' + value("name") : line;
}

} // namespace

bool readSerial(Env &env, const Generation *found)
{
    // A 52X's detection has read its memory image; a 5600 is asked for its
    // identification (read commands only).
    return found && found->readIdentity(*env.engine) == CommResult::Ok;
}

// A converter the fleet file lists that did not answer, said on stderr.
static bool missingFromFleet(const FleetArgs &a, const QJsonObject &o)
{
    const FleetPort *p = fleetPort(a, o.value(QStringLiteral("port")).toString());
    if (!p || p->line == 0 || o.value(QStringLiteral("type")).toString() != QLatin1String("none"))
        return false;
    err(QStringLiteral("qelctl: %1: no converter answered").arg(portLabel(o)));
    return true;
}

static int cmdScan(Env &env)
{
    const FleetArgs a = fleetArgs(env);
    if (!a.ok || !a.rest.isEmpty())
        return exitWith(ExitUsage,
                        QStringLiteral("scan takes only --port P (repeatable), --fleet FILE and --json (see qelctl --help)"));
    if (a.ports.isEmpty())
        return noPorts(a, QStringLiteral("scan"));

    const QJsonArray all = forEachPort(env, a, {QStringLiteral("scan"), QStringLiteral("--json")},
                                       {{QStringLiteral("type"), QStringLiteral("none")}},
                                       [&](const QString &port) { return identify(env, port); });
    if (a.json) {
        printJson(all);
    } else {
        for (const QJsonValue &v : all)
            out(scanLine(v.toObject(), a.fleet));
    }
    int code = scanExit(all);
    for (const QJsonValue &v : all)
        if (missingFromFleet(a, v.toObject()))
            code = ExitDevice;
    return fleetExit(a, all, code);
}

// Reads the converter on the session's port into DIR/TYPE-SERIAL-TIME.pdt.
static QJsonObject backupOne(Env &env, const QString &dir, const QString &port)
{
    TypeCheckResult found;
    QJsonObject o = detectOn(env, port, found);
    if (!found.generation)
        return o;
    if (!readSettings(env)) {
        o[QStringLiteral("error")] = QStringLiteral("the read did not complete");
        return o;
    }
    // The type as read (the presence check may have found another).
    const AppState &st = env.ctx->state;
    const QString type = typeText(st.DeviceType);
    o[QStringLiteral("type")] = type;
    o[QStringLiteral("serial")] = field(st.ParamRecord, 32);
    // Its own file, under a name nothing else holds (two converters with
    // one serial number read in the same second take -2, -3 ...).
    const QString name = QStringLiteral("%1-%2-%3.pdt")
                             .arg(type, historySerial(st.ParamRecord.field(32)),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    Folder folder;
    QString path, error;
    if (folder.open(dir, true, error)
        && writeFileIn(folder.fd(), folder.path(), name, SafeWrite::Placing::NewName, st.ParamRecord.bytes(),
                       path, error))
        o[QStringLiteral("file")] = path;
    else
        o[QStringLiteral("fileError")] = error;
    return o;
}

static int cmdBackup(Env &env)
{
    const FleetArgs a = fleetArgs(env);
    if (!a.ok || a.rest.size() != 1 || a.rest.first().startsWith(QLatin1Char('-')))
        return exitWith(ExitUsage,
                        QStringLiteral("backup needs DIR, then --port P (repeatable) or --fleet FILE (see qelctl --help)"));
    const QString dir = a.rest.first();
    // The folder under the bytes the shell gave; the per-port processes are
    // handed it as text, which carries UTF-8 names only.
    const QByteArray dirBytes = fileNameBytes(dir);
    if (a.ports.size() > 1 && dirBytes != dir.toUtf8())
        return exitWith(ExitUsage, QStringLiteral("backup of several ports needs a folder name in UTF-8: %1").arg(dir));
    if (a.ports.isEmpty() && a.exit != ExitOk)
        return a.exit;
    Folder folder;
    QString error;
    if (!folder.open(dir, true, error))
        return exitWith(ExitFile, QStringLiteral("cannot create the folder %1").arg(error));

    const QJsonArray all = forEachPort(
        env, a, {QStringLiteral("backup"), dir, QStringLiteral("--json")},
        {{QStringLiteral("type"), QStringLiteral("none")},
         {QStringLiteral("error"), QStringLiteral("no answer from qelctl")}},
        [&](const QString &port) { return backupOne(env, dir, port); });

    int code = ExitOk;
    bool any = false;
    for (const QJsonValue &v : all) {
        const QJsonObject o = v.toObject();
        if (o.contains(QStringLiteral("sameAs")))
            continue; // its file is the first name's
        if (o.contains(QStringLiteral("file"))) {
            any = true;
            if (!a.json)
                out(o.value(QStringLiteral("file")).toString());
        } else if (o.contains(QStringLiteral("fileError"))) {
            any = true;
            code = ExitFile;
            if (!a.json)
                err(QStringLiteral("qelctl: %1").arg(o.value(QStringLiteral("fileError")).toString()));
        } else if (o.contains(QStringLiteral("portProblem"))) {
            if (code == ExitOk)
                code = ExitDevice; // said when the port was claimed
        } else if (o.contains(QStringLiteral("error"))) {
            any = true;
            if (code == ExitOk)
                code = ExitDevice;
            if (!a.json)
                err(QStringLiteral("qelctl: %1: %2 (a %3): nothing saved")
                        .arg(portLabel(o), o.value(QStringLiteral("error")).toString(),
                             o.value(QStringLiteral("type")).toString()));
        } else if (missingFromFleet(a, o) && code == ExitOk) {
            code = ExitDevice;
        }
    }
    if (a.json)
        printJson(all);
    if (!any) {
        if (!a.json)
            err(QStringLiteral("qelctl: no converter answered; nothing saved"));
        code = ExitDevice;
    }
    return fleetExit(a, all, code);
}

namespace {

const CommandRegistration scanCommand({
    QStringLiteral("scan"), QStringLiteral("scan [--port P]... [--fleet FILE] [--json]"),
    QStringLiteral("probe every port given, all at once (without\n"
                   "--port or --fleet: every serial port found and\n"
                   "the stored ones); prints port, type, serial\n"
                   "number and version (and the fleet file's name);\n"
                   "exit 0 when a converter answered"),
    fleetOptions(), cmdScan});

const CommandRegistration backupCommand({
    QStringLiteral("backup"), QStringLiteral("backup DIR [--port P]... [--fleet FILE] [--json]"),
    QStringLiteral("read every converter found, all at once, into\n"
                   "DIR/TYPE-SERIAL-YYYYMMDD-HHMMSS.pdt, one line a\n"
                   "file (--json: an array); exit 1 when a\n"
                   "converter's read failed or one the fleet file\n"
                   "lists did not answer"),
    fleetOptions(), cmdBackup});

} // namespace

} // namespace qel::cli
