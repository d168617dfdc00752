// Ports for the commands for many converters, and one child qelctl a port.
//
// Several ports are worked at once: the device procedures wait in the event
// loop of their own process, so N ports take about as long as the slowest
// one, not the sum.
#include "Fleet.h"

#include "platform/FileName.h"
#include "platform/PortList.h"
#include "platform/NetworkPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <memory>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qel::cli {

namespace {

// The device a port leads to (links followed), for finding one listed twice.
QString deviceKey(const QString &port)
{
    const QString device = QFileInfo(port).canonicalFilePath();
    return device.isEmpty() ? port : device;
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
        if (!devices.contains(deviceKey(port))) {
            devices.insert(deviceKey(port));
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

// Why a fleet file's line is no port entry; empty when it is one.
QString badEntry(const QStringList &words, FleetPort &p)
{
    if (words.size() > 3)
        return QStringLiteral("more than a port, a name and a serial number: %1")
            .arg(words.mid(3).join(u' '));
    p.port = words[0];
    QString host;
    quint16 tcpPort = 0;
    if (isNetworkUrl(p.port)) {
        if (!parseNetworkUrl(p.port, host, tcpPort))
            return QStringLiteral("%1: not a network port (rfc2217://HOST:PORT)").arg(p.port);
    } else if (!p.port.startsWith(u'/')) {
        return QStringLiteral("%1: not a port (a device path from / or rfc2217://HOST:PORT)").arg(p.port);
    }
    if (words.size() > 1 && words[1] != QLatin1String("-"))
        p.name = words[1];
    if (words.size() > 2) {
        static const QRegularExpression serial(QStringLiteral("^[0-9A-Za-z]+$"));
        if (!serial.match(words[2]).hasMatch())
            return QStringLiteral("%1: not a serial number (letters and digits)").arg(words[2]);
        p.serial = words[2];
    }
    return {};
}

// Reads the fleet file into `a.ports`: PORT [NAME|- [SERIAL]] a line, blank
// lines and "#" comments (from a "#" that starts a word to the end of the
// line) ignored. False when the file cannot be read at all.
bool readFleet(const QString &path, FleetArgs &a, QHash<QString, int> &seen)
{
    // "qelctl: FILE: why", "qelctl: FILE:LINE: why"
    const auto problem = [&](const QString &at, const QString &why) {
        err(QStringLiteral("qelctl: %1%2: %3").arg(path, at, why));
    };
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        problem({}, QStringLiteral("cannot read the fleet file: %1").arg(systemError(errno)));
        return false;
    }
    QFile f;
    f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    // A fleet of thousands of converters is a few hundred kB; more is no fleet file.
    constexpr qint64 kMost = 4 << 20;
    const QByteArray bytes = f.read(kMost + 1);
    if (f.error() != QFileDevice::NoError || bytes.size() > kMost) {
        problem({}, f.error() != QFileDevice::NoError
                        ? QStringLiteral("cannot read the fleet file: ") + f.errorString()
                        : QStringLiteral("not a fleet file (more than 4 MiB)"));
        return false;
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression comment(QStringLiteral("(^|\\s)#.*$"));
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 1; n <= lines.size(); ++n) {
        const auto bad = [&](const QString &why) {
            problem(QStringLiteral(":%1").arg(n), why);
            a.exit = ExitFile;
        };
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString line = utf8(lines[n - 1]);
        if (utf8.hasError()) {
            bad(QStringLiteral("not UTF-8 text"));
            continue;
        }
        const QStringList words = line.remove(comment).split(blanks, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        FleetPort p;
        const QString why = badEntry(words, p);
        if (!why.isEmpty()) {
            bad(why);
            continue;
        }
        if (const int first = seen.value(deviceKey(p.port)); seen.contains(deviceKey(p.port))) {
            bad(QStringLiteral("%1: the same port as line %2").arg(p.port).arg(first));
            continue;
        }
        seen.insert(deviceKey(p.port), n);
        p.line = n;
        a.ports << p;
    }
    return true;
}

struct Child {
    QString port;
    std::unique_ptr<QProcess> proc;
};

} // namespace

const FleetPort *fleetPort(const FleetArgs &a, const QString &port)
{
    for (const FleetPort &p : a.ports)
        if (p.port == port)
            return &p;
    return nullptr;
}

QList<QCommandLineOption> fleetOptions()
{
    return {QCommandLineOption(QStringLiteral("port"), QString(), QStringLiteral("P")),
            QCommandLineOption(QStringLiteral("fleet"), QString(), QStringLiteral("FILE")),
            QCommandLineOption(QStringLiteral("json"))};
}

FleetArgs fleetArgs(Env &env)
{
    FleetArgs a;
    a.ok = env.badOption.isNull() && env.opts;
    if (!a.ok)
        return a;
    a.json = env.opts->isSet(QStringLiteral("json"));
    a.rest = env.args;
    QHash<QString, int> seen; // device -> its line in the fleet file
    for (const QString &file : env.opts->values(QStringLiteral("fleet"))) {
        a.fleet = true;
        if (file.isEmpty())
            a.ok = false;
        else if (!readFleet(file, a, seen)) {
            a.exit = ExitFile;
            a.ports.clear();
            return a;
        }
    }
    QStringList ports;
    if (!env.portOverride.isEmpty())
        ports << env.portOverride;
    for (const QString &p : env.opts->values(QStringLiteral("port"))) {
        if (p.isEmpty())
            a.ok = false;
        ports << p;
    }
    if (ports.isEmpty() && !a.fleet)
        ports = defaultPorts(env);
    for (const QString &p : ports) {
        const QString device = deviceKey(p);
        if (!seen.contains(device)) {
            a.ports << FleetPort{p, {}, {}, 0, {}};
            seen.insert(device, 0);
            continue;
        }
        // Another name of a device already listed (a link and its target):
        // listed as that device; the same name twice counts once.
        const auto first = std::find_if(a.ports.cbegin(), a.ports.cend(), [&](const FleetPort &f) {
            return f.sameAs.isEmpty() && deviceKey(f.port) == device;
        });
        if (first != a.ports.cend() && !fleetPort(a, p))
            a.ports << FleetPort{p, {}, {}, 0, first->port};
    }
    return a;
}

namespace {

// Points the session at one port (as --port does).
void usePort(Env &env, const QString &port)
{
    env.portMap->setOverride(port);
    env.ctx->state.CommPortNo = 1;
}

void addFleetKeys(const FleetArgs &a, QJsonObject &o)
{
    const FleetPort *p = fleetPort(a, o.value(QStringLiteral("port")).toString());
    if (!p || p->line == 0)
        return;
    if (!p->name.isEmpty())
        o[QStringLiteral("name")] = p->name;
    if (p->serial.isEmpty())
        return;
    o[QStringLiteral("expectedSerial")] = p->serial;
    const QString found = o.value(QStringLiteral("serial")).toString();
    if (!found.isEmpty() && !sameSerial(found, p->serial))
        o[QStringLiteral("serialMismatch")] = true;
}

// A child's stderr, told as its port's: the tool's own lines ("qelctl:
// ...") name the port once, the program's messages (a box's title and text)
// follow, unchanged, a line that names it.
void relayMessages(const QString &port, const QString &text)
{
    const QString tool = QStringLiteral("qelctl: ");
    bool named = false;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(tool)) {
            const QString rest = line.mid(tool.size());
            err(rest.startsWith(port + QStringLiteral(": ")) ? line : tool + port + QStringLiteral(": ") + rest);
            named = false;
            continue;
        }
        if (!named)
            err(tool + port + u':');
        named = true;
        err(line);
    }
}

QJsonArray runPerPort(const FleetArgs &a, const QStringList &args, QJsonObject silent)
{
    std::vector<Child> children;
    for (const FleetPort &p : a.ports) {
        Child c{p.port, std::make_unique<QProcess>()};
        c.proc->start(QCoreApplication::applicationFilePath(),
                      QStringList{QStringLiteral("--port"), p.port} + args);
        children.push_back(std::move(c));
    }
    QJsonArray results;
    for (Child &c : children) {
        // Bounded: a child's own waits are all bounded, this is a last guard.
        if (!c.proc->waitForFinished(300000)) {
            c.proc->kill();
            c.proc->waitForFinished();
        }
        relayMessages(c.port, QString::fromUtf8(c.proc->readAllStandardError()));
        const QJsonArray got = QJsonDocument::fromJson(c.proc->readAllStandardOutput()).array();
        silent[QStringLiteral("port")] = c.port;
        if (got.isEmpty())
            results << silent;
        for (const QJsonValue &v : got)
            results << v;
    }
    return results;
}

} // namespace

