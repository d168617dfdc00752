#pragma once
// What the benchmark programs share: the simulator on a pseudo-terminal (one
// or a fleet), runs of qelctl, the device side wired over real serial ports
// for a program without windows, a port that watches another, the CPU clock,
// the load average, the median.

#include "platform/Dialogs.h"
#include "platform/ForwardingPort.h"
#include "platform/MessageBoxes.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "wiring/Wiring.h"

#include <QProcess>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace qel::bench {

// CPU time (user + system) in milliseconds of this process, or of its
// finished children.
double cpuMs(bool children = false);

template <typename T>
T median(std::vector<T> v, T none)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? none : v[v.size() / 2];
}

// A benchmark's command line, an argument at a time: flags (--NAME) and
// options with a value (--NAME VALUE; a number as QString::toInt or
// toDouble reads it).
class Options {
public:
    explicit Options(const QStringList &args) : args_(args) {}
    // On to the next argument; false after the last.
    bool next() { return ++i_ < args_.size(); }
    bool is(const char *name) const { return args_[i_] == QLatin1String(name); }
    // At option `name` with a value after it: takes the value.
    template <typename T>
    bool take(const char *name, T &value)
    {
        if (!is(name) || i_ + 1 >= args_.size())
            return false;
        value = QVariant(args_[++i_]).value<T>();
        return true;
    }
    // At an argument no option took: `text` on stderr, and the exit code
    // (0 for --help, else 2).
    int usage(const char *text) const
    {
        std::fputs(text, stderr);
        return is("--help") ? 0 : 2;
    }

private:
    QStringList args_;
    int i_ = 0;
};

// The load average of the last minute, -1 when unknown.
double loadAverage();

// The simulator to start: $QEL_SIM, else the one built with the benchmarks.
QString simProgram();
// The qelctl built beside the benchmarks.
QString qelctlProgram();

void stopSim(QProcess &proc);

// A simulator on a pseudo-terminal, stopped with the object; a fleet's
// member knows its type and serial number.
struct Sim {
    QProcess proc;
    QString path, type, serial;
    ~Sim() { stopSim(proc); }
    // Starts `program ARGS...` and reads the device path from its first line.
    bool start(const QString &program, const QStringList &args);
};

// As Sim::start, and says on stderr, in the benchmark's name, when it did not.
bool startSim(Sim &sim, const QString &program, const QStringList &args);
// A fleet of n simulators: two 5600, a 521 and a 527 in turn, each with a
// serial number of its own (a 5600's 20000 and up, a 52X's below).
bool startFleet(std::vector<std::unique_ptr<Sim>> &fleet, const QString &program, int n);

// One run of qelctl: wall time (-1 when it hung for 10 minutes), exit code,
// what it printed, the CPU time of it and its children; when sampled, the
// memory of all qelctl processes at once at its peak.
struct Timed {
    qint64 ms = -1;
    int exit = -1;
    QByteArray out, err;
    double cpuMs = 0;
    double peakRssMb = 0; // of all qelctl processes at once
    double peakPssMb = 0; // the same, shared pages divided among them
    int peakProcesses = 0;
};

// `qelctl` may be the Windows build's qelctl.exe, which runs under wine.
// The device history of the runs goes to a folder of the benchmark's own
// unless `dataHome` names another; `sample` samples the memory of every
// qelctl process each 25 ms while the run lasts.
Timed runQelctl(const QString &qelctl, const QStringList &args, const QString &dataHome = {},
                bool sample = false);

// Boxes go to stderr on one line; an Abort/Retry/Ignore box answers Abort.
class BenchBoxes : public MessageBoxes {
public:
    MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    int count = 0;
};

using qel::ForwardingPort;

// The device side on `clock`, its port 1 the serial line at `path`; every
// port it makes is passed through `wrap` (a measuring port around it).
class Rig : public SerialPortFactory {
public:
    using Wrap = std::function<std::unique_ptr<SerialPort>(std::unique_ptr<SerialPort>)>;
    Rig(Clock &clock, const QString &path, Wrap wrap);
    std::unique_ptr<SerialPort> create() override { return wrap_(qtPorts_.create()); }

private:
    MemorySettingsStore store_;
    PortMap map_;
    QtSerialPortFactory qtPorts_;
    Wrap wrap_;

public:
    BenchBoxes boxes;
    NoDialogs dialogs;
    std::unique_ptr<Wiring> wiring;
};

} // namespace qel::bench
