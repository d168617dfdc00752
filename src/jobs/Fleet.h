#pragma once
// The converters a command for many works on (scan, backup, check): the
// lines of fleet files, the ports given, else every port this machine
// offers; each device once, however many names lead to it.
//
// A fleet file names one port a line: a device path (a /dev/serial/by-id
// link is best) or rfc2217://HOST:PORT, then optionally a name for the
// messages (- for none) and the serial number expected there. A "#" that
// begins a word starts a comment; blank lines are skipped.

#include "Jobs.h"

#include "platform/SettingsStore.h"

#include <QHash>
#include <functional>

namespace qel::jobs {

struct FleetPort {
    QString port;
    QString name;       // empty when none is given
    QString serial;     // the serial number expected there; empty when none
    int line = 0;       // its line in the fleet file; 0 for a port not from one
    bool named = false; // from a fleet file or given: a converter is expected there
    // Another name (a link, its target) of a device an earlier port names:
    // that port; the device is worked once, under that name.
    QString sameAs;
};

class Fleet {
public:
    QList<FleetPort> ports;
    bool fromFile = false; // a fleet file was read: its names are shown
    bool badLines = false; // a fleet file had lines that are no port entry

    // Adds the lines of the fleet file `path`, each problem told through
    // `tell` ("FILE:LINE: why"); false (told as "FILE: why") when it cannot
    // be read at all.
    bool readFile(const QString &path, const std::function<void(const QString &)> &tell);
    // Adds ports given (`named`) or found; a second name of a device already
    // listed is listed with `sameAs` (the same name twice counts once).
    void add(const QStringList &given, bool named);

    // The entry of `port`; null when there is none.
    const FleetPort *find(const QString &port) const;
    // The ports to work on: each device once.
    QList<FleetPort> toWork() const;
    // The fleet file's name and expected serial number for `r`'s port, and
    // serialMismatch where the converter there has another serial number.
    void apply(PortResult &r) const;

private:
    QHash<QString, int> seen_; // device -> its line in the fleet file (0: not from one)
};

// Every serial port the system lists (by its by-id link where it has one,
// the name a technician stores), then the stored device paths of COM1..COM4
// (network ports among them).
QStringList portsFound(SettingsStore &store);

} // namespace qel::jobs
