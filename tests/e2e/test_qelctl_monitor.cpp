// qelctl type-change and monitor against qel-sim on a pseudo-terminal, through
// the real serial port and real timers.
#include "QelctlRun.h"
#include "SimPty.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using qel::test::SimPty;

namespace {

using Run = qel::test::QelctlRun;

Run qelctl(const QString &port, const QStringList &args, int timeoutMs = 60000)
{
    return qel::test::runQelctl(port, args, {}, timeoutMs);
}

// A CSV row "time,da_hex,percent": the time parsed, the values checked.
QDateTime csvRowTime(const QString &row, const QString &hex, const QString &percent)
{
    const QStringList f = row.split(u',');
    if (f.size() != 3 || f[1] != hex || f[2] != percent)
        return {};
    // Local time with milliseconds and the offset: "2026-12-07T10:00:00.125+09:00".
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));
    if (!form.match(f[0]).hasMatch())
        return {};
    return QDateTime::fromString(f[0], Qt::ISODateWithMs);
}

} // namespace

class TestQelctlMonitor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("QELCTL"))
            QSKIP("QELCTL is not set");
    }

    void typeChangeThereAndBack()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
        Run r = qelctl(sim.path(), {"type-change", "527"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.lines, QStringList{"527"});
        QVERIFY(sim.commands().contains("Z"));
        QVERIFY(sim.commands().contains("7\r"));

        r = qelctl(sim.path(), {"type-change", "5600"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.lines, QStringList{"5600"});
    }

    void genuine52XStaysWhatItIs()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "521"}), qPrintable(sim.errorText()));
        const Run r = qelctl(sim.path(), {"type-change", "5600"});
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.lines, QStringList{"521"});
        QVERIFY(r.err.contains(QStringLiteral("QEL-5200はQEL-5600モードにできません")));
        // And why, in the tool's words: the serial number (qel-sim's default 12345).
        QVERIFY2(r.err.contains(QStringLiteral("qelctl: a converter with serial number 12345 cannot work as a 5600: "
                                               "only one whose serial number is 20000 or above")),
                 qPrintable(r.err));
        QVERIFY(!sim.commands().contains("Z"));
    }

    void monitorTwentyReadings()
    {
        SimPty sim;
        // The first "Q" is detection's (a "?" is an answer too), the second the first reading.
        QVERIFY2(sim.start({"--type", "5600", "--counts", "4000,0,2400", "--fault", "Q:refuse:x2"}),
                 qPrintable(sim.errorText()));
        const Run r = qelctl(sim.path(), {"monitor", "--count", "20"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.lines.size(), 20);
        QCOMPARE(r.lines.first(), QStringLiteral("- -"));
        for (int i = 1; i < 20; ++i)
            QCOMPARE(r.lines[i], QStringLiteral("960 60.00"));
        const auto cmds = sim.commands();
        QCOMPARE(cmds.count("Q"), 21);
        QCOMPARE(cmds.count("P"), 1);
        QVERIFY(r.err.isEmpty());
    }

    void monitorOn52X()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "527", "--counts", "1000,200,600"}), qPrintable(sim.errorText()));
        const Run r = qelctl(sim.path(), {"monitor", "--count", "3"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.lines, (QStringList{"258 50.00", "258 50.00", "258 50.00"}));
        QVERIFY(sim.commands().contains("R\r"));
    }

    void monitorClosedByADeadLineFails()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600", "--fault", "T:silence"}), qPrintable(sim.errorText()));
        const Run r = qelctl(sim.path(), {"monitor", "--count", "5"});
        QCOMPARE(r.exit, 1);
        QVERIFY(r.err.contains(QStringLiteral("Error in MonitorDataReadWrite()")));
        QVERIFY(r.err.contains(QStringLiteral("QEL-5600と通信ができません。")));
        QCOMPARE(sim.commands().count("T\r"), 20);
    }

    // 20 readings recorded: a header and 20 rows whose times rise by about
    // the poll period and whose values follow from the simulator's counts:
    // 100 x (2200 - 400) / (4000 - 400) = 50.00, 2200 = hex 898.
    void monitorRecordsCsv()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600", "--counts", "4000,400,2200"}),
                 qPrintable(sim.errorText()));
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("out.csv"));
        const Run r = qelctl(sim.path(), {"monitor", "--count", "20", "--csv", csv, "--time"});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.err.isEmpty());
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QVERIFY(content.endsWith('\n'));
        const QStringList rows = QString::fromLatin1(content).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 21);
        QCOMPARE(rows[0], QStringLiteral("time,da_hex,percent"));
        QDateTime prev;
        for (int i = 1; i < rows.size(); ++i) {
            const QDateTime t = csvRowTime(rows[i], QStringLiteral("898"), QStringLiteral("50.00"));
            QVERIFY2(t.isValid(), qPrintable(rows[i]));
            if (prev.isValid()) {
                // 100 ms timer + 20 ms pause + reply; a loaded machine adds to it.
                const qint64 gap = prev.msecsTo(t);
                QVERIFY2(gap >= 100 && gap < 1000, qPrintable(QString::number(gap)));
            }
            prev = t;
        }
        // The plain lines still go to stdout, with the time first (--time).
        QCOMPARE(r.lines.size(), 20);
        QCOMPARE(r.lines[0], QString(rows[1]).replace(u',', u' '));

        // A file that cannot be written is a file error, not a recording.
        const Run full = qelctl(sim.path(), {"monitor", "--count", "3", "--csv", "/dev/full"});
        QCOMPARE(full.exit, 3);
        QVERIFY(full.err.contains(QStringLiteral("/dev/full")));
    }

    // Without --count the monitor runs until a signal; the signal ends it
    // cleanly: the CSV on stdout is whole, exit 0, the port free at once.
    void monitorEndsCleanlyOnSignal_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void monitorEndsCleanlyOnSignal()
    {
        QFETCH(int, sig);
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600", "--counts", "4000,0,2400"}), qPrintable(sim.errorText()));
        QProcess p;
        p.start(qEnvironmentVariable("QELCTL"),
                {QStringLiteral("--port"), sim.path(), QStringLiteral("monitor"),
                 QStringLiteral("--csv"), QStringLiteral("-")});
        QVERIFY(p.waitForStarted());
        QByteArray got;
        QElapsedTimer t;
        t.start();
        // A few seconds of readings (at least a flush's worth of rows).
        while (got.count('\n') < 6 && t.elapsed() < 20000 && p.state() == QProcess::Running) {
            p.waitForReadyRead(200);
            got += p.readAllStandardOutput();
        }
        QTest::qWait(1500);
        QVERIFY(p.state() == QProcess::Running);
        ::kill(pid_t(p.processId()), sig);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        got += p.readAllStandardOutput();
        QVERIFY(got.endsWith('\n'));
        const QStringList rows = QString::fromLatin1(got).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows[0], QStringLiteral("time,da_hex,percent"));
        QVERIFY(rows.size() >= 8);
        for (int i = 1; i < rows.size(); ++i)
            QVERIFY2(csvRowTime(rows[i], QStringLiteral("960"), QStringLiteral("60.00")).isValid(),
                     qPrintable(rows[i]));
        // Every reading asked for was recorded.
        QCOMPARE(sim.commands().count("Q"), rows.size()); // detection's "Q" + one a row
        const Run d = qelctl(sim.path(), {"detect"}, 5000);
        QCOMPARE(d.exit, 0);
        QCOMPARE(d.lines, QStringList{"5600"});
    }

    void usageAndMissingDevice()
    {
        QCOMPARE(qelctl("/dev/null", {"monitor", "--count", "-1"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"monitor", "--csv"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"monitor", "--every", "2"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"monitor", "--count", "x"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"type-change", "600"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"type-change"}).exit, 2);
        const Run r = qelctl("/nonexistent/tty", {"monitor", "--count", "1"});
        QCOMPARE(r.exit, 1);
        QVERIFY(r.lines.isEmpty());
        // Endless, but nothing answers: it ends at once.
        QCOMPARE(qelctl("/nonexistent/tty", {"monitor"}).exit, 1);
        const Run t = qelctl("/nonexistent/tty", {"type-change", "521"});
        QCOMPARE(t.exit, 1);
        QCOMPARE(t.lines, QStringList{"none"});
    }
};

QTEST_GUILESS_MAIN(TestQelctlMonitor)
#include "test_qelctl_monitor.moc"
