// qel-bench: times full settings reads and writes through the real serial
// code (QSerialPort, QTimer ticks) against qel-sim on a pseudo-terminal.
//
// Every command goes out after a mandated 20 ms pause, and every character
// takes 10 bit times on the line (9600 baud for a 5600, 1200 for a 52X). The
// physical floor of a transfer is the sum of both: no program on any line can
// be faster. Each generation is timed twice:
//  - paced: qel-sim --pace sends at the line's real pace; the figure is the
//    ratio to the physical floor (what a technician waits for);
//  - instant: the simulator answers at once, the pty passes bytes at once; the
//    figure is the ratio to the pauses alone (the program's own overhead).
//
//   qel-bench [--sim PATH] [--runs N] [--only 5600|52x] [--trace]
//
// On a machine shared with other work, `chrt -f 10 qel-bench` keeps their
// load out of the timer ticks (qel-sim inherits the policy).
#include "BenchSupport.h"
#include "editor/SettingsCommands.h"
#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace qel;

namespace {

struct Counters {
    int sends = 0;
    qint64 bytesOut = 0;
    qint64 bytesIn = 0;
};

// --trace: a time line of every port operation (ms since the start).
bool gTrace = false;
QElapsedTimer gClock;
void trace(const char *what, const QByteArray &data = {})
{
    if (gTrace)
        std::fprintf(stderr, "    %9.3f %s %s\n", gClock.nsecsElapsed() / 1e6, what,
                     QByteArray(data).replace('\r', "\\r").constData());
}

// A port that counts what passes through it.
class CountingPort : public bench::ForwardingPort {
public:
    CountingPort(std::unique_ptr<SerialPort> inner, Counters &c) : ForwardingPort(std::move(inner)), c_(c) {}
    bool open() override
    {
        trace("open");
        const bool ok = in_->open();
        trace("opened");
        return ok;
    }
    void close() override
    {
        trace("close");
        in_->close();
        trace("closed");
    }
    QByteArray readAllWaiting() override
    {
        const QByteArray b = in_->readAllWaiting();
        c_.bytesIn += b.size();
        trace("read", b);
        return b;
    }
    bool write(const QByteArray &data) override
    {
        ++c_.sends;
        c_.bytesOut += data.size();
        trace("write", data);
        return in_->write(data);
    }

private:
    Counters &c_;
};

// A clock whose timers show their starts and ticks in the --trace time line.
class TracingTimer : public Timer {
public:
    explicit TracingTimer(std::unique_ptr<Timer> in) : in_(std::move(in))
    {
        in_->onTimeout = [this] {
            trace("tick");
            onTimeout();
        };
    }
    void start(int ms) override
    {
        trace("timer start");
        in_->start(ms);
    }
    void stop() override { in_->stop(); }
    bool isActive() const override { return in_->isActive(); }

private:
    std::unique_ptr<Timer> in_;
};

class TracingClock : public QtClock {
public:
    std::unique_ptr<Timer> createTimer() override
    {
        auto t = QtClock::createTimer();
        return gTrace ? std::make_unique<TracingTimer>(std::move(t)) : std::move(t);
    }
};

struct Figure {
    double wallMs = 0;
    double cpuMs = 0;
    Counters c;
    bool ok = false;
    int wireBaud = 0; // paced line: the wire time is part of the floor
    double pausesMs() const { return c.sends * 20.0; }
    double wireMs() const
    {
        return wireBaud > 0 ? (c.bytesOut + c.bytesIn) * 10.0 * 1000.0 / wireBaud : 0.0;
    }
    double floorMs() const { return pausesMs() + wireMs(); }
    double ratio() const { return wallMs / floorMs(); }
    double cpuShare() const { return cpuMs / wallMs; }
};

void printFigure(const char *what, const Figure &f)
{
    std::printf("  %-6s %-4s cmds %3d  chars %4lld  wall %8.1f ms  floor %7.1f ms (pauses %.0f + "
                "wire %.1f)  ratio %.3f  cpu %5.1f ms (%4.1f %%)\n",
                what, f.ok ? "ok" : "FAIL", f.c.sends,
                static_cast<long long>(f.c.bytesOut + f.c.bytesIn), f.wallMs, f.floorMs(),
                f.pausesMs(), f.wireMs(), f.ratio(), f.cpuMs, 100.0 * f.cpuShare());
}

struct Summary {
    double paced = 0;   // median ratio to the physical floor, paced line
    double instant = 0; // median ratio to the pauses, instant line
    double cpu = 0;     // median CPU share, paced line
};

struct Session {
    TracingClock clock;
    Counters counters;
    bench::Rig rig;
    SettingsCommands commands;

    explicit Session(const QString &path)
        : rig(clock, path,
              [this](std::unique_ptr<SerialPort> in) {
                  return std::make_unique<CountingPort>(std::move(in), counters);
              }),
          commands(rig.wiring->ctx, rig.wiring->engine, rig.wiring->typeChange)
    {
    }

