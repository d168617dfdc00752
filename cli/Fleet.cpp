// Ports for the commands for many converters, and one child qelctl a port.
//
// Several ports are worked at once: the device procedures wait in the event
// loop of their own process, so N ports take about as long as the slowest
// one, not the sum.
#include "Fleet.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QProcess>
#include <memory>

namespace qel::cli {

namespace {

// Set for the children: each works one port of a run the first process tells as a whole.
const char *const kChildVariable = "QEL_FLEET_CHILD";

} // namespace

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
    for (const QString &file : env.opts->values(QStringLiteral("fleet"))) {
        a.fleet.fromFile = true;
        if (file.isEmpty()) {
            a.ok = false;
        } else if (!a.fleet.readFile(file, warn)) {
            a.exit = ExitFile;
            a.fleet.ports.clear();
            return a;
        }
    }
    if (a.fleet.badLines)
        a.exit = ExitFile;
    QStringList ports;
    if (!env.portOverride.isEmpty())
        ports << env.portOverride;
    for (const QString &p : env.opts->values(QStringLiteral("port"))) {
        if (p.isEmpty())
            a.ok = false;
        ports << p;
    }
    if (ports.isEmpty() && !a.fleet.fromFile)
        a.fleet.add(jobs::portsFound(env.store), false);
    else
        a.fleet.add(ports, true);
    return a;
}

void usePort(Env &env, const QString &port)
{
    env.portMap->setOverride(port);
    env.ctx->state.CommPortNo = 1;
}

namespace {

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

} // namespace

QHash<QString, QJsonObject> runChildren(const QList<jobs::FleetPort> &ports, const QStringList &childArgs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    std::vector<std::pair<QString, std::unique_ptr<QProcess>>> children;
    for (const jobs::FleetPort &p : ports) {
        auto proc = std::make_unique<QProcess>();
        proc->setProcessEnvironment(env);
        proc->start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--port"), p.port} + childArgs);
        children.emplace_back(p.port, std::move(proc));
    }
    QHash<QString, QJsonObject> results;
    for (auto &[port, proc] : children) {
        // Bounded: a child's own waits are all bounded, this is a last guard.
        if (!proc->waitForFinished(300000)) {
            proc->kill();
            proc->waitForFinished();
        }
        relayMessages(port, QString::fromUtf8(proc->readAllStandardError()));
        // The child's one-port body prints an array of one object.
        const QJsonArray got = QJsonDocument::fromJson(proc->readAllStandardOutput()).array();
        results.insert(port, got.isEmpty() ? QJsonObject() : got.first().toObject());
    }
    return results;
}

int noPorts(const FleetArgs &a, const QString &what)
{
    if (a.exit == ExitOk)
        warn(QStringLiteral("no serial port found to %1").arg(what));
    return a.exit == ExitOk ? ExitDevice : a.exit;
}

QString portLabel(const jobs::PortResult &r)
{
    return r.name.isEmpty() ? r.port : QStringLiteral("%1 (%2)").arg(r.port, r.name);
}

bool missingNamed(const FleetArgs &a, const jobs::PortResult &r)
{
    // A child's port is told by the first process, with its fleet name.
    const jobs::FleetPort *p = a.fleet.find(r.port);
    if (!p || !p->named || !p->sameAs.isEmpty() || r.type != QLatin1String("none")
        || qEnvironmentVariableIsSet(kChildVariable))
        return false;
    // A port given whose problem was told has its line; a fleet file's is
    // named by the file, which that line does not say.
    if (p->line == 0 && !r.portProblem.isEmpty())
        return true;
    warn(QStringLiteral("%1: no converter answered").arg(portLabel(r)));
    return true;
}

bool swapped(const jobs::PortResult &r, bool tell)
{
    if (r.serialMismatch && tell)
        warn(QStringLiteral("%1: serial number %2, the fleet file expects %3")
                 .arg(portLabel(r), r.serial.value_or(QString()), r.expectedSerial));
    return r.serialMismatch;
}

} // namespace qel::cli
