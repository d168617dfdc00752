// qel-bench-fleet: qelctl scan and backup over many simulated converters at
// once against the same over the slowest one alone. The ports are probed
// concurrently, so the fleet's time should stay near the slowest port's.
//
//   qel-bench-fleet [--qelctl PATH] [--sim PATH] [--runs N] [--fleet N]...
//
// Without --fleet: the four converters of the check (two 5600, a 521, a 527).
// --fleet N adds a run over N converters (the four types in turn).
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace qel::bench;

namespace {

struct Port {
    QString type, serial, path;
};

struct Timed {
    qint64 ms = -1;
    int exit = -1;
    QByteArray out;
};

Timed runQelctl(const QString &qelctl, const QStringList &args)
{
    // The device history of the runs goes to a folder of the bench's own.
    static QTemporaryDir history;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), history.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer t;
    t.start();
    p.start(qelctl, args);
    Timed r;
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ms = t.elapsed();
    r.exit = p.exitCode();
    r.out = p.readAllStandardOutput();
    p.readAllStandardError();
    return r;
}

QStringList portArgs(const std::vector<Port> &sims)
{
    QStringList a;
    for (const Port &s : sims)
        a << QStringLiteral("--port") << s.path;
    return a;
}

// Every converter found with its serial number?
bool allFound(const QByteArray &json, const std::vector<Port> &sims)
{
    const QJsonArray all = QJsonDocument::fromJson(json).array();
    if (all.size() != int(sims.size()))
        return false;
    for (size_t i = 0; i < sims.size(); ++i) {
        const QJsonObject o = all[int(i)].toObject();
        if (o.value(QStringLiteral("type")).toString() != sims[i].type
            || o.value(QStringLiteral("serial")).toString() != sims[i].serial)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString qelctl = QCoreApplication::applicationDirPath() + QStringLiteral("/../qelctl");
    QString sim = qEnvironmentVariable("QEL_SIM");
#ifdef QEL_SIM_DEFAULT
    if (sim.isEmpty())
        sim = QStringLiteral(QEL_SIM_DEFAULT);
#endif
    int runs = 3;
    std::vector<int> fleets;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--qelctl"))
            qelctl = args[i + 1];
        else if (args[i] == QLatin1String("--sim"))
            sim = args[i + 1];
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--fleet"))
            fleets.push_back(args[i + 1].toInt());
    }

    const char *types[] = {"5600", "5600", "521", "527"};
    const int most = std::max(4, fleets.empty() ? 4 : *std::max_element(fleets.begin(), fleets.end()));
    std::vector<std::unique_ptr<QProcess>> procs;
    std::vector<Port> fleet(most);
    for (int i = 0; i < most; ++i) {
        fleet[i].type = QString::fromLatin1(types[i % 4]);
        // A 5600's serial number is 20000 and up, a 52X's below.
        fleet[i].serial = QString::number((i % 4 < 2 ? 20001 : 10001) + i);
        procs.push_back(std::make_unique<QProcess>());
        if (!startSim(*procs.back(), sim, {"--type", fleet[i].type, "--serial", fleet[i].serial},
                      fleet[i].path)) {
            std::fprintf(stderr, "qel-bench-fleet: %s did not start\n", qPrintable(sim));
            return 1;
        }
    }
    const std::vector<Port> four(fleet.begin(), fleet.begin() + 4);

    // Each converter alone; the slowest is the yardstick.
    qint64 slowest = 0;
    QString slowestType;
    for (const Port &s : four) {
        std::vector<qint64> t;
        for (int r = 0; r < runs; ++r)
            t.push_back(runQelctl(qelctl, {"--port", s.path, "scan", "--json"}).ms);
        const qint64 m = median(t, qint64(-1));
        std::printf("scan %-5s alone        %6lld ms\n", qPrintable(s.type), static_cast<long long>(m));
        if (m > slowest) {
            slowest = m;
            slowestType = s.type;
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
    const double ratio = double(all4) / double(slowest);
    std::printf("scan of 4 at once       %6lld ms  = %.2f x the slowest alone (%s); all found: %s\n",
                static_cast<long long>(all4), ratio, qPrintable(slowestType), found ? "yes" : "NO");

    // Larger fleets: scan and backup time against the number of converters.
    for (const int n : fleets) {
        const std::vector<Port> part(fleet.begin(), fleet.begin() + std::min<size_t>(n, fleet.size()));
        const double cpu0 = cpuMs(true);
        const Timed sc = runQelctl(qelctl, QStringList{"scan", "--json"} + portArgs(part));
        const double cpu1 = cpuMs(true);
        QTemporaryDir dir;
        const Timed bk = runQelctl(qelctl, QStringList{"backup", dir.path()} + portArgs(part));
        std::printf("fleet of %3d: scan %6lld ms (all found: %s, CPU %.0f ms), backup %6lld ms "
                    "(exit %d, %lld files, CPU %.0f ms)\n",
                    n, static_cast<long long>(sc.ms), allFound(sc.out, part) ? "yes" : "NO",
                    cpu1 - cpu0, static_cast<long long>(bk.ms), bk.exit,
                    static_cast<long long>(bk.out.count('\n')), cpuMs(true) - cpu1);
    }

    for (auto &p : procs)
        stopSim(*p);
    return found && ratio <= 1.5 ? 0 : 1;
}
