#pragma once
// The commands for many converters (scan, backup, check): which ports they
// work on (--port P, --fleet FILE, else every port found: jobs/Fleet.h) and
// how (one child qelctl a port, all at once; each child prints its result
// as JSON, read back into the job's result type).

#include "Cli.h"

#include "jobs/Fleet.h"

#include <functional>

namespace qel::cli {

struct FleetArgs {
    jobs::Fleet fleet;
    QStringList rest;  // the command's positional arguments
    bool json = false;
    bool ok = true;    // false: a usage error (the command says which)
    int exit = ExitOk; // ExitFile: the fleet file was unreadable or had bad lines
};

// --port P, --fleet FILE and --json, the options of scan, backup and check.
QList<QCommandLineOption> fleetOptions();

// Parses the command's --port (repeatable; the one before the command
// counts), --fleet FILE (repeatable) and --json. A fleet file that cannot be
// read ends the command (exit set, no ports); a bad line is reported as
// "qelctl: FILE:LINE: why" and skipped, the rest of the file still counts.
// Without --port and --fleet: every serial port the system lists and the
// stored device paths of COM1..COM4.
FleetArgs fleetArgs(Env &env);

// Every child's JSON object by its port: `qelctl --port P CHILDARGS...`
// each, all at once; a child that gave none has an empty one. The
// children's stderr is passed on: the tool's lines naming the port, the
// program's messages under a line that names it.
QHash<QString, QJsonObject> runChildren(const QList<jobs::FleetPort> &ports, const QStringList &childArgs);

// Points the session at one port (as --port does).
void usePort(Env &env, const QString &port);

// The result of every port, in the order given. One port is worked in this
// process by `one`; several by a child each (runChildren), whose JSON is
// read into R; a child that gave nothing has `silent`. A second name of one
// device is not worked again: it gets the first name's result with its own
// `port` and `sameAs` the first, and a line on stderr says so. Each result
// then carries the fleet file's name and expected serial number for its
// port, and serialMismatch when the converter there has another one.
template <class R>
QList<R> forEachPort(Env &env, const FleetArgs &a, const QStringList &childArgs, const R &silent,
                     const std::function<R(jobs::Session &)> &one)
{
    const QList<jobs::FleetPort> work = a.fleet.toWork();
    QHash<QString, R> byPort;
    if (work.size() == 1) {
        usePort(env, work.first().port);
        jobs::Session s = env.session();
        byPort.insert(work.first().port, one(s));
    } else {
        const QHash<QString, QJsonObject> got = runChildren(work, childArgs);
        for (const jobs::FleetPort &p : work) {
            R r = silent;
            if (!got.value(p.port).isEmpty())
                jobs::fromJson(got.value(p.port), r);
            r.port = p.port;
            byPort.insert(p.port, r);
        }
    }
    QList<R> all;
    for (const jobs::FleetPort &p : a.fleet.ports) {
        R r = byPort.value(p.sameAs.isEmpty() ? p.port : p.sameAs);
        if (!p.sameAs.isEmpty()) {
            warn(QStringLiteral("%1: the same device as %2 (worked once)").arg(p.port, p.sameAs));
            r.port = p.port;
            r.sameAs = p.sameAs;
        }
        a.fleet.apply(r);
        all << r;
    }
    return all;
}

template <class R>
QJsonArray toJson(const QList<R> &all)
{
    QJsonArray out;
    for (const R &r : all)
        out << jobs::toJson(r);
    return out;
}

// No port to work on: the exit code of the fleet file's problem, else of
// none found ("no serial port found to WHAT").
int noPorts(const FleetArgs &a, const QString &what);

// "PORT" or "PORT (NAME)", for messages.
QString portLabel(const jobs::PortResult &r);
// A port given by name (--port, a fleet file) where nothing answered: said
// on stderr ("PORT: no converter answered", unless it is a --port whose
// port problem was told); true when so.
bool missingNamed(const FleetArgs &a, const jobs::PortResult &r);
// A converter with another serial number than the fleet file expects, said
// on stderr unless `tell` is false; true when so.
bool swapped(const jobs::PortResult &r, bool tell);
// The exit code at the end: `code`, raised to the fleet file's problem, and
// to 1 for a swapped converter.
template <class R>
int fleetExit(const FleetArgs &a, const QList<R> &all, int code, bool tell = true)
{
    for (const R &r : all)
        if (swapped(r, tell) && code == ExitOk)
            code = ExitDevice;
    return a.exit == ExitFile ? ExitFile : code;
}

} // namespace qel::cli
