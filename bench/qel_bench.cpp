// qel-bench: times full settings reads and writes through the real serial
// code (QSerialPort, QTimer ticks) against qel-sim on a pseudo-terminal.
//
// Every command goes out after a mandated 20 ms pause, so a transfer of n
// commands cannot take less than n x 20 ms: that is the floor each figure is
// compared with. A pseudo-terminal passes bytes at once whatever the baud
// rate, so for the 1200-baud generation the time a real line would add
// (10 bit times per character, both ways) is printed beside the figure.
//
//   qel-bench [--sim PATH] [--runs N] [--only 5600|52x] [--trace]
//
// On a machine shared with other work, `chrt -f 10 qel-bench` keeps their
// load out of the timer ticks (qel-sim inherits the policy).
#include "BenchSupport.h"
#include "comm/RsReadWrite.h"
#include "core/Context.h"
#include "editor/SettingsCommands.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "typechange/TypeChange.h"
#include "wiring/Wiring.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#ifndef QEL_SIM_DEFAULT
#define QEL_SIM_DEFAULT "qel-sim"
#endif

using namespace qel;

namespace {

struct Counters {
    int sends = 0;
    qint64 bytesOut = 0;
    qint64 bytesIn = 0;
    double replyMs = 0;     // from each write to the chunk that ends its reply
    double openCloseMs = 0; // inside the serial layer's open() and close()
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
class CountingPort : public SerialPort {
public:
    CountingPort(std::unique_ptr<SerialPort> inner, Counters &c) : in_(std::move(inner)), c_(c) {}
    void setPortNumber(int n) override { in_->setPortNumber(n); }
    int portNumber() const override { return in_->portNumber(); }
    void setSettings(const QString &s) override { in_->setSettings(s); }
    QString settings() const override { return in_->settings(); }
    void setInputModeText() override { in_->setInputModeText(); }
    void setInputLength(int n) override { in_->setInputLength(n); }
    bool open() override
    {
        trace("open");
        const qint64 t0 = gClock.nsecsElapsed();
        const bool ok = in_->open();
        c_.openCloseMs += (gClock.nsecsElapsed() - t0) / 1e6;
        trace("opened");
        return ok;
    }
    void close() override
    {
        trace("close");
        const qint64 t0 = gClock.nsecsElapsed();
        in_->close();
        c_.openCloseMs += (gClock.nsecsElapsed() - t0) / 1e6;
        trace("closed");
    }
    bool isOpen() const override { return in_->isOpen(); }
    QString lastError() const override { return in_->lastError(); }
    bool setRts(bool on) override { return in_->setRts(on); }
    bool rts() const override { return in_->rts(); }
    int bytesWaiting() override { return in_->bytesWaiting(); }
    QByteArray readAllWaiting() override
    {
        const QByteArray b = in_->readAllWaiting();
        c_.bytesIn += b.size();
        trace("read", b);
        if (writtenAt_ >= 0 && b.endsWith('\r')) {
            c_.replyMs += (gClock.nsecsElapsed() - writtenAt_) / 1e6;
            writtenAt_ = -1;
        }
        return b;
    }
    void discardInput() override { in_->discardInput(); }
    bool write(const QByteArray &data) override
    {
        ++c_.sends;
        c_.bytesOut += data.size();
        trace("write", data);
        writtenAt_ = gClock.nsecsElapsed();
        return in_->write(data);
    }
    bool lineLost() const override { return in_->lineLost(); }

private:
    std::unique_ptr<SerialPort> in_;
    Counters &c_;
    qint64 writtenAt_ = -1;
};

// A clock whose timers show their starts and ticks in the --trace time line.
class TracingTimer : public Timer {
public:
    explicit TracingTimer(std::unique_ptr<Timer> in) : in_(std::move(in))
    {
        in_->onTimeout = [this] {
            trace("tick");
            if (onTimeout)
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

class CountingFactory : public SerialPortFactory {
public:
    explicit CountingFactory(const PortMap *map) : inner_(map) {}
    std::unique_ptr<SerialPort> create() override
    {
        return std::make_unique<CountingPort>(inner_.create(), counters);
    }
    Counters counters;

private:
    QtSerialPortFactory inner_;
};

// Any message during a timed transfer means the figure is void.
double cpuSeconds()
{
    return bench::cpuMs() / 1000.0;
}

struct Figure {
    double wallMs = 0;
    double cpuMs = 0;
    Counters c;
    bool ok = false;
    double floorMs() const { return c.sends * 20.0; }
    double ratio() const { return wallMs / floorMs(); }
    double cpuShare() const { return cpuMs / wallMs; }
    // What is left once the floor, the device's reply time and the serial
    // layer's open/close are taken out: the program's own overhead.
    double ownMs() const { return wallMs - floorMs() - c.replyMs - c.openCloseMs; }
    double ownRatio() const { return (wallMs - c.replyMs - c.openCloseMs) / floorMs(); }
};

void printFigure(const char *what, const Figure &f, int lineBaud)
{
    std::printf("  %-10s %-4s cmds %3d  wall %8.1f ms  floor %6.0f ms  ratio %.3f  "
                "cpu %6.1f ms (%4.1f %%)",
                what, f.ok ? "ok" : "FAIL", f.c.sends, f.wallMs, f.floorMs(), f.ratio(), f.cpuMs,
                100.0 * f.cpuShare());
    std::printf("\n  %-15s = floor + replies %.1f + open/close %.1f + own %.1f ms (own ratio %.3f)",
                "", f.c.replyMs, f.c.openCloseMs, f.ownMs(), f.ownRatio());
    if (lineBaud > 0) {
        const qint64 chars = f.c.bytesOut + f.c.bytesIn;
        std::printf("  [pty: no line time; at %d baud +%.0f ms for %lld chars]", lineBaud,
                    chars * 10.0 * 1000.0 / lineBaud, static_cast<long long>(chars));
    }
    std::printf("\n");
}

void printSummary(const char *what, const std::vector<Figure> &runs)
{
    if (runs.empty())
        return;
    std::vector<double> ratios, own, shares;
    for (const Figure &f : runs) {
        ratios.push_back(f.ratio());
        own.push_back(f.ownRatio());
        shares.push_back(f.cpuShare());
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(own.begin(), own.end());
    std::sort(shares.begin(), shares.end());
    std::printf("  %-10s median ratio %.3f (best %.3f, worst %.3f), without replies and "
                "open/close %.3f; median cpu %.1f %% (worst %.1f %%)   goal: ratio <= 1.10, "
                "cpu < 5 %%\n",
                what, ratios[ratios.size() / 2], ratios.front(), ratios.back(),
                own[own.size() / 2], 100.0 * shares[shares.size() / 2], 100.0 * shares.back());
}

struct Session {
    TracingClock clock;
    MemorySettingsStore store;
    PortMap portMap;
    std::unique_ptr<CountingFactory> ports;
    bench::BenchBoxes boxes;
    NoDialogs dialogs;
    std::unique_ptr<Wiring> wiring;
    Context *ctx = nullptr;
    RsReadWrite *engine = nullptr;
    TypeChange *typeChange = nullptr;
    std::unique_ptr<SettingsCommands> commands;

    explicit Session(const QString &path) : portMap(&store)
    {
        portMap.setOverride(path);
        ports = std::make_unique<CountingFactory>(&portMap);
        Platform p;
        p.clock = &clock;
        p.ports = ports.get();
        p.boxes = &boxes;
        p.dialogs = &dialogs;
        p.store = &store;
        p.terminate = [] {};
        wiring = std::make_unique<Wiring>(p);
        ctx = &wiring->ctx;
        engine = &wiring->engine;
        typeChange = &wiring->typeChange;
        ctx->state.CommPortNo = 1;
        commands = std::make_unique<SettingsCommands>(*ctx, *engine, *typeChange);
    }

    template <typename Fn>
    Figure measure(Fn fn)
    {
        Figure f;
        ports->counters = {};
        const int boxesBefore = boxes.count;
        QElapsedTimer t;
        const double cpu0 = cpuSeconds();
        t.start();
        const CommandOutcome o = fn();
        f.wallMs = t.nsecsElapsed() / 1e6;
        f.cpuMs = (cpuSeconds() - cpu0) * 1000.0;
        f.c = ports->counters;
        f.ok = o.transferred && o.result == CommResult::Ok && boxes.count == boxesBefore;
        return f;
    }
};

// Detects the simulated device, then times `runs` reads and writes.
// Returns false when something did not work.
bool benchGeneration(const QString &sim, const QString &type, int runs)
{
    QProcess proc;
    QString path;
    // The device answers at once: what is measured is the program against the
    // pauses the protocol mandates, not the simulator's own reply latency.
    if (!bench::startSim(proc, sim, {QStringLiteral("--type"), type, QStringLiteral("--latency"), QStringLiteral("0")}, path)) {
        std::fprintf(stderr, "qel-bench: could not start %s --type %s\n", qPrintable(sim),
                     qPrintable(type));
        bench::stopSim(proc);
        return false;
    }
    const bool is52x = type != QLatin1String("5600");
    const int lineBaud = is52x ? 1200 : 0;
    std::printf("%s on %s\n", is52x ? qPrintable(QStringLiteral("52X type ") + type) : "5600",
                qPrintable(path));

    Session s(path);
    const TypeCheckResult det = s.typeChange->TypeCheck();
    const int want = type == QLatin1String("5600") ? Type5600
                     : type == QLatin1String("521") ? Type521
                                                    : Type527;
    if (det.code != want) {
        std::fprintf(stderr, "qel-bench: detection found %d, expected %d\n", det.code, want);
        bench::stopSim(proc);
        return false;
    }

    std::vector<Figure> reads, writes;
    bool allOk = true;
    for (int i = 0; i < runs; ++i) {
        const Figure r = s.measure([&] { return s.commands->ReadingIn(); });
        printFigure("read", r, lineBaud);
        const Figure w = s.measure([&] { return s.commands->WritingOut(); });
        printFigure("write", w, lineBaud);
        allOk = allOk && r.ok && w.ok;
        reads.push_back(r);
        writes.push_back(w);
    }
    printSummary("read", reads);
    printSummary("write", writes);
    bench::stopSim(proc);
    return allOk;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    gClock.start();
    QString sim = qEnvironmentVariableIsSet("QEL_SIM") ? qEnvironmentVariable("QEL_SIM")
                                                       : QStringLiteral(QEL_SIM_DEFAULT);
    int runs = 5;
    QString only;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sim") && i + 1 < args.size()) {
            sim = args[++i];
        } else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--trace")) {
            gTrace = true;
        } else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            only = args[++i].toLower();
        } else {
            std::fputs("usage: qel-bench [--sim PATH] [--runs N] [--only 5600|52x] [--trace]\n", stderr);
            return args[i] == QLatin1String("--help") ? 0 : 2;
        }
    }

    bool ok = true;
    if (only.isEmpty() || only == QLatin1String("5600"))
        ok = benchGeneration(sim, QStringLiteral("5600"), runs) && ok;
    if (only.isEmpty() || only == QLatin1String("52x")) {
        ok = benchGeneration(sim, QStringLiteral("521"), runs) && ok;
        ok = benchGeneration(sim, QStringLiteral("527"), runs) && ok;
    }
    return ok ? 0 : 1;
}
