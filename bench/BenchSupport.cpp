#include "BenchSupport.h"

#include "platform/Rfc2217Module.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#ifndef QEL_SIM_DEFAULT
#define QEL_SIM_DEFAULT "qel-sim"
#endif

namespace qel::bench {

double cpuMs(bool children)
{
    rusage ru{};
    getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &ru);
    return (double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e6
            + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec)) / 1e3;
}

double loadAverage()
{
    double load = -1;
    return getloadavg(&load, 1) == 1 ? load : -1;
}

QString simProgram()
{
    const QString sim = qEnvironmentVariable("QEL_SIM");
    return sim.isEmpty() ? QStringLiteral(QEL_SIM_DEFAULT) : sim;
}

QString qelctlProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../qelctl");
}

bool Sim::start(const QString &program, const QStringList &args)
{
    proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc.start(program, args);
    if (!proc.waitForStarted(5000))
        return false;
    while (!proc.canReadLine()) {
        if (!proc.waitForReadyRead(5000))
            return false;
    }
    path = QString::fromLocal8Bit(proc.readLine()).trimmed();
    return !path.isEmpty();
}

bool startSim(Sim &sim, const QString &program, const QStringList &args)
{
    if (sim.start(program, args))
        return true;
    std::fprintf(stderr, "%s: %s did not start\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(program));
    return false;
}

bool startFleet(std::vector<std::unique_ptr<Sim>> &fleet, const QString &program, int n)
{
    const char *types[] = {"5600", "5600", "521", "527"};
    for (int i = 0; i < n; ++i) {
        auto &s = *fleet.emplace_back(std::make_unique<Sim>());
        s.type = QString::fromLatin1(types[i % 4]);
        s.serial = QString::number((i % 4 < 2 ? 20001 : 10001) + i);
        if (!startSim(s, program, {QStringLiteral("--type"), s.type, QStringLiteral("--serial"), s.serial}))
            return false;
    }
    return true;
}

void stopSim(QProcess &proc)
{
    proc.terminate();
    if (!proc.waitForFinished(3000)) {
        proc.kill();
        proc.waitForFinished(3000);
    }
}

namespace {

// Resident and proportional set size of every qelctl process now: the peak
// of a run is the sample with the most proportional memory.
void sampleMemory(Timed &t)
{
    double rss = 0, pss = 0;
    int n = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!pid.front().isDigit())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "qelctl")
            continue;
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        ++n;
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            const QList<QByteArray> w = line.simplified().split(' ');
            if (w.size() >= 2 && w[0] == "Rss:")
                rss += w[1].toDouble();
            else if (w.size() >= 2 && w[0] == "Pss:")
                pss += w[1].toDouble();
        }
    }
    if (pss / 1024 > t.peakPssMb) {
        t.peakPssMb = pss / 1024;
        t.peakRssMb = rss / 1024;
        t.peakProcesses = n;
    }
}

} // namespace

Timed runQelctl(const QString &qelctl, const QStringList &args, const QString &dataHome, bool sample)
{
    static QTemporaryDir history;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.isEmpty() ? history.path() : dataHome);
    QProcess p;
    p.setProcessEnvironment(env);
    const double cpu0 = cpuMs(true);
    QElapsedTimer t;
    t.start();
    // The Windows build's qelctl.exe runs under wine (WINEPREFIX as the caller set it).
    if (qelctl.endsWith(QLatin1String(".exe")))
        p.start(qEnvironmentVariable("QEL_WINE", QStringLiteral("/usr/lib/wine/wine64")), QStringList{qelctl} + args);
    else
        p.start(qelctl, args);
    Timed r;
    while (!p.waitForFinished(sample ? 25 : 600000)) {
        if (!sample || t.elapsed() > 600000) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        sampleMemory(r);
    }
    r.ms = t.elapsed();
    r.cpuMs = cpuMs(true) - cpu0;
    r.exit = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Rig::Rig(Clock &clock, const QString &path, Wrap wrap)
    : map_(&store_), qtPorts_(&map_), wrap_(std::move(wrap))
{
    map_.setOverride(path);
    useNetworkModule(rfc2217Module());
    Platform p;
    p.clock = &clock;
    p.ports = this;
    p.boxes = &boxes;
    p.dialogs = &dialogs;
    p.store = &store_;
    p.terminate = [] {};
    wiring = std::make_unique<Wiring>(p);
    wiring->ctx.state.CommPortNo = 1;
}

MsgResult BenchBoxes::show(const QString &text, const QString &title, MsgIcon, MsgButtons b)
{
    ++count;
    std::fprintf(stderr, "  [%s] %s\n", qPrintable(title),
                 qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return b == MsgButtons::AbortRetryIgnore ? MsgResult::Abort : MsgResult::Ok;
}

} // namespace qel::bench
