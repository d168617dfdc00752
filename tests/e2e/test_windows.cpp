// The Windows build's qelctl.exe under wine, against qel-sim on a
// pseudo-terminal that the wine prefix maps as a COM port, side by side with
// the Linux qelctl against a second simulated converter of the same kind:
// the same exit codes, the same output, the same bytes in the files and on
// the line. `scripts/windows --test` runs it with QEL_WINDOWS_DIR (the
// folder of qelctl.exe) and WINEPREFIX (a fresh prefix of the run); without
// them it is skipped.
#include "QelctlRun.h"
#include "Ser2net.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using qel::ParameterRecord;
using qel::test::QelctlRun;
using qel::test::Ser2net;
using qel::test::SimPty;

namespace {

QProcessEnvironment fixedDate()
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07"));
    return env;
}

// qelctl.exe ARGS... under wine, with the environment the Linux run gets.
QelctlRun wineQelctl(const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    env.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07"));
    p.setProcessEnvironment(env);
    const QString wine = qEnvironmentVariable("QEL_WINE", QStringLiteral("/usr/lib/wine/wine64"));
    p.start(wine, QStringList{qEnvironmentVariable("QEL_WINDOWS_DIR") + QStringLiteral("/qelctl.exe")} + args);
    QelctlRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The trace's exchange without its times and its header: direction, bytes.
QStringList traceExchange(const QString &path)
{
    QStringList out;
    for (const QString &line : QString::fromUtf8(readFile(path)).split(u'\n')) {
        const QStringList w = line.split(u' ');
        if (w.size() > 2 && (w[1] == QLatin1String(">") || w[1] == QLatin1String("<")))
            out << w.mid(1).join(u' ');
    }
    return out;
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameAsLinux_data();
    void sameAsLinux();
    void busyAndMissingPorts();
    void ctrlCEndsTheMonitorCleanly();
    void throughADeviceServer();

private:
    // The pseudo-terminal as COMn of the prefix.
    QString mapPort(int n, const QString &pty);
    QTemporaryDir dir_;
};

void TestWindows::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QEL_WINDOWS_DIR") || qEnvironmentVariableIsEmpty("WINEPREFIX"))
        QSKIP("the Windows build is tested by scripts/windows --test (QEL_WINDOWS_DIR, WINEPREFIX)");
    QVERIFY(QFileInfo::exists(qEnvironmentVariable("QEL_WINDOWS_DIR") + QStringLiteral("/qelctl.exe")));
    QVERIFY(dir_.isValid());
}

QString TestWindows::mapPort(int n, const QString &pty)
{
    const QString link = qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/dosdevices/com%1").arg(n);
    QFile::remove(link);
    if (!QFile::link(pty, link))
        return {};
    return QStringLiteral("COM%1").arg(n);
}

void TestWindows::sameAsLinux_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("com");
    QTest::newRow("5600 on COM3") << "5600" << 3;
    QTest::newRow("521 on COM12") << "521" << 12; // above COM9: \\.\COM12
}

