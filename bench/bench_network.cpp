// qel-bench-network: the figures of a converter behind a device server.
// qelctl runs through ser2net (as shipped, and with chardelay: false) in
// front of qel-sim, against the same on the local pseudo-terminal:
//  - flood: a local line that floods (qel-sim --stream nocr:0), a device
//    server that floods (in-process), ser2net in front of the flooding line:
//    each command's time and the largest qelctl process;
//  - read and write of a paced converter (qel-sim --pace): the time through
//    ser2net against the local one (goal: 1.10 as shipped, whose chardelay
//    holds serial input about two character times; 1.05 without it);
//  - rounds: detect, read, write and a type change there and back, one
//    command after the other through ser2net as shipped, a 5600 and a 521;
//  - fleet: scan and backup of N converters behind one ser2net against the
//    slowest converter alone (goal: 1.5).
//
//   qel-bench-network [--qelctl PATH] [--sim PATH] [--ser2net PATH]
//                     [--runs N] [--rounds N] [--fleet N]
#include "BenchSupport.h"
#include "platform/SafeWrite.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace qel::bench;

namespace {

// ser2net serving some pseudo-terminals, each on a loopback port of its own.
class Ser2net {
public:
    struct Line {
        QString pty;
        bool charDelay = true;
        quint16 port = 0;
        QString url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port); }
    };
    ~Ser2net() { stopSim(proc_); }
    bool start(const QString &program, std::vector<Line> &lines)
    {
        QString yaml;
        for (size_t i = 0; i < lines.size(); ++i) {
            QTcpServer probe; // a free port, given to ser2net at once
            probe.listen(QHostAddress::LocalHost, 0);
            lines[i].port = probe.serverPort();
            yaml += QStringLiteral("connection: &line%1\n"
                                   "    accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                                   "    connector: serialdev,%3,9600n81,local\n%4")
                        .arg(i)
                        .arg(lines[i].port)
                        .arg(lines[i].pty)
                        .arg(lines[i].charDelay ? QString()
                                                : QStringLiteral("    options:\n      chardelay: false\n"));
        }
        QFile f(dir_.filePath(QStringLiteral("ser2net.yaml")));
        if (!f.open(QIODevice::WriteOnly) || f.write(yaml.toUtf8()) < 0)
            return false;
        f.close();
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.setStandardOutputFile(QProcess::nullDevice());
        proc_.start(program, {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                              f.fileName(), QStringLiteral("-P"),
                              dir_.filePath(QStringLiteral("ser2net.pid"))});
        if (!proc_.waitForStarted(5000))
            return false;
        for (const Line &l : lines) {
            bool up = false;
            for (int i = 0; i < 100 && !up; ++i) {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, l.port);
                up = s.waitForConnected(200);
                if (!up)
                    QThread::msleep(50);
            }
            if (!up)
                return false;
        }
        QThread::msleep(200); // the probes' sessions closed
        return true;
    }

private:
    QTemporaryDir dir_;
    QProcess proc_;
};

qint64 maxRssKb()
{
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return ru.ru_maxrss;
}

struct Setup {
    QString qelctl, sim, ser2net;
    int runs = 5, rounds = 20, fleet = 16;
};

// A device server that floods: it takes up RFC 2217 and answers every
// COM-PORT command, then sends noise without CR as fast as the client takes
// it (16 KB a millisecond at most), one client at a time.
class FloodServer {
public:
    FloodServer()
    {
        std::atomic<bool> ready = false;
        thread_ = std::thread([this, &ready] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            port_ = server.serverPort();
            ready = true;
            std::unique_ptr<QTcpSocket> s;
            bool flooding = false;
            const QByteArray noise = QByteArray("0123456789ABCDEF").repeated(1024);
            while (!stop_) {
                if (server.waitForNewConnection(s ? 0 : 10)) {
                    s.reset(server.nextPendingConnection());
                    flooding = false;
                }
                if (!s)
                    continue;
                if (s->waitForReadyRead(1)) {
                    const QByteArray in = s->readAll();
                    QByteArray out;
                    if (in.contains("\xff\xfb\x2c"))
                        out += "\xff\xfd\x2c"; // DO COM-PORT-OPTION
                    for (qsizetype i = in.indexOf("\xff\xfa\x2c"); i >= 0; i = in.indexOf("\xff\xfa\x2c", i + 1)) {
                        const qsizetype end = in.indexOf("\xff\xf0", i);
                        if (end < 0 || end < i + 4)
                            break;
                        QByteArray answer = in.mid(i, end + 2 - i);
                        answer[3] = char(answer[3] + 100);
                        out += answer;
                        flooding = true;
                    }
                    s->write(out);
                }
                if (flooding && s->bytesToWrite() < 65536)
                    s->write(noise);
                s->flush();
                if (s->state() != QAbstractSocket::ConnectedState)
                    s.reset();
            }
        });
        while (!ready)
            std::this_thread::yield();
    }
    ~FloodServer()
    {
        stop_ = true;
        thread_.join();
    }
    QString url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port_); }

