#pragma once
// What stands between a device path and an open serial line, told so that a
// technician can act on it, and the lock that keeps a second program off a
// line this one uses, whatever path (a by-id link, a symlink) it came by.

#include <QString>

namespace qel {

struct PortProblem {
    enum Cause { None, Missing, Permission, Busy, NotSerial, Other, Lost };
    Cause cause = None;
    QString path;   // as the user gave it
    QString group;  // Permission: the group that owns the device node
    qint64 pid = 0; // Busy: the process holding it, when known
    QString detail; // Other: the system's own text; Lost: what the port said

    bool ok() const { return cause == None; }
    // "PATH: cause", in English (the command-line tool) ...
    QString text() const;
    // ... and in Japanese (the line under the program's message box).
    QString textJa() const;
};

// An exclusive hold on the device a path names: the path is checked (exists,
// a character device, a terminal, openable), then the device itself is
// locked with flock() on a descriptor of its own, so that a second opener
// through another path to the same device is refused. Holds of one process
// on one device nest: the program's own ports, opened one after the other,
// and a tool that holds the device for a whole command do not lock each
// other out.
class DeviceHold {
public:
    DeviceHold() = default;
    ~DeviceHold() { release(); }
    DeviceHold(const DeviceHold &) = delete;
    DeviceHold &operator=(const DeviceHold &) = delete;

    // Takes the hold (releasing any earlier one); the problem when refused.
    PortProblem acquire(const QString &path);
    void release();
    // The resolved device path (symlinks followed); empty when not held.
    QString device() const { return device_; }

private:
    QString device_;
};

// The process named by a lock file for the device (LCK..NAME in the usual
// lock folders) or holding a flock on it; 0 when none is known.
qint64 devicePortHolder(const QString &resolvedPath);

} // namespace qel