// Each step run by both programs against converters in the same state:
// what they print, their exit codes, the files and what reached the line.
void TestWindows::sameAsLinux()
{
    QFETCH(QString, type);
    QFETCH(int, com);
    SimPty winSim, linSim;
    const QStringList simArgs{QStringLiteral("--type"), type, QStringLiteral("--serial"), QStringLiteral("20345")};
    QVERIFY2(winSim.start(simArgs), qPrintable(winSim.errorText()));
    QVERIFY2(linSim.start(simArgs), qPrintable(linSim.errorText()));
    const QString port = mapPort(com, winSim.path());
    QVERIFY(!port.isEmpty());
    const QString w = dir_.filePath(type + QStringLiteral("-win"));
    const QString l = dir_.filePath(type + QStringLiteral("-lin"));
    QVERIFY(QDir().mkpath(w) && QDir().mkpath(l));
    // Each program keeps its history where the system puts it: the Linux
    // one here, the Windows one in the prefix's application data.
    QProcessEnvironment linEnv = fixedDate();
    linEnv.insert(QStringLiteral("XDG_DATA_HOME"), l + QStringLiteral("/data"));

    const auto both = [&](const QStringList &winArgs, const QStringList &linArgs) {
        const QelctlRun a = wineQelctl(QStringList{QStringLiteral("--port"), port} + winArgs);
        const QelctlRun b = qel::test::runQelctl(linSim.path(), linArgs, linEnv);
        return std::make_pair(a, b);
    };
    // The output with the port and the folder each program was given in
    // their place: everything else is the same byte for byte.
    const auto plain = [&](QByteArray out, bool windows) {
        return out.replace((windows ? w : l).toUtf8(), "DIR").replace((windows ? port : linSim.path()).toUtf8(), "PORT");
    };
    const auto same = [&](const std::pair<QelctlRun, QelctlRun> &r, const char *step) {
        const QByteArray what = QByteArray(step) + "\nwine: " + r.first.err.toUtf8() + "\nlinux: " + r.second.err.toUtf8();
        QVERIFY2(r.first.exit == r.second.exit, what.constData());
        const QByteArray a = plain(r.first.out, true), b = plain(r.second.out, false);
        QVERIFY2(a == b, (what + "\n" + a + "\n--\n" + b).constData());
    };

    same(both({QStringLiteral("--version")}, {QStringLiteral("--version")}), "version");
    auto r = both({QStringLiteral("detect"), QStringLiteral("--json")}, {QStringLiteral("detect"), QStringLiteral("--json")});
    same(r, "detect");
    QCOMPARE(r.first.exit, 0);

    // read: the same .pdt byte for byte, and the same exchange on the line.
    r = both({QStringLiteral("--trace"), w + QStringLiteral("/read.trace"), QStringLiteral("read"), QStringLiteral("-o"),
              w + QStringLiteral("/read.pdt")},
             {QStringLiteral("--trace"), l + QStringLiteral("/read.trace"), QStringLiteral("read"), QStringLiteral("-o"),
              l + QStringLiteral("/read.pdt")});
    same(r, "read");
    QCOMPARE(r.first.exit, 0);
    QCOMPARE(readFile(w + QStringLiteral("/read.pdt")).size(), ParameterRecord::Size);
    QCOMPARE(readFile(w + QStringLiteral("/read.pdt")), readFile(l + QStringLiteral("/read.pdt")));
    QCOMPARE(traceExchange(w + QStringLiteral("/read.trace")), traceExchange(l + QStringLiteral("/read.trace")));
    QVERIFY(!traceExchange(w + QStringLiteral("/read.trace")).isEmpty());

    // show and its JSON of that file.
    same(both({QStringLiteral("show"), QStringLiteral("--json"), w + QStringLiteral("/read.pdt")},
              {QStringLiteral("show"), QStringLiteral("--json"), l + QStringLiteral("/read.pdt")}),
         "show");

    // write --verify an edited file: both converters end up the same.
    ParameterRecord edited;
    edited.setBytes(readFile(l + QStringLiteral("/read.pdt")));
    edited.setField(2, "02500");
    edited.setField(9, "010");
    for (const QString &d : {w, l}) {
        QFile f(d + QStringLiteral("/edited.pdt"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(edited.bytes()) == ParameterRecord::Size);
    }
    r = both({QStringLiteral("write"), QStringLiteral("--verify"), w + QStringLiteral("/edited.pdt")},
             {QStringLiteral("write"), QStringLiteral("--verify"), l + QStringLiteral("/edited.pdt")});
    same(r, "write --verify");
    QCOMPARE(r.first.exit, 0);
    QCOMPARE(winSim.state(), linSim.state());
    QCOMPARE(winSim.commands(), linSim.commands());

    // diff against the file read before the write: the same differences.
    r = both({QStringLiteral("diff"), QStringLiteral("--json"), w + QStringLiteral("/read.pdt")},
             {QStringLiteral("diff"), QStringLiteral("--json"), l + QStringLiteral("/read.pdt")});
    same(r, "diff");
    QCOMPARE(r.first.exit, 1);

    // restore: the settings kept before the write go back.
    r = both({QStringLiteral("restore"), QStringLiteral("20345")}, {QStringLiteral("restore"), QStringLiteral("20345")});
    QVERIFY2(r.first.exit == 0 && r.second.exit == 0, qPrintable(r.first.err + r.second.err));
    QCOMPARE(winSim.state(), linSim.state());
    QCOMPARE(winSim.commands(), linSim.commands());
    r = both({QStringLiteral("diff"), w + QStringLiteral("/read.pdt")}, {QStringLiteral("diff"), l + QStringLiteral("/read.pdt")});
    same(r, "diff after the restore");
    QCOMPARE(r.first.exit, 0);

    // monitor: the same readings, to standard output and as CSV.
    r = both({QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--csv"),
              w + QStringLiteral("/mon.csv")},
             {QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--csv"),
              l + QStringLiteral("/mon.csv")});
    same(r, "monitor");
    QCOMPARE(r.first.exit, 0);
    // The same rows but for their times, each of the form the other has.
    const auto rows = [](const QByteArray &csv) {
        static const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d,"),
                                               QRegularExpression::MultilineOption);
        return QString::fromUtf8(csv).replace(time, QStringLiteral("TIME,"));
    };
    QCOMPARE(rows(readFile(w + QStringLiteral("/mon.csv"))), rows(readFile(l + QStringLiteral("/mon.csv"))));
    QVERIFY(rows(readFile(w + QStringLiteral("/mon.csv"))).count(QStringLiteral("TIME,")) == 3);
}

