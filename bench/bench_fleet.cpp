// qel-bench-fleet: qelctl scan, backup and check over many simulated
// converters at once against the same over the slowest one alone. The
// ports are worked concurrently, one qelctl process a port, so a fleet's
// time should stay within twice the slowest port's plus the cost of
// starting its processes; and its memory is counted a converter.
//
//   qel-bench-fleet [--qelctl PATH] [--sim PATH] [--runs N] [--fleet N]... [--git]
//
// Without --fleet: the four converters of the check (two 5600, a 521, a 527).
// --fleet N adds a run over N converters (the four types in turn); --git a
// backup of the largest fleet into a device history kept in git.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

using namespace qel::bench;

namespace {

// N qelctl processes started at once and waited for, each building what a
// command builds (the application, the stored settings, the device side)
// and then listing an empty history: what starting the processes of a
// fleet costs on this machine.
qint64 startups(const QString &qelctl, int n)
{
    QTemporaryDir empty;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), empty.path());
    std::vector<std::unique_ptr<QProcess>> procs;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        procs.push_back(std::make_unique<QProcess>());
        procs.back()->setProcessEnvironment(env);
        procs.back()->start(qelctl, {QStringLiteral("history")});
    }
    for (auto &p : procs)
        p->waitForFinished(60000);
    return t.elapsed();
}

using Fleet = std::span<const std::unique_ptr<Sim>>;

QStringList portArgs(Fleet sims)
{
    QStringList a;
    for (const auto &s : sims)
        a << QStringLiteral("--port") << s->path;
    return a;
}