private:
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::atomic<quint16> port_ = 0;
};

// A flooding line: every command ends soon, the tool stays small. Run first,
// while no other child has ended, so that the largest child is one of these.
bool flood(const Setup &env)
{
    Sim sim;
    if (!startSim(sim, env.sim, {"--type", "5600", "--stream", "nocr:0"}))
        return false;
    FloodServer server;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("flood.pdt"));
    QString why;
    qel::writeFileWhole(file, QByteArray(74, '0'), why);
    bool ok = true;
    for (const auto &[name, port] :
         {std::pair{"a flooding local line", sim.path}, std::pair{"a flooding device server", server.url()}}) {
        const Timed rd = runQelctl(env.qelctl, {"--port", port, "read", "-o", dir.filePath("out.pdt")});
        const Timed wr = runQelctl(env.qelctl, {"--port", port, "write", file});
        std::printf("flood, %-26s read %6lld ms (exit %d), write %6lld ms (exit %d)\n", name,
                    static_cast<long long>(rd.ms), rd.exit, static_cast<long long>(wr.ms), wr.exit);
        ok = ok && rd.exit == 1 && wr.exit == 1 && rd.ms >= 0 && rd.ms < 10000 && wr.ms >= 0
            && wr.ms < 10000;
    }
    std::printf("flood: largest qelctl %lld KB\n", static_cast<long long>(maxRssKb()));
    ok = ok && maxRssKb() < 100 * 1024;

    // ser2net itself in front of the flooding line: what the tool says of it.
    std::vector<Ser2net::Line> lines{{sim.path}};
    Ser2net s2n;
    if (!s2n.start(env.ser2net, lines))
        return false;
    const Timed rd = runQelctl(env.qelctl, {"--port", lines[0].url(), "read", "-o", dir.filePath("out.pdt")});
    QByteArray said;
    for (const QByteArray &line : rd.err.split('\n'))
        if (line.startsWith("qelctl:") || line.startsWith("rfc2217:"))
            said = line;
    std::printf("flood, ser2net in front of it      read %6lld ms (exit %d): %s\n",
                static_cast<long long>(rd.ms), rd.exit, said.constData());
    return ok && rd.exit == 1 && rd.ms < 10000;
}

// A read and a write of a paced converter, locally and through ser2net.
bool pacedTransfers(const Setup &env, const char *type)
{
    Sim sim;
    if (!startSim(sim, env.sim, {"--type", type, "--serial", "34567", "--pace"}))
        return false;
    std::vector<Ser2net::Line> lines{{sim.path, true}, {sim.path, false}};
    Ser2net server;
    if (!server.start(env.ser2net, lines))
        return false;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("paced.pdt"));
    if (runQelctl(env.qelctl, {"--port", sim.path, "read", "-o", file}).exit != 0)
        return false;
    const QString ports[] = {sim.path, lines[0].url(), lines[1].url()};
    std::vector<qint64> reads[3], writes[3];
    bool ok = true;
    // Taken in turn, so that a busy moment of the machine falls on all three;
    // both server lines reach the one converter, so a line's session is over
    // (closed by the server) before the next line opens the device.
    for (int r = 0; r < env.runs; ++r) {
        for (int p = 0; p < 3; ++p) {
            QThread::msleep(300);
            const Timed rd = runQelctl(env.qelctl, {"--port", ports[p], "read", "-o", dir.filePath("x.pdt")});
            const Timed wr = runQelctl(env.qelctl, {"--port", ports[p], "write", file});
            ok = ok && rd.exit == 0 && wr.exit == 0;
            reads[p].push_back(rd.ms);
            writes[p].push_back(wr.ms);
        }
    }
    const char *names[] = {"local pty", "ser2net as shipped", "ser2net chardelay: false"};
    const double goal[] = {1.0, 1.10, 1.05};
    const qint64 r0 = median(reads[0], qint64(-1)), w0 = median(writes[0], qint64(-1));
    for (int p = 0; p < 3; ++p) {
        const qint64 rm = median(reads[p], qint64(-1)), wm = median(writes[p], qint64(-1));
        std::printf("%-5s %-25s read %5lld ms (%.2f)  write %5lld ms (%.2f)%s\n", type, names[p],
                    static_cast<long long>(rm), double(rm) / double(r0), static_cast<long long>(wm),
                    double(wm) / double(w0), p == 0 ? "" : qPrintable(QStringLiteral("  goal %1").arg(goal[p])));
    }
    return ok;
}