QJsonArray forEachPort(Env &env, const FleetArgs &a, const QStringList &childArgs,
                       QJsonObject silent, const std::function<QJsonObject(const QString &)> &one)
{
    FleetArgs work = a;
    work.ports.removeIf([](const FleetPort &p) { return !p.sameAs.isEmpty(); });
    QJsonArray worked;
    if (work.ports.size() == 1) {
        usePort(env, work.ports.first().port);
        worked << one(work.ports.first().port);
    } else {
        worked = runPerPort(work, childArgs, silent);
    }
    QHash<QString, QJsonObject> byPort;
    for (const QJsonValue &v : worked)
        byPort.insert(v.toObject().value(QStringLiteral("port")).toString(), v.toObject());
    QJsonArray all;
    for (const FleetPort &p : a.ports) {
        QJsonObject o = byPort.value(p.sameAs.isEmpty() ? p.port : p.sameAs);
        if (!p.sameAs.isEmpty()) {
            err(QStringLiteral("qelctl: %1: the same device as %2 (worked once)").arg(p.port, p.sameAs));
            o[QStringLiteral("port")] = p.port;
            o[QStringLiteral("sameAs")] = p.sameAs;
        }
        addFleetKeys(a, o);
        all << o;
    }
    return all;
}

int fleetExit(const FleetArgs &a, const QJsonArray &all, int code, bool tell)
{
    for (const QJsonValue &v : all) {
        const QJsonObject o = v.toObject();
        if (!o.value(QStringLiteral("serialMismatch")).toBool())
            continue;
        if (tell)
            err(QStringLiteral("qelctl: %1: serial number %2, the fleet file expects %3")
                .arg(portLabel(o), o.value(QStringLiteral("serial")).toString(),
                     o.value(QStringLiteral("expectedSerial")).toString()));
        if (code == ExitOk)
            code = ExitDevice;
    }
    return a.exit == ExitFile ? ExitFile : code;
}

int noPorts(const FleetArgs &a, const QString &what)
{
    if (a.exit == ExitOk)
        err(QStringLiteral("qelctl: no serial port found to %1").arg(what));
    return a.exit == ExitOk ? ExitDevice : a.exit;
}

QJsonObject detectOn(Env &env, const QString &port, TypeCheckResult &found)
{
    PortProblem problem;
    found = env.claimPort(&problem) ? detectDevice(env) : TypeCheckResult();
    QJsonObject o{{QStringLiteral("port"), port}, {QStringLiteral("type"), typeText(found.code)}};
    if (!problem.ok())
        o[QStringLiteral("portProblem")] = problem.text();
    return o;
}

QString portLabel(const QJsonObject &o)
{
    const QString port = o.value(QStringLiteral("port")).toString();
    const QString name = o.value(QStringLiteral("name")).toString();
    return name.isEmpty() ? port : QStringLiteral("%1 (%2)").arg(port, name);
}

QString field(const ParameterRecord &rec, int n)
{
    return QString::fromLatin1(rec.field(n).trimmed());
}

} // namespace qel::cli
