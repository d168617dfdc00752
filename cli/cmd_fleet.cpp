// qelctl scan | backup | history, and the serial check of write --expect-serial:
// the commands for many converters.
//
// Several ports are worked at once, one child qelctl a port: the device
// procedures wait in the event loop of their own process, so a scan of N
// ports takes about as long as its slowest port, not the sum.
#include "Cli.h"

#include "editor/SettingsCommands.h"
#include "files/DataFile.h"
#include "files/DeviceHistory.h"
#include "platform/FileName.h"
#include "platform/PortList.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QFileInfo>
#include <QSet>
#include <memory>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace qel::cli {

namespace {

struct PortArgs {
    QStringList ports;
    QStringList rest;
    bool json = false;
    bool ok = true;
};

// The command's `--port P` (repeatable) and `--json`; the --port before
// the command counts as one.
PortArgs portArgs(const Env &env)
{
    PortArgs a;
    a.ok = env.badOption.isNull() && env.opts;
    if (!a.ok)
        return a;
    if (!env.portOverride.isEmpty())
        a.ports << env.portOverride;
    for (const QString &p : env.opts->values(QStringLiteral("port"))) {
        if (p.isEmpty())
            a.ok = false;
        a.ports << p;
    }
    a.json = env.opts->isSet(QStringLiteral("json"));
    a.rest = env.args;
    a.ports.removeDuplicates();
    return a;
}

// Without --port: every serial port the system lists (by its by-id link
// where it has one, the name a technician stores), then the stored device
// paths of COM1..COM4 (network ports among them); each device once, however
// many names lead to it (two probes of one line would refuse each other).
QStringList defaultPorts(Env &env)
{
    QStringList ports;
    QSet<QString> devices;
    const auto add = [&](const QString &port) {
        const QString device = QFileInfo(port).canonicalFilePath();
        if (!devices.contains(device.isEmpty() ? port : device)) {
            devices.insert(device.isEmpty() ? port : device);
            ports << port;
        }
    };
    SystemPortList found;
    for (const FoundPort &p : found.ports())
        add(p.stableName());
    for (int n = 1; n <= 4; ++n) {
        QString stored;
        if (env.store.get(QStringLiteral("QEL-5600"), QStringLiteral("DevicePath"),
                          QStringLiteral("COM%1").arg(n), stored)
            && !stored.trimmed().isEmpty())
            add(stored.trimmed());
    }
    return ports;
}

// Points the session at one port (as --port does).
void usePort(Env &env, const QString &port)
{
    env.portMap->setOverride(port);
    env.ctx->state.CommPortNo = 1;
}

struct Child {
    QString port;
    std::unique_ptr<QProcess> proc;
};

// Runs `qelctl --port P ARGS...` for every port at once and returns the
// objects of their JSON arrays, port by port in the order given; a port
// whose child gave none has `silent` with its port (its stderr is passed
// on, each line led by the port).
QJsonArray runPerPort(const QStringList &ports, const QStringList &args, QJsonObject silent)
{
    std::vector<Child> children;
    for (const QString &p : ports) {
        Child c{p, std::make_unique<QProcess>()};
        c.proc->start(QCoreApplication::applicationFilePath(),
                      QStringList{QStringLiteral("--port"), p} + args);
        children.push_back(std::move(c));
    }
    QJsonArray results;
    for (Child &c : children) {
        // Bounded: a child's own waits are all bounded, this is a last guard.
        if (!c.proc->waitForFinished(300000)) {
            c.proc->kill();
            c.proc->waitForFinished();
        }
        for (const QString &line : QString::fromUtf8(c.proc->readAllStandardError())
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            err(QStringLiteral("%1: %2").arg(c.port, line));
        const QJsonArray got = QJsonDocument::fromJson(c.proc->readAllStandardOutput()).array();
        silent[QStringLiteral("port")] = c.port;
        if (got.isEmpty())
            results << silent;
        for (const QJsonValue &v : got)
            results << v;
    }
    return results;
}

void printJson(const QJsonArray &a)
{
    out(QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Indented)).trimmed());
}

QString field(const ParameterRecord &rec, int n)
{
    return QString::fromLatin1(rec.field(n).trimmed());
}

