// qelctl type-change and monitor against qel-sim on a pseudo-terminal, through
// the real serial port and real timers.
#include "QelctlRun.h"
#include "SimPty.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using qel::test::SimPty;

namespace {

using Run = qel::test::QelctlRun;

Run qelctl(const QString &port, const QStringList &args, int timeoutMs = 60000)
{
    return qel::test::runQelctl(port, args, {}, timeoutMs);
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

    void usageAndMissingDevice()
    {
        QCOMPARE(qelctl("/dev/null", {"monitor"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"monitor", "--count", "0"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"monitor", "--count", "x"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"type-change", "600"}).exit, 2);
        QCOMPARE(qelctl("/dev/null", {"type-change"}).exit, 2);
        const Run r = qelctl("/nonexistent/tty", {"monitor", "--count", "1"});
        QCOMPARE(r.exit, 1);
        QVERIFY(r.lines.isEmpty());
        const Run t = qelctl("/nonexistent/tty", {"type-change", "521"});
        QCOMPARE(t.exit, 1);
        QCOMPARE(t.lines, QStringList{"none"});
    }
};

QTEST_GUILESS_MAIN(TestQelctlMonitor)
#include "test_qelctl_monitor.moc"
