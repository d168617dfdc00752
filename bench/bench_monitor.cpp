// qel-bench-monitor: how fast the measurement monitor polls through the real
// serial code (QSerialPort, QTimer) against qel-sim on a pseudo-terminal, and
// what it costs in CPU.
//
// One poll cannot be shorter than the 100 ms poll timer + the 20 ms pause
// before "Q" + the device's reply: that is the floor. The figure is the
// measured rate against the floor's rate, and the CPU time of this process
// as a share of the wall time. Each type is measured twice: plain, and
// while recording every reading into a CSV file; recording must not slow
// the poll (rate with / rate without >= 0.98).
//
//   qel-bench-monitor [--sim PATH] [--seconds S] [--only 5600|527]
#include "BenchSupport.h"
#include "core/Context.h"
#include "monitor/MonitorEngine.h"
#include "monitor/MonitorRecorder.h"
#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

using namespace qel;

namespace {

QElapsedTimer gClock;

double nowMs()
{
    return gClock.nsecsElapsed() / 1e6;
}

struct ReplyTimes {
    double sentAt = -1;
    std::vector<double> ms;
};

class TimingPort : public bench::ForwardingPort {
public:
    TimingPort(std::unique_ptr<SerialPort> inner, ReplyTimes &t) : ForwardingPort(std::move(inner)), t_(t) {}
    QByteArray readAllWaiting() override
    {
        QByteArray b = in_->readAllWaiting();
        if (t_.sentAt >= 0 && b.endsWith('\r')) {
            t_.ms.push_back(nowMs() - t_.sentAt);
            t_.sentAt = -1;
        }
        return b;
    }
    bool write(const QByteArray &data) override
    {
        t_.sentAt = data == "Q" ? nowMs() : -1;
        return in_->write(data);
    }

private:
    ReplyTimes &t_;
};

// Time and CPU stamped at every reading.
class StampView : public MonitorView {
public:
    void readingShown(double) override
    {
        at.push_back(nowMs());
        cpu.push_back(bench::cpuMs());
    }
    void closeWindow() override { closed = true; }
    std::vector<double> at, cpu;
    bool closed = false;
};

struct RunResult {
    double rate = 0; // polls/s, 0 when the monitor did not poll
    bool goals = false;
};

RunResult benchType(const QString &sim, const QString &type, double seconds, bool record)
{
    bench::Sim simulator;
    if (!simulator.start(sim, {QStringLiteral("--type"), type, QStringLiteral("--counts"), QStringLiteral("4000,0,2400")})) {
        std::fprintf(stderr, "qel-bench-monitor: could not start %s\n", qPrintable(sim));
        return {};
    }

    QtClock clock;
    ReplyTimes replies;
    bench::Rig rig(clock, simulator.path, [&replies](std::unique_ptr<SerialPort> in) {
        return std::make_unique<TimingPort>(std::move(in), replies);
    });
    Context &ctx = rig.wiring->ctx;

    const TypeCheckResult det = rig.wiring->typeChange.TypeCheck();
    if (!det.generation) {
        std::fprintf(stderr, "qel-bench-monitor: no device on %s\n", qPrintable(simulator.path));
        return {};
    }

    QTemporaryDir dir;
    MonitorRecorder recorder(clock);
    const QString csv = dir.filePath(QStringLiteral("bench.csv"));
    if (record && !recorder.start(csv)) {
        std::fprintf(stderr, "qel-bench-monitor: cannot record: %s\n", qPrintable(recorder.error()));
        return {};
    }
    MonitorEngine monitor(ctx, rig.wiring->engine);
    monitor.onReading = [&](const MonitorDisplay &d) { recorder.record(d); };
    StampView view;
    monitor.setView(&view);
    monitor.Form_Load();
    // The set-up and the first reading are not part of the figure.
    while (view.at.empty() && !view.closed)
        ctx.yield();
    replies.ms.clear();
    const double start = view.at.empty() ? 0 : view.at.front();
    while (!view.closed && nowMs() - start < seconds * 1000.0)
        ctx.yield();
    monitor.Command1_Click();
    while (!view.closed)
        ctx.yield();
    monitor.setView(nullptr);
    const bool recorded = recorder.stop();
    const qint64 rows = recorder.rows();

    const size_t n = view.at.size();
    if (n < 3 || monitor.closedOnError() || rig.boxes.count) {
        std::fprintf(stderr, "qel-bench-monitor: the monitor did not poll (%zu readings)\n", n);
        return {};
    }
    if (record && (!recorded || rows != qint64(n))) {
        std::fprintf(stderr, "qel-bench-monitor: recorded %lld of %zu readings (%s)\n",
                     (long long)rows, n, qPrintable(recorder.error()));
        return {};
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < n; ++i)
        gaps.push_back(view.at[i] - view.at[i - 1]);
    const double wall = view.at.back() - view.at.front();
    const double cpu = view.cpu.back() - view.cpu.front();
    const double polls = double(n - 1);
    const double rate = polls / (wall / 1000.0);
    const double reply = replies.ms.empty()
        ? 0 : std::accumulate(replies.ms.begin(), replies.ms.end(), 0.0) / double(replies.ms.size());
    const double floorMs = 100.0 + 20.0 + reply;
    const double floorRate = 1000.0 / floorMs;

    std::printf("%s on %s%s\n", qPrintable(type), qPrintable(simulator.path),
                record ? ", recording every reading to CSV" : "");
    std::printf("  polls           %8.0f in %.2f s\n", polls, wall / 1000.0);
    std::printf("  poll interval   %8.2f ms median, %.2f min, %.2f max\n", bench::median(gaps, 0.0),
                *std::min_element(gaps.begin(), gaps.end()),
                *std::max_element(gaps.begin(), gaps.end()));
    std::printf("  reply to \"Q\"    %8.2f ms mean\n", reply);
    std::printf("  floor           %8.2f ms a poll = %.3f polls/s\n", floorMs, floorRate);
    std::printf("  measured        %8.3f polls/s = %.3f x the floor's rate (goal >= 0.95)\n",
                rate, rate / floorRate);
    std::printf("  CPU             %8.1f ms = %.2f %% of the wall time (goal < 3 %%)\n", cpu,
                100.0 * cpu / wall);
    return {rate, rate / floorRate >= 0.95 && cpu / wall < 0.03};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    gClock.start();
    QString sim = bench::simProgram();
    double seconds = 10;
    QString only;
    for (bench::Options o(app.arguments()); o.next();) {
        if (!o.take("--sim", sim) && !o.take("--seconds", seconds) && !o.take("--only", only))
            return o.usage("usage: qel-bench-monitor [--sim PATH] [--seconds S] [--only 5600|527]\n");
    }
    seconds = std::max(1.0, seconds);
    bool ok = true;
    for (const QString &type : {QStringLiteral("5600"), QStringLiteral("527")}) {
        if (!only.isEmpty() && only != type)
            continue;
        const RunResult p = benchType(sim, type, seconds, false);
        const RunResult r = benchType(sim, type, seconds, true);
        ok = ok && p.goals && r.goals;
        if (p.rate <= 0 || r.rate <= 0)
            continue;
        const double plain = p.rate, recording = r.rate;
        std::printf("%s poll rate: %.3f polls/s plain, %.3f polls/s recording = %.3f (goal >= 0.98)\n\n",
                    qPrintable(type), plain, recording, recording / plain);
        ok = ok && recording / plain >= 0.98;
    }
    return ok ? 0 : 1;
}
