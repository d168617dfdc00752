#pragma once
// The commands for many converters (scan, backup, check): which ports they
// work on (--port P, --fleet FILE, else every port found) and how (one child
// qelctl a port, all at once; each child prints its result as JSON).

#include "Cli.h"

#include <QJsonArray>
#include <QJsonObject>
#include <functional>

namespace qel::cli {

// A port to work on and what the fleet file says of it.
struct FleetPort {
    QString port;
    QString name;   // empty when none is given
    QString serial; // the serial number expected there; empty when none
    int line = 0;   // its line in the fleet file; 0 for a port not from one
    // Another name (a link, its target) of a device an earlier port names:
    // that port; the device is worked once, under that name.
    QString sameAs;
};

struct FleetArgs {
    QList<FleetPort> ports;
    QStringList rest;      // the command's positional arguments
    bool json = false;
    bool fleet = false;    // --fleet given: its names are shown
    bool ok = true;        // false: a usage error (the command says which)
    int exit = ExitOk;     // ExitFile: the fleet file was unreadable or had bad lines
};

// The entry of `port`; null when there is none.
const FleetPort *fleetPort(const FleetArgs &a, const QString &port);

// --port P, --fleet FILE and --json, the options of scan, backup and check.
QList<QCommandLineOption> fleetOptions();

// Parses the command's --port (repeatable; the one before the command
// counts), --fleet FILE (repeatable) and --json. A fleet file that cannot be
// read ends the command (exit set, no ports); a bad line is reported as
// "qelctl: FILE:LINE: why" and skipped, the rest of the file still counts.
// Without --port and --fleet: every serial port the system lists and the
// stored device paths of COM1..COM4.
FleetArgs fleetArgs(Env &env);

// The result of every port, in the order given. One port is worked in this
// process by `one` (the session pointed at it); several by a child
// `qelctl --port P CHILDARGS...` each, all at once, whose JSON arrays are
// joined; a port whose child gave none has `silent` with its port (the
// children's stderr is passed on: the tool's lines naming the port, the
// program's messages under a line that names it). A second name of one
// device is not worked again: it gets the first name's result with its own
// `port` and `sameAs` the first, and a line on stderr says so. Each object
// then carries the fleet file's `name` and `expectedSerial` for its port,
// and `serialMismatch` when the converter there has another serial number.
QJsonArray forEachPort(Env &env, const FleetArgs &a, const QStringList &childArgs,
                       QJsonObject silent, const std::function<QJsonObject(const QString &)> &one);

// No port to work on: the exit code of the fleet file's problem, else of
// none found ("no serial port found to WHAT").
int noPorts(const FleetArgs &a, const QString &what);

// Type detection on the session's port, once it is held (claimPort):
// {"port": PORT, "type": TYPE} of the converter found ("none" when nothing
// answered), what answered in `found`; a port that did not open has "none"
// and `portProblem`, the line claimPort printed.
QJsonObject detectOn(Env &env, const QString &port, TypeCheckResult &found);

// "PORT" or "PORT (NAME)", for messages.
QString portLabel(const QJsonObject &o);
// The exit code at the end: `code`, raised to the fleet file's problem, and
// to 1 for a converter with another serial number than the fleet file
// expects (said on stderr here unless `tell` is false).
int fleetExit(const FleetArgs &a, const QJsonArray &all, int code, bool tell = true);

// A field of the record without its padding blanks.
QString field(const ParameterRecord &rec, int n);

} // namespace qel::cli