// A port another program holds is busy; a port that is not there is missing;
// the message is the Linux one's for the same cause.
void TestWindows::busyAndMissingPorts()
{
    const QelctlRun missing = wineQelctl({QStringLiteral("--port"), QStringLiteral("COM40"), QStringLiteral("detect")});
    QCOMPARE(missing.exit, 1);
    QVERIFY2(missing.err.contains(QStringLiteral("COM40: no such device")), qPrintable(missing.err));

    SimPty sim;
    QVERIFY(sim.start({QStringLiteral("--type"), QStringLiteral("5600")}));
    const QString port = mapPort(7, sim.path());
    // A first qelctl.exe holds the port for its monitor; a second is refused.
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    holder.setProcessEnvironment(env);
    holder.start(qEnvironmentVariable("QEL_WINE", QStringLiteral("/usr/lib/wine/wine64")),
                 {qEnvironmentVariable("QEL_WINDOWS_DIR") + QStringLiteral("/qelctl.exe"), QStringLiteral("--port"), port,
                  QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("50")});
    QVERIFY(holder.waitForReadyRead(60000)); // its first reading: the port is open
    const QelctlRun busy = wineQelctl({QStringLiteral("--port"), port, QStringLiteral("detect")});
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(busy.exit, 1);
    QVERIFY2(busy.err.contains(port + QStringLiteral(": in use by another program")), qPrintable(busy.err));
}

// Ctrl+C (wine hands the process's SIGINT to its console handler) ends the
// monitor as on Linux: exit 0, the CSV whole, the port free for the next.
void TestWindows::ctrlCEndsTheMonitorCleanly()
{
    SimPty sim;
    QVERIFY(sim.start({QStringLiteral("--type"), QStringLiteral("5600")}));
    const QString port = mapPort(8, sim.path());
    const QString csv = dir_.filePath(QStringLiteral("stopped.csv"));
    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    monitor.setProcessEnvironment(env);
    monitor.start(qEnvironmentVariable("QEL_WINE", QStringLiteral("/usr/lib/wine/wine64")),
                  {qEnvironmentVariable("QEL_WINDOWS_DIR") + QStringLiteral("/qelctl.exe"), QStringLiteral("--port"), port,
                   QStringLiteral("monitor"), QStringLiteral("--csv"), csv});
    QVERIFY(monitor.waitForReadyRead(60000));
    QTest::qWait(500);
    ::kill(pid_t(monitor.processId()), SIGINT);
    QVERIFY(monitor.waitForFinished(20000));
    QCOMPARE(monitor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(monitor.exitCode(), 0);
    const QByteArray rows = readFile(csv);
    QVERIFY2(rows.startsWith("time,da_hex,percent\n") && rows.endsWith('\n') && rows.count('\n') >= 2, rows.constData());
    const QelctlRun next = wineQelctl({QStringLiteral("--port"), port, QStringLiteral("detect")});
    QCOMPARE(next.exit, 0);
}

// rfc2217:// to ser2net in front of qel-sim, as on Linux.
void TestWindows::throughADeviceServer()
{
    if (qel::test::ser2netProgram().isEmpty())
        QSKIP("ser2net is not installed");
    SimPty winSim, linSim;
    QVERIFY(winSim.start({QStringLiteral("--type"), QStringLiteral("527")}));
    QVERIFY(linSim.start({QStringLiteral("--type"), QStringLiteral("527")}));
    Ser2net winServer, linServer;
    QVERIFY2(winServer.start(winSim.path()), qPrintable(winServer.output()));
    QVERIFY2(linServer.start(linSim.path()), qPrintable(linServer.output()));
    const QString w = dir_.filePath(QStringLiteral("net-win.pdt"));
    const QString l = dir_.filePath(QStringLiteral("net-lin.pdt"));
    const QelctlRun a = wineQelctl({QStringLiteral("--port"), winServer.url(), QStringLiteral("read"), QStringLiteral("-o"), w});
    const QelctlRun b = qel::test::runQelctl(linServer.url(), {QStringLiteral("read"), QStringLiteral("-o"), l}, fixedDate());
    QVERIFY2(a.exit == 0, qPrintable(a.err));
    QCOMPARE(a.exit, b.exit);
    QCOMPARE(a.out, b.out);
    QCOMPARE(readFile(w), readFile(l));
    QCOMPARE(winSim.commands(), linSim.commands());
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
