// qel-bench-windows: the Windows build's qelctl.exe under wine against the
// Linux qelctl on the same kind of line: a paced converter (qel-sim --pace)
// on a pseudo-terminal, which the wine prefix maps as a COM port. Each run
// reads and writes a 5600 and a 521 with both programs in turn; it prints
// the median times, their ratio (goal: 1.05) and the exchange on the line
// alone (first byte sent to last byte received, from the wire trace), so that
// wine's own start-up shows apart from the line.
//
//   qel-bench-windows --exe DIR [--runs N]
// DIR holds qelctl.exe (scripts/windows puts it in build-windows/); a fresh
// wine prefix of its own is made for the run unless WINEPREFIX names one.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace qel::bench;

namespace {

// First byte to the line to last byte from it, in ms, from a wire trace.
qint64 exchangeMs(const QString &trace)
{
    QFile f(trace);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    QTime first, last;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> w = line.split(' ');
        if (w.size() < 3 || (w[1] != ">" && w[1] != "<"))
            continue;
        const QTime t = QTime::fromString(QString::fromLatin1(w[0]), QStringLiteral("HH:mm:ss.zzz"));
        if (!first.isValid())
            first = t;
        last = t;
    }
    return first.isValid() ? first.msecsTo(last) : -1;
}

struct Figures {
    std::vector<qint64> read, write, readLine, writeLine;
};

bool measure(const QString &exeDir, const QString &prefix, const char *type, int runs)
{
    const QString native = qelctlProgram();
    const QString windows = exeDir + QStringLiteral("/qelctl.exe");
    Sim sim;
    if (!startSim(sim, simProgram(), {"--type", type, "--serial", "34567", "--pace"}))
        return false;
    const QString link = prefix + QStringLiteral("/dosdevices/com5");
    QFile::remove(link);
    if (!QFile::link(sim.path, link)) {
        std::fprintf(stderr, "qel-bench-windows: cannot map COM5 in %s\n", qPrintable(prefix));
        return false;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("paced.pdt"));
    if (runQelctl(native, {"--port", sim.path, "read", "-o", file}).exit != 0)
        return false;
    Figures f[2]; // 0: Linux, 1: wine
    bool ok = true;
    for (int r = 0; r < runs; ++r) {
        for (int w = 0; w < 2; ++w) {
            const QString program = w ? windows : native;
            const QString port = w ? QStringLiteral("COM5") : sim.path;
            const QString rt = dir.filePath(QStringLiteral("r.trace")), wt = dir.filePath(QStringLiteral("w.trace"));
            QThread::msleep(200);
            const Timed rd = runQelctl(program, {"--port", port, "--trace", rt, "read", "-o", dir.filePath("x.pdt")});
            const Timed wr = runQelctl(program, {"--port", port, "--trace", wt, "write", "--no-keep", file});
            ok = ok && rd.exit == 0 && wr.exit == 0;
            f[w].read.push_back(rd.ms);
            f[w].write.push_back(wr.ms);
            f[w].readLine.push_back(exchangeMs(rt));
            f[w].writeLine.push_back(exchangeMs(wt));
        }
    }
    const auto m = [](const std::vector<qint64> &v) { return median(v, qint64(-1)); };
    for (int w = 0; w < 2; ++w) {
        std::printf("%-5s %-22s read %5lld ms (%.2f) on the line %5lld ms (%.2f)   "
                    "write %5lld ms (%.2f) on the line %5lld ms (%.2f)\n",
                    type, w ? "qelctl.exe under wine" : "qelctl (Linux)", static_cast<long long>(m(f[w].read)),
                    double(m(f[w].read)) / double(m(f[0].read)), static_cast<long long>(m(f[w].readLine)),
                    double(m(f[w].readLine)) / double(m(f[0].readLine)), static_cast<long long>(m(f[w].write)),
                    double(m(f[w].write)) / double(m(f[0].write)), static_cast<long long>(m(f[w].writeLine)),
                    double(m(f[w].writeLine)) / double(m(f[0].writeLine)));
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString exeDir;
    int runs = 5;
    Options o(app.arguments());
    while (o.next()) {
        if (!o.take("--exe", exeDir) && !o.take("--runs", runs))
            return o.usage("usage: qel-bench-windows --exe DIR [--runs N]\n");
    }
    if (exeDir.isEmpty() || !QFile::exists(exeDir + QStringLiteral("/qelctl.exe")))
        return o.usage("usage: qel-bench-windows --exe DIR [--runs N] (DIR: the folder of qelctl.exe)\n");
    QTemporaryDir ownPrefix;
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty()) {
        prefix = ownPrefix.path();
        qputenv("WINEPREFIX", prefix.toLocal8Bit());
        qputenv("WINEDEBUG", "-all");
        qputenv("WINEDLLOVERRIDES", "mscoree,mshtml=");
        QProcess::execute(QStringLiteral("/usr/lib/wine/wine64"), {QStringLiteral("wineboot"), QStringLiteral("-i")});
    }
    // Wine's own start, for scale: the version of qelctl.exe, warm.
    runQelctl(exeDir + QStringLiteral("/qelctl.exe"), {"--version"});
    const Timed start = runQelctl(exeDir + QStringLiteral("/qelctl.exe"), {"--version"});
    std::printf("load average %.2f; qelctl.exe --version under a warm wine: %lld ms; %d runs, medians\n",
                loadAverage(), static_cast<long long>(start.ms), runs);
    bool ok = measure(exeDir, prefix, "5600", runs);
    ok = measure(exeDir, prefix, "521", runs) && ok;
    if (prefix == ownPrefix.path())
        QProcess::execute(QStringLiteral("/usr/lib/wine/wineserver"), {QStringLiteral("-k")});
    return ok ? 0 : 1;
}
