#pragma once
// What stands between a device path and an open serial line, told so that a
// technician can act on it, and the lock that keeps a second program off a
// line this one uses, whatever path (a by-id link, a symlink) it came by.

#include <QString>

namespace qel {

struct PortProblem {
    enum Cause { None, Missing, Permission, Busy, NotSerial, Other, Lost };
    Cause cause = None;
    QString path;     // as the user gave it
    // Permission: the node's group when that group may read and write it
    // (and is not root's), else empty; its owner and mode.
    QString group;
    QString owner;
    uint mode = 0;
    qint64 pid = 0;   // Busy: the process holding it, when known
    QString lockFile; // Busy: the lock file of a holder that is not known
    QString detail;   // Other: the system's own text; Lost: what the port said

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
//
// Other programs lock a line with a UUCP lock file (LCK..ttyUSB0 in
// /var/lock, /run/lock: their process id in ASCII). A lock whose process
// lives refuses the hold and is never touched; one whose process is gone is
// stale and removed (QSerialPort then writes its own); an empty or
// unreadable one refuses the hold with its holder unknown. This is decided
// here, before QSerialPort's own lock file handling, which takes a lock file
// without a program name in it for stale even while its process lives.
//
// On Windows a COM port is the system's to share out: the hold opens it
// (COMn, \\.\COMn), and another program's open of it refuses the hold as busy.
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
#ifdef _WIN32
    // The open port itself: a port opens only once on Windows, so the hold
    // is the port's handle (PortAccess_windows.cpp), which the line uses.
    void *handle() const;
#endif

private:
    QString device_;
};

// Another process holding the device: one with a flock on it, else the
// one a lock file names (LCK..NAME in the usual lock folders) while it
// lives; 0 when none is known. This process never counts.
qint64 devicePortHolder(const QString &resolvedPath);

// Where a udev rule that gives serial ports to the group dialout is shown
// (installed with the package).
inline constexpr char kUdevRuleExample[] = "/usr/share/doc/qelctl/examples/70-qel-settings-serial.rules";

} // namespace qel