// Back-to-back commands through ser2net as shipped.
bool rounds(const Setup &env, const QString &type, const QString &other)
{
    Sim sim;
    if (!startSim(sim, env.sim, {"--type", type, "--serial", "34567"}))
        return false;
    std::vector<Ser2net::Line> lines{{sim.path}};
    Ser2net server;
    if (!server.start(env.ser2net, lines))
        return false;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("round.pdt"));
    const QList<QStringList> round = {
        {"detect"}, {"read", "-o", file}, {"write", file}, {"type-change", other}, {"type-change", type}};
    int done = 0, failed = 0;
    qint64 ms = 0;
    for (int n = 0; n < env.rounds; ++n) {
        for (const QStringList &cmd : round) {
            const Timed t = runQelctl(env.qelctl, QStringList{"--port", lines[0].url()} + cmd);
            ++done;
            ms += std::max<qint64>(t.ms, 0);
            if (t.exit != 0) {
                ++failed;
                std::fprintf(stderr, "  round %d: %s failed (exit %d)\n%s", n + 1,
                             qPrintable(cmd.join(u' ')), t.exit, t.err.constData());
            }
        }
    }
    std::printf("rounds, %-4s %d commands back to back through ser2net as shipped: %d failed, "
                "%.2f s a round\n",
                qPrintable(type), done, failed, ms / 1000.0 / env.rounds);
    return failed == 0;
}

// Scan and backup of many converters behind one ser2net.
bool fleet(const Setup &env)
{
    std::vector<std::unique_ptr<Sim>> sims;
    if (!startFleet(sims, env.sim, env.fleet))
        return false;
    std::vector<Ser2net::Line> lines;
    for (const auto &s : sims)
        lines.push_back({s->path});
    Ser2net server;
    if (!server.start(env.ser2net, lines))
        return false;
    // Each type alone, scan and backup; the slowest of each is the yardstick.
    qint64 slowScan = 0, slowBackup = 0;
    for (int i = 0; i < 4 && i < env.fleet; ++i) {
        std::vector<qint64> s, b;
        for (int r = 0; r < env.runs; ++r) {
            QTemporaryDir dir;
            s.push_back(runQelctl(env.qelctl, {"--port", lines[i].url(), "scan"}).ms);
            b.push_back(runQelctl(env.qelctl, {"backup", dir.path(), "--port", lines[i].url()}).ms);
        }
        slowScan = std::max(slowScan, median(s, qint64(-1)));
        slowBackup = std::max(slowBackup, median(b, qint64(-1)));
    }
    QStringList ports;
    for (const Ser2net::Line &l : lines)
        ports << QStringLiteral("--port") << l.url();
    std::vector<qint64> scans, backups;
    bool ok = true;
    for (int r = 0; r < env.runs; ++r) {
        const Timed sc = runQelctl(env.qelctl, QStringList{"scan"} + ports);
        QTemporaryDir dir;
        const Timed bk = runQelctl(env.qelctl, QStringList{"backup", dir.path()} + ports);
        const bool good = sc.exit == 0 && sc.out.count('\n') == env.fleet && bk.exit == 0
            && bk.out.count('\n') == env.fleet;
        if (!good)
            std::fprintf(stderr, "  fleet run %d: scan exit %d, %lld lines\n%s%s  backup exit %d, %lld lines\n%s",
                         r + 1, sc.exit, static_cast<long long>(sc.out.count('\n')), sc.out.constData(),
                         sc.err.constData(), bk.exit, static_cast<long long>(bk.out.count('\n')),
                         bk.err.constData());
        ok = ok && good;
        scans.push_back(sc.ms);
        backups.push_back(bk.ms);
    }
    const qint64 sc = median(scans, qint64(-1)), bk = median(backups, qint64(-1));
    std::printf("fleet of %d behind one ser2net: scan %lld ms (%.2f x the slowest alone, %lld ms), "
                "backup %lld ms (%.2f x, %lld ms)  goal 1.5; all found and saved: %s\n",
                env.fleet, static_cast<long long>(sc), double(sc) / double(slowScan),
                static_cast<long long>(slowScan), static_cast<long long>(bk),
                double(bk) / double(slowBackup), static_cast<long long>(slowBackup), ok ? "yes" : "NO");
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Setup env;
    env.qelctl = qelctlProgram();
    env.sim = simProgram();
    env.ser2net = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                 {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    for (Options o(app.arguments()); o.next();) {
        if (!o.take("--qelctl", env.qelctl) && !o.take("--sim", env.sim) && !o.take("--ser2net", env.ser2net)
            && !o.take("--runs", env.runs) && !o.take("--rounds", env.rounds) && !o.take("--fleet", env.fleet))
            return o.usage("usage: qel-bench-network [--qelctl PATH] [--sim PATH] [--ser2net PATH]\n"
                           "                         [--runs N] [--rounds N] [--fleet N]\n");
    }
    env.runs = std::max(1, env.runs);
    env.rounds = std::max(1, env.rounds);
    env.fleet = std::max(1, env.fleet);
    if (env.ser2net.isEmpty()) {
        std::fprintf(stderr, "qel-bench-network: ser2net is not installed (scripts/setup installs it)\n");
        return 1;
    }
    bool ok = flood(env);
    for (const char *type : {"5600", "521"})
        ok = pacedTransfers(env, type) && ok;
    ok = rounds(env, QStringLiteral("5600"), QStringLiteral("521")) && ok;
    ok = rounds(env, QStringLiteral("521"), QStringLiteral("5600")) && ok;
    ok = fleet(env) && ok;
    return ok ? 0 : 1;
}