    // Times fn on a line of `baud` (0: instant) and prints the figure.
    template <typename Fn>
    Figure measure(const char *what, int baud, Fn fn)
    {
        Figure f;
        f.wireBaud = baud;
        counters = {};
        const int boxesBefore = rig.boxes.count;
        QElapsedTimer t;
        const double cpu0 = bench::cpuMs();
        t.start();
        const CommandOutcome o = fn();
        f.wallMs = t.nsecsElapsed() / 1e6;
        f.cpuMs = bench::cpuMs() - cpu0;
        f.c = counters;
        f.ok = o.transferred && o.result == CommResult::Ok && rig.boxes.count == boxesBefore;
        printFigure(what, f);
        return f;
    }
};

// Detects the simulated device, then times `runs` reads and writes. Fills
// the median ratios; returns false when something did not work.
bool benchLine(const QString &sim, const QString &type, int runs, bool paced,
               std::vector<Figure> &reads, std::vector<Figure> &writes)
{
    // No reply latency of the simulator's own: what is measured is the
    // program against the line, not the simulated device's thinking time.
    QStringList args{QStringLiteral("--type"), type, QStringLiteral("--latency"), QStringLiteral("0")};
    if (paced)
        args << QStringLiteral("--pace");
    bench::Sim simulator;
    if (!simulator.start(sim, args)) {
        std::fprintf(stderr, "qel-bench: could not start %s --type %s\n", qPrintable(sim),
                     qPrintable(type));
        return false;
    }
    const bool is52x = type != QLatin1String("5600");
    std::printf("%s, %s line, on %s\n",
                is52x ? qPrintable(QStringLiteral("52X type ") + type) : "5600",
                paced ? "paced" : "instant", qPrintable(simulator.path));

    Session s(simulator.path);
    const TypeCheckResult det = s.rig.wiring->typeChange.TypeCheck();
    const int want = deviceTypeNamed(type) ? deviceTypeNamed(type)->code : Type527;
    if (det.code != want) {
        std::fprintf(stderr, "qel-bench: detection found %d, expected %d\n", det.code, want);
        return false;
    }

    const int baud = paced ? (is52x ? 1200 : 9600) : 0;
    bool allOk = true;
    for (int i = 0; i < runs; ++i) {
        reads.push_back(s.measure("read", baud, [&] { return s.commands.ReadingIn(); }));
        writes.push_back(s.measure("write", baud, [&] { return s.commands.WritingOut(); }));
        allOk = allOk && reads.back().ok && writes.back().ok;
    }
    return allOk;
}

bool benchGeneration(const QString &sim, const QString &type, int runs,
                     Summary &read, Summary &write)
{
    std::vector<Figure> pr, pw, ir, iw;
    bool ok = benchLine(sim, type, runs, true, pr, pw);
    ok = benchLine(sim, type, runs, false, ir, iw) && ok;
    auto median = [](const std::vector<Figure> &v, double (Figure::*of)() const) {
        std::vector<double> r;
        for (const Figure &f : v)
            r.push_back((f.*of)());
        return bench::median(r, 0.0);
    };
    read = {median(pr, &Figure::ratio), median(ir, &Figure::ratio), median(pr, &Figure::cpuShare)};
    write = {median(pw, &Figure::ratio), median(iw, &Figure::ratio), median(pw, &Figure::cpuShare)};
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    gClock.start();
    QString sim = bench::simProgram();
    int runs = 5;
    QString only;
    for (bench::Options o(app.arguments()); o.next();) {
        if (o.is("--trace"))
            gTrace = true;
        else if (!o.take("--sim", sim) && !o.take("--runs", runs) && !o.take("--only", only))
            return o.usage("usage: qel-bench [--sim PATH] [--runs N] [--only 5600|52x] [--trace]\n");
    }
    runs = std::max(1, runs);
    only = only.toLower();

    struct Row {
        QString type;
        Summary read, write;
    };
    std::vector<Row> rows;
    bool ok = true;
    QStringList types;
    if (only.isEmpty() || only == QLatin1String("5600"))
        types << QStringLiteral("5600");
    if (only.isEmpty() || only == QLatin1String("52x"))
        types << QStringLiteral("521") << QStringLiteral("527");
    for (const QString &t : types) {
        Row row{t, {}, {}};
        ok = benchGeneration(sim, t, runs, row.read, row.write) && ok;
        rows.push_back(row);
    }

    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("\nmedian of %d runs (load average %.2f %.2f %.2f)\n", runs, load[0], load[1],
                load[2]);
    std::printf("  %-5s %-5s  %-28s  %-26s  %s\n", "type", "", "paced: ratio to physical floor",
                "instant: ratio to pauses", "cpu (paced)");
    for (const Row &r : rows) {
        const double goal = r.type == QLatin1String("5600") ? 1.03 : 1.02;
        for (int i = 0; i < 2; ++i) {
            const Summary &m = i == 0 ? r.read : r.write;
            std::printf("  %-5s %-5s  %.3f (goal <= %.2f) %-8s  %.3f %17s  %.1f %%\n",
                        qPrintable(r.type), i == 0 ? "read" : "write", m.paced, goal,
                        m.paced <= goal ? "met" : "MISSED", m.instant, "", 100.0 * m.cpu);
        }
    }
    return ok ? 0 : 1;
}