// Type, serial number and version of the converter on the session's port.
QJsonObject identify(Env &env, const QString &port)
{
    QJsonObject o;
    o[QStringLiteral("port")] = port;
    const int code = detectDevice(env);
    o[QStringLiteral("type")] = typeText(code);
    if (code == TypeNone)
        return o;
    if (readSerial(env, code)) {
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

// The port to one side; serial and version given or "-".
QString scanLine(const QJsonObject &o)
{
    auto value = [&](const char *key) {
        const QString v = o.value(QLatin1String(key)).toString();
        return v.isEmpty() ? QStringLiteral("-") : v;
    };
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(value("port"), value("type"), value("serial"), value("version"));
}

} // namespace

bool readSerial(Env &env, int code)
{
    // A 52X's detection has read its memory image; a 5600 is asked for its
    // identification (read commands only).
    if (code == Type5600)
        return env.engine->Read56XVer() == CommResult::Ok;
    if (code != Type521 && code != Type527)
        return false;
    env.typeChange->IdentFromImage();
    return true;
}

static int cmdScan(Env &env)
{
    PortArgs a = portArgs(env);
    if (!a.ok || !a.rest.isEmpty()) {
        err(QStringLiteral("qelctl: scan takes only --port P (repeatable) and --json (see qelctl --help)"));
        return ExitUsage;
    }
    if (a.ports.isEmpty())
        a.ports = defaultPorts(env);
    if (a.ports.isEmpty()) {
        err(QStringLiteral("qelctl: no serial port found to scan"));
        return ExitDevice;
    }

    QJsonArray all;
    if (a.ports.size() == 1) {
        usePort(env, a.ports.first());
        all << identify(env, a.ports.first());
    } else {
        all = runPerPort(a.ports, {QStringLiteral("scan"), QStringLiteral("--json")},
                         {{QStringLiteral("type"), QStringLiteral("none")}});
    }
    if (a.json) {
        printJson(all);
    } else {
        for (const QJsonValue &v : all)
            out(scanLine(v.toObject()));
    }
    return scanExit(all);
}

// Makes the folder and its parents under the name's own bytes; true when it
// is a folder at the end.
static bool makeFolder(const QByteArray &path)
{
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        if (::mkdir(path.left(i).constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

static int cmdBackup(Env &env)
{
    PortArgs a = portArgs(env);
    if (!a.ok || a.rest.size() != 1 || a.rest.first().startsWith(QLatin1Char('-'))) {
        err(QStringLiteral("qelctl: backup needs DIR, then --port P (repeatable) (see qelctl --help)"));
        return ExitUsage;
    }
    const QString dir = a.rest.first();
    if (a.ports.isEmpty())
        a.ports = defaultPorts(env);
    // The folder under the bytes the shell gave; the per-port processes are
    // handed it as text, which carries UTF-8 names only.
    const QByteArray dirBytes = fileNameBytes(dir);
    if (a.ports.size() > 1 && dirBytes != dir.toUtf8()) {
        err(QStringLiteral("qelctl: backup of several ports needs a folder name in UTF-8: %1").arg(dir));
        return ExitUsage;
    }
    if (!makeFolder(dirBytes)) {
        err(QStringLiteral("qelctl: cannot create the folder %1").arg(dir));
        return ExitFile;
    }

    QJsonArray all;
    if (a.ports.size() == 1) {
        const QString port = a.ports.first();
        usePort(env, port);
        QJsonObject o;
        o[QStringLiteral("port")] = port;
        const int code = detectDevice(env);
        o[QStringLiteral("type")] = typeText(code);
        if (code != TypeNone) {
            SettingsCommands commands(*env.ctx, *env.engine, *env.typeChange);
            const CommandOutcome r = commands.ReadingIn();
            const AppState &st = env.ctx->state;
            if (r.aborted || env.terminated || !r.transferred || r.result != CommResult::Ok) {
                o[QStringLiteral("error")] = QStringLiteral("the read did not complete");
            } else {
                // The type as read (the presence check may have found another).
                const QString type = typeText(st.DeviceType);
                o[QStringLiteral("type")] = type;
                o[QStringLiteral("serial")] = field(st.ParamRecord, 32);
                const QString base = QStringLiteral("%1/%2-%3-%4")
                                         .arg(dir, type, historySerial(st.ParamRecord.field(32)),
                                              QDateTime::currentDateTime().toString(
                                                  QStringLiteral("yyyyMMdd-HHmmss")));
                QString path = base + QStringLiteral(".pdt");
                for (int n = 2; ::access(fileNameBytes(path).constData(), F_OK) == 0; ++n)
                    path = QStringLiteral("%1-%2.pdt").arg(base).arg(n);
                QString error;
                if (saveDataFile(path, st.ParamRecord, error))
                    o[QStringLiteral("file")] = path;
                else
                    o[QStringLiteral("fileError")] = error;
            }
        }
        all << o;
    } else {
        all = runPerPort(a.ports, {QStringLiteral("backup"), dir, QStringLiteral("--json")},
                         {{QStringLiteral("type"), QStringLiteral("none")},
                          {QStringLiteral("error"), QStringLiteral("no answer from qelctl")}});
    }

    int code = ExitOk;
    bool any = false;
    for (const QJsonValue &v : all) {
        const QJsonObject o = v.toObject();
        if (o.contains(QStringLiteral("file"))) {
            any = true;
            if (!a.json)
                out(o.value(QStringLiteral("file")).toString());
        } else if (o.contains(QStringLiteral("fileError"))) {
            any = true;
            code = ExitFile;
            if (!a.json)
                err(QStringLiteral("qelctl: %1").arg(o.value(QStringLiteral("fileError")).toString()));
        } else if (o.contains(QStringLiteral("error"))) {
            any = true;
            if (code == ExitOk)
                code = ExitDevice;
            if (!a.json)
                err(QStringLiteral("qelctl: %1: %2 (a %3): nothing saved")
                        .arg(o.value(QStringLiteral("port")).toString(),
                             o.value(QStringLiteral("error")).toString(),
                             o.value(QStringLiteral("type")).toString()));
        }
    }
    if (a.json)
        printJson(all);
    if (!any) {
        if (!a.json)
            err(QStringLiteral("qelctl: no converter answered; nothing saved"));
        return ExitDevice;
    }
    return code;
}

static int cmdHistory(Env &env)
{
    if (!env.badOption.isNull() || env.args.size() > 1) {
        err(QStringLiteral("qelctl: history takes at most one SERIAL (see qelctl --help)"));
        return ExitUsage;
    }
    const QString serial = env.args.isEmpty() ? QString() : historySerial(env.args.first().toLatin1());
    const QList<HistoryEntry> list = listHistory(historyRoot(), serial);
    for (const HistoryEntry &e : list)
        out(QStringLiteral("%1\t%2\t%3\t%4")
                .arg(e.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.type, e.serial,
                     e.path));
    if (list.isEmpty())
        err(serial.isEmpty() ? QStringLiteral("qelctl: no reads kept in %1").arg(historyRoot())
                             : QStringLiteral("qelctl: no reads of serial %1 kept in %2")
                                   .arg(serial, historyRoot()));
    return ExitOk;
}

bool serialMatches(const QByteArray &device, const QString &expected)
{
    const QString d = QString::fromLatin1(device.trimmed());
    const QString e = expected.trimmed();
    bool okD = false, okE = false;
    const qulonglong nd = d.toULongLong(&okD), ne = e.toULongLong(&okE);
    if (okD && okE)
        return nd == ne; // 00123 is 123
    return !d.isEmpty() && d == e;
}

namespace {

const QList<QCommandLineOption> kFleetOptions = {
    QCommandLineOption(QStringLiteral("port"), QString(), QStringLiteral("P")),
    QCommandLineOption(QStringLiteral("json"))};

const CommandRegistration scanCommand({
    QStringLiteral("scan"), QStringLiteral("scan [--port P]... [--json]"),
    QStringLiteral("probe every port given, all at once (without\n"
                   "--port: every serial port found and the stored\n"
                   "ones); prints port, type, serial number and\n"
                   "version; exit 0 when a converter answered"),
    kFleetOptions, cmdScan});

const CommandRegistration backupCommand({
    QStringLiteral("backup"), QStringLiteral("backup DIR [--port P]..."),
    QStringLiteral("read every converter found, all at once, into\n"
                   "DIR/TYPE-SERIAL-YYYYMMDD-HHMMSS.pdt, one line a\n"
                   "file; exit 1 when a converter's read failed"),
    kFleetOptions, cmdBackup});

const CommandRegistration historyCommand({
    QStringLiteral("history"), QStringLiteral("history [SERIAL]"),
    QStringLiteral("the copies every successful read keeps under\n"
                   "$XDG_DATA_HOME/qel-settings/history"),
    {}, cmdHistory});

} // namespace

} // namespace qel::cli