// Every converter found with its serial number (and, for check, the same
// as its approved file)?
bool allFound(const QByteArray &json, Fleet sims, bool same = false)
{
    const QJsonArray all = QJsonDocument::fromJson(json).array();
    if (all.size() != int(sims.size()))
        return false;
    for (size_t i = 0; i < sims.size(); ++i) {
        const QJsonObject o = all[int(i)].toObject();
        if (o.value(QStringLiteral("type")).toString() != sims[i]->type
            || o.value(QStringLiteral("serial")).toString() != sims[i]->serial
            || (same && o.value(QStringLiteral("status")).toString() != QLatin1String("same")))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString qelctl = qelctlProgram();
    QString sim = simProgram();
    int runs = 3;
    bool git = false;
    std::vector<int> fleets;
    for (Options o(app.arguments()); o.next();) {
        int n = 0;
        if (o.is("--git"))
            git = true;
        else if (o.take("--fleet", n))
            fleets.push_back(n);
        else if (!o.take("--qelctl", qelctl) && !o.take("--sim", sim) && !o.take("--runs", runs))
            return o.usage("usage: qel-bench-fleet [--qelctl PATH] [--sim PATH] [--runs N] [--fleet N]... [--git]\n");
    }
    runs = std::max(1, runs);
    std::printf("load average at the start: %.2f\n", loadAverage());

    const int most = std::max(4, fleets.empty() ? 4 : *std::max_element(fleets.begin(), fleets.end()));
    std::vector<std::unique_ptr<Sim>> fleet;
    if (!startFleet(fleet, sim, most))
        return 1;
    const Fleet four(fleet.data(), 4);

    // The approved settings of every converter, as a plant makes them: a
    // backup, each file named TYPE-SERIAL.pdt.
    QTemporaryDir approved;
    runQelctl(qelctl, QStringList{"backup", approved.path()} + portArgs(fleet));
    for (const QString &f : QDir(approved.path()).entryList({QStringLiteral("*.pdt")}, QDir::Files)) {
        const QString name = f.section(u'-', 0, 1) + QStringLiteral(".pdt");
        QDir(approved.path()).rename(f, name);
    }

    // Each converter alone; the slowest is the yardstick of each command.
    const QStringList commands[] = {{"scan", "--json"},
                                    {"backup", QString(), "--json"},
                                    {"check", approved.path(), "--json"}};
    // Command c over the ports; a backup goes to a folder of its own.
    const auto run = [&](int c, const QStringList &ports) {
        QTemporaryDir dir;
        QStringList a = commands[c];
        if (a[1].isNull())
            a[1] = dir.path();
        return runQelctl(qelctl, a + ports);
    };
    qint64 slowest[3] = {0, 0, 0};
    for (int c = 0; c < 3; ++c) {
        for (const auto &s : four) {
            std::vector<qint64> t;
            for (int r = 0; r < runs; ++r)
                t.push_back(run(c, {"--port", s->path}).ms);
            const qint64 m = median(t, qint64(-1));
            std::printf("%-6s %-5s alone      %6lld ms\n", qPrintable(commands[c][0]), qPrintable(s->type),
                        static_cast<long long>(m));
            slowest[c] = std::max(slowest[c], m);
        }
    }
    std::vector<qint64> t;
    bool found = true;
    for (int r = 0; r < runs; ++r) {
        const Timed x = runQelctl(qelctl, QStringList{"scan", "--json"} + portArgs(four));
        found = found && x.exit == 0 && allFound(x.out, four);
        t.push_back(x.ms);
    }
    const qint64 all4 = median(t, qint64(-1));
    const double ratio = double(all4) / double(slowest[0]);
    std::printf("scan of 4 at once       %6lld ms  = %.2f x the slowest alone; all found: %s\n",
                static_cast<long long>(all4), ratio, found ? "yes" : "NO");

    // Larger fleets: each command's time against 2 x its slowest alone plus
    // the start of the fleet's processes (N children and the parent).
    bool within = true;
    for (const int n : fleets) {
        const Fleet part(fleet.data(), std::min<size_t>(n, fleet.size()));
        std::vector<qint64> starts;
        for (int r = 0; r < runs; ++r)
            starts.push_back(startups(qelctl, n + 1));
        const qint64 start = median(starts, qint64(-1));
        std::printf("fleet of %3d (load %.2f): starting %d qelctl processes at once %lld ms\n", n,
                    loadAverage(), n + 1, static_cast<long long>(start));
        for (int c = 0; c < 3; ++c) {
            // The run of median time; a run that did not find everything right is counted.
            std::vector<Timed> xs;
            int wrong = 0;
            for (int r = 0; r < runs; ++r) {
                xs.push_back(run(c, portArgs(part)));
                if (xs.back().exit != 0 || !allFound(xs.back().out, part, c == 2))
                    ++wrong;
            }
            std::sort(xs.begin(), xs.end(), [](const Timed &x, const Timed &y) { return x.ms < y.ms; });
            const Timed &x = xs[xs.size() / 2];
            const qint64 bound = 2 * slowest[c] + start;
            if (c > 0)
                within = within && wrong == 0 && x.ms <= bound;
            std::printf("  %-6s %6lld ms (bound %lld ms: %s), %d of %d runs not all right, CPU %.0f ms\n",
                        qPrintable(commands[c][0]), static_cast<long long>(x.ms), static_cast<long long>(bound),
                        x.ms <= bound ? "within" : "OVER", wrong, runs, x.cpuMs);
        }
        // Memory: a backup again, every qelctl process's memory sampled.
        QTemporaryDir dir;
        const Timed m = runQelctl(qelctl, QStringList{"backup", dir.path(), "--json"} + portArgs(part), {}, true);
        // One process a converter (and the parent): the memory a converter is a process's.
        const int alive = std::max(1, m.peakProcesses);
        std::printf("  memory at the peak of a backup: %d qelctl processes at once, RSS %.0f MB (%.1f MB a "
                    "converter), PSS %.0f MB (%.2f MB a converter)\n",
                    m.peakProcesses, m.peakRssMb, m.peakRssMb / alive, m.peakPssMb, m.peakPssMb / alive);
    }

    if (git) {
        // Every read of a backup committed to a device history in git.
        QTemporaryDir data, dir;
        const QString root = data.filePath(QStringLiteral("qel-settings/history"));
        QDir().mkpath(root);
        QProcess::execute(QStringLiteral("git"), {"init", "-q", root});
        const Timed x = runQelctl(qelctl, QStringList{"backup", dir.path(), "--json"} + portArgs(fleet),
                                  data.path());
        QProcess count;
        count.start(QStringLiteral("git"), {"-C", root, "rev-list", "--count", "HEAD"});
        count.waitForFinished();
        std::printf("backup of %d into a history in git: %lld ms, exit %d, %s commits\n", most,
                    static_cast<long long>(x.ms), x.exit, count.readAllStandardOutput().trimmed().constData());
    }
    std::printf("load average at the end: %.2f\n", loadAverage());
    return found && ratio <= 1.5 && within ? 0 : 1;
}
