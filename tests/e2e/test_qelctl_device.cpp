// qelctl detect, read and write against qel-sim on a pseudo-terminal, through
// the real serial port and real timers.
#include "QelctlRun.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using qel::ParameterRecord;
using qel::test::SimPty;

namespace {

using Run = qel::test::QelctlRun;

Run qelctl(const QString &port, const QStringList &args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07")); // date code 1707
    return qel::test::runQelctl(port, args, env);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Settings that differ from the defaults and that both generations can hold.
ParameterRecord editedRecord()
{
    ParameterRecord rec;
    rec.setField(1, "1");
    rec.setField(2, "02500");
    rec.setField(5, "1");
    rec.setField(7, "05");
    rec.setField(9, "010");
    rec.setField(11, "1");
    rec.setField(14, "2");
    rec.setField(25, "1");
    rec.setField(26, "00300");
    return rec;
}

} // namespace

class TestQelctlDevice : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void detectPrintsTheType_data();
    void detectPrintsTheType();
    void readPutsTheExchangeOnTheLine_data();
    void readPutsTheExchangeOnTheLine();
    void storedPortWithoutPortOption();
    void noDeviceCreatesNothing();
    void readSavesTheRecord_data();
    void readSavesTheRecord();
    void failedReadLeavesFileAlone();
    void writeReachesTheDevice_data();
    void writeReachesTheDevice();
    void refusedWriteAndBadFile();
    void verifyFindsWhatTheDeviceHolds();

private:
    QTemporaryDir dir_;
};

void TestQelctlDevice::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    QVERIFY(dir_.isValid());
}

void TestQelctlDevice::detectPrintsTheType_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("5600") << "5600";
    QTest::newRow("521") << "521";
    QTest::newRow("527") << "527";
}

void TestQelctlDevice::detectPrintsTheType()
{
    QFETCH(QString, type);
    SimPty sim;
    QVERIFY2(sim.start({"--type", type}), qPrintable(sim.errorText()));
    const Run r = qelctl(sim.path(), {"detect"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.lines, QStringList{type});
}

void TestQelctlDevice::readPutsTheExchangeOnTheLine_data()
{
    // What the device hears at its own speed: detection (the "E" probe and
    // "Q"; for a 52X the image read with its own "Q"), then the Read button's
    // presence check and the read with its own check.
    QTest::addColumn<QString>("type");
    QTest::addColumn<QList<QByteArray>>("expected");
    QList<QByteArray> read56{"Q", "M", "RV\r", "RS\r", "RC\r", "RP41\r", "RP01\r", "RP02\r",
                             "RP03\r", "RP11\r", "RP12\r", "RP13\r", "RP14\r", "RP15\r",
                             "RP16\r", "RP21\r", "RP22\r", "RP23\r", "RP31\r", "RP32\r", "E\r"};
    QTest::newRow("5600") << "5600"
                          << (QList<QByteArray>{"E\r", "Q", "Q"} + read56);
    const QList<QByteArray> read52{"Q", "M", "R\r", "E\r"};
    QTest::newRow("527") << "527"
                         << (QList<QByteArray>{"E\r", "Q"} + read52 + QList<QByteArray>{"Q"} + read52);
}

void TestQelctlDevice::readPutsTheExchangeOnTheLine()
{
    QFETCH(QString, type);
    QFETCH(QList<QByteArray>, expected);
    SimPty sim;
    QVERIFY2(sim.start({"--type", type}), qPrintable(sim.errorText()));
    const QString file = dir_.filePath(QStringLiteral("line-%1.pdt").arg(type));
    const Run r = qelctl(sim.path(), {"read", "-o", file});
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(sim.commands(), expected);
}

void TestQelctlDevice::storedPortWithoutPortOption()
{
    // Without --port the stored port number is opened through its device
    // mapping; "2.5" reads as port 2 (halves go to the even number).
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
    QTemporaryDir config;
    QVERIFY(config.isValid() && QDir(config.path()).mkpath(QStringLiteral("QEL-5600")));
    QFile conf(config.filePath(QStringLiteral("QEL-5600/QEL-5600.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[CommPort]\nNo.=2.5\n\n[DevicePath]\nCOM2=" + sim.path().toLocal8Bit()
               + "\nCOM3=" + dir_.filePath(QStringLiteral("no-such-tty")).toLocal8Bit() + "\n");
    conf.close();

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("QELCTL"), {QStringLiteral("detect")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray("5600"));
}

void TestQelctlDevice::noDeviceCreatesNothing()
{
    // A line with nothing on it: a pseudo-terminal whose device never answers.
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--fault", "Q:silence", "--fault", "E:silence"}),
             qPrintable(sim.errorText()));
    Run r = qelctl(sim.path(), {"detect"});
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.lines, QStringList{"none"});
    // The box's text as it stands, its line feed included.
    QVERIFY2(r.err.contains(QStringLiteral("QEL-5600と通信ができません\n電源、通信線を確認してください。")),
             qPrintable(r.err));

    const QString file = dir_.filePath(QStringLiteral("none.pdt"));
    r = qelctl(sim.path(), {"read", "-o", file});
    QCOMPARE(r.exit, 1);
    QVERIFY(!QFile::exists(file));

    // No such port at all.
    r = qelctl(dir_.filePath(QStringLiteral("no-such-tty")), {"read", "-o", file});
    QCOMPARE(r.exit, 1);
    QVERIFY(!QFile::exists(file));
}

void TestQelctlDevice::readSavesTheRecord_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("5600") << "5600";
    QTest::newRow("521") << "521";
}

void TestQelctlDevice::readSavesTheRecord()
{
    QFETCH(QString, type);
    const ParameterRecord settings = editedRecord();
    const QString settingsFile = dir_.filePath(QStringLiteral("device-%1.pdt").arg(type));
    QVERIFY(writeFile(settingsFile, settings.bytes()));

    SimPty sim;
    QVERIFY2(sim.start({"--type", type, "--serial", "23456", "--settings", settingsFile}),
             qPrintable(sim.errorText()));
    const QString file = dir_.filePath(QStringLiteral("read-%1.pdt").arg(type));
    const Run r = qelctl(sim.path(), {"read", "-o", file});
    QVERIFY2(r.exit == 0, qPrintable(r.err));

    const QByteArray bytes = readFile(file);
    QCOMPARE(bytes.size(), 74);
    ParameterRecord got;
    got.setBytes(bytes);
    for (int f : {1, 2, 5, 7, 9, 11, 14, 25, 26})
        QCOMPARE(got.field(f), settings.field(f));
    QCOMPARE(got.field(32), QByteArray("23456"));
}

void TestQelctlDevice::failedReadLeavesFileAlone()
{
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--fault", "RP02:wrong:123\\r"}),
             qPrintable(sim.errorText()));
    const QString file = dir_.filePath(QStringLiteral("kept.pdt"));
    const QByteArray before = ParameterRecord().bytes();
    QVERIFY(writeFile(file, before));

    const Run r = qelctl(sim.path(), {"read", "-o", file});
    QCOMPARE(r.exit, 1);
    QCOMPARE(readFile(file), before);
    QCOMPARE(sim.commands().count("RP02\r"), 3);
}

void TestQelctlDevice::writeReachesTheDevice_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("5600") << "5600";
    QTest::newRow("527") << "527";
}

void TestQelctlDevice::writeReachesTheDevice()
{
    QFETCH(QString, type);
    const ParameterRecord rec = editedRecord();
    const QString file = dir_.filePath(QStringLiteral("write-%1.pdt").arg(type));
    QVERIFY(writeFile(file, rec.bytes()));

    SimPty sim;
    QVERIFY2(sim.start({"--type", type}), qPrintable(sim.errorText()));
    const Run r = qelctl(sim.path(), {"write", file});
    QVERIFY2(r.exit == 0, qPrintable(r.err));

    ParameterRecord device;
    device.setBytes(sim.state());
    for (int f : {1, 2, 5, 7, 9, 11, 14, 25, 26})
        QCOMPARE(device.field(f), rec.field(f));
    QCOMPARE(device.field(31).trimmed(), QByteArray("1707"));
    if (type == QLatin1String("5600"))
        QVERIFY(sim.commands().contains("WP41,1707 \r"));
    QCOMPARE(readFile(file), rec.bytes()); // the file itself is not rewritten
}

void TestQelctlDevice::refusedWriteAndBadFile()
{
    const QString file = dir_.filePath(QStringLiteral("refused.pdt"));
    QVERIFY(writeFile(file, editedRecord().bytes()));
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--fault", "WP11:refuse"}), qPrintable(sim.errorText()));
    Run r = qelctl(sim.path(), {"write", file});
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(QStringLiteral("設定範囲外です。")));
    for (const QByteArray &c : sim.commands())
        QVERIFY(!c.startsWith("WP12") && !c.startsWith("WP41"));

    const QString shortFile = dir_.filePath(QStringLiteral("short.pdt"));
    QVERIFY(writeFile(shortFile, QByteArray(40, '0')));
    const int before = sim.commands().size();
    r = qelctl(sim.path(), {"write", shortFile});
    QCOMPARE(r.exit, 3);
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(sim.commands().size(), before); // nothing sent
}

void TestQelctlDevice::verifyFindsWhatTheDeviceHolds()
{
    const QString file = dir_.filePath(QStringLiteral("verify.pdt"));
    QVERIFY(writeFile(file, editedRecord().bytes()));
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
        const Run r = qelctl(sim.path(), {"write", "--verify", file});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
    }
    {
        // The device hands back another bias than the one it accepted.
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600", "--fault", "RP03:wrong:42\\r"}),
                 qPrintable(sim.errorText()));
        const Run r = qelctl(sim.path(), {"write", "--verify", file});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains(QStringLiteral("WP03,05")) && r.err.contains(QStringLiteral("WP03,42")),
                 qPrintable(r.err));
    }
}

QTEST_GUILESS_MAIN(TestQelctlDevice)
#include "test_qelctl_device.moc"
