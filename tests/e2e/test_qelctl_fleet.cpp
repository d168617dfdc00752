// The commands for many converters against qel-sim on pseudo-terminals:
// scan, backup, write --expect-serial, and the device history every read keeps.
#include "QelctlRun.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using qel::ParameterRecord;
using qel::test::QelctlRun;
using qel::test::SimPty;

class TestQelctlFleet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void scanFindsEveryConverter();
    void backupSavesEachAndReportsAFailedRead();
    void expectSerialRefusesTheWrongConverter_data();
    void expectSerialRefusesTheWrongConverter();
    void historyKeepsEverySuccessfulRead();

private:
    QelctlRun run(const QStringList &args, const QString &port);
    QStringList historyFiles();
    QTemporaryDir dir_;
    QTemporaryDir data_; // XDG_DATA_HOME of the runs
};

QelctlRun TestQelctlFleet::run(const QStringList &args, const QString &port)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07"));
    return qel::test::runQelctl(port, args, env);
}

QStringList TestQelctlFleet::historyFiles()
{
    QStringList files;
    QDirIterator it(data_.filePath(QStringLiteral("qel-settings/history")), {QStringLiteral("*.pdt")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(data_.path().size() + 1);
    files.sort();
    return files;
}

void TestQelctlFleet::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    QVERIFY(dir_.isValid() && data_.isValid());
}

void TestQelctlFleet::scanFindsEveryConverter()
{
    SimPty a, b, c;
    QVERIFY2(a.start({"--type", "5600", "--serial", "21111"}), qPrintable(a.errorText()));
    QVERIFY2(b.start({"--type", "521", "--serial", "22222"}), qPrintable(b.errorText()));
    QVERIFY2(c.start({"--type", "527", "--serial", "33333"}), qPrintable(c.errorText()));
    const QString missing = dir_.filePath(QStringLiteral("no-such-tty"));

    // The first port as the global option, the others after the command.
    QelctlRun r = qel::test::runQelctl(a.path(), {"scan", "--port", b.path(), "--port", c.path(),
                                                  "--port", missing, "--json"});
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    const QJsonArray all = QJsonDocument::fromJson(r.lines.join(QLatin1Char('\n')).toUtf8()).array();
    QCOMPARE(all.size(), 4);
    const QStringList expect[] = {{a.path(), "5600", "21111"},
                                  {b.path(), "521", "22222"},
                                  {c.path(), "527", "33333"},
                                  {missing, "none", ""}};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject o = all[i].toObject();
        QCOMPARE(o.value("port").toString(), expect[i][0]);
        QCOMPARE(o.value("type").toString(), expect[i][1]);
        QCOMPARE(o.value("serial").toString(), expect[i][2]);
    }
    QVERIFY(!all[0].toObject().value("version").toString().isEmpty());

    // Text form: one line a port; nothing answering at all is exit 1.
    r = run({"scan"}, missing);
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.lines, QStringList{missing + "\tnone\t-\t-"});

    // Without --port: the ports found, by their by-id link, then the stored
    // COM paths; a converter both found and stored under another of its
    // names is probed once.
    const QString byId = dir_.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    QVERIFY(QFile::link(a.path(), byId));
    QFile list(dir_.filePath(QStringLiteral("ports.tsv")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write((a.path() + "\t" + byId + "\tFT232R USB UART\tFTDI\tA1B2C3\n").toUtf8());
    list.close();
    QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("config/QEL-5600"))));
    QFile conf(dir_.filePath(QStringLiteral("config/QEL-5600/QEL-5600.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(("[DevicePath]\nCOM1=" + a.path() + "\nCOM2=" + b.path() + "\n").toUtf8());
    conf.close();
    QProcessEnvironment env;
    env.insert(QStringLiteral("QEL_PORT_LIST"), list.fileName());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    r = qel::test::runQelctl(QString(), {"scan"}, env);
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines.size(), 2);
    QVERIFY2(r.lines[0].startsWith(byId + "\t5600\t21111\t"), qPrintable(r.lines[0]));
    QVERIFY2(r.lines[1].startsWith(b.path() + "\t521\t22222\t"), qPrintable(r.lines[1]));
}

void TestQelctlFleet::backupSavesEachAndReportsAFailedRead()
{
    SimPty good56, good52, broken;
    QVERIFY2(good56.start({"--type", "5600", "--serial", "24444"}), qPrintable(good56.errorText()));
    QVERIFY2(good52.start({"--type", "521", "--serial", "15555"}), qPrintable(good52.errorText()));
    QVERIFY2(broken.start({"--type", "5600", "--serial", "26666", "--fault", "RP02:wrong:123\\r"}),
             qPrintable(broken.errorText()));
    const QString out = dir_.filePath(QStringLiteral("backup"));

    QelctlRun r = run({"backup", out, "--port", good52.path(), "--port", broken.path()},
                      good56.path());
    QCOMPARE(r.exit, 1); // the broken one answered detection but not its read
    QVERIFY2(r.err.contains(broken.path()), qPrintable(r.err));
    QCOMPARE(r.lines.size(), 2);
    const QRegularExpression name(QStringLiteral("/(5600-24444|521-15555)-\\d{8}-\\d{6}\\.pdt$"));
    QStringList saved = QDir(out).entryList(QDir::Files, QDir::Name);
    QCOMPARE(saved.size(), 2);
    for (const QString &line : r.lines) {
        QVERIFY2(name.match(line).hasMatch(), qPrintable(line));
        QFile f(line);
        QVERIFY(f.open(QIODevice::ReadOnly));
        ParameterRecord rec;
        rec.setBytes(f.readAll());
        QCOMPARE(rec.field(32).trimmed(), line.contains("5600-") ? QByteArray("24444") : QByteArray("15555"));
    }
    QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).size() == 2); // no temporary left

    // All well: exit 0.
    r = run({"backup", out}, good52.path());
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.lines.size(), 1);

    // A folder named in Shift-JIS ("テスト") is made and written under those
    // bytes, and the file is named in them.
    const QByteArray sjis("\x83\x65\x83\x58\x83\x67");
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("P"), good52.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("N=$(printf '\\203\\145\\203\\130\\203\\147'); "
                                                  "exec \"$QELCTL\" --port \"$P\" backup \"$N/sub\"")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray said = p.readAllStandardOutput();
    QVERIFY2(said.startsWith(sjis + "/sub/521-15555-"), said.toHex(' ').constData());
    struct stat st;
    QCOMPARE(::stat((QFile::encodeName(dir_.path()) + '/' + said.trimmed()).constData(), &st), 0);
}

void TestQelctlFleet::expectSerialRefusesTheWrongConverter_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("writeCommand");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("other");
    QTest::newRow("5600") << "5600" << QByteArray("WP") << "27700" << "27701";
    QTest::newRow("527") << "527" << QByteArray("W") << "770" << "771";
}

void TestQelctlFleet::expectSerialRefusesTheWrongConverter()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, writeCommand);
    QFETCH(QString, serial);
    QFETCH(QString, other);
    ParameterRecord rec;
    rec.setField(2, "02500");
    const QString file = dir_.filePath(QStringLiteral("expect-%1.pdt").arg(type));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(rec.bytes()) == 74);
    f.close();

    SimPty sim;
    QVERIFY2(sim.start({"--type", type, "--serial", serial}), qPrintable(sim.errorText()));
    const QByteArray before = sim.state();
    QelctlRun r = run({"write", file, "--expect-serial", other}, sim.path());
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains(serial) && r.err.contains(other), qPrintable(r.err));
    for (const QByteArray &c : sim.commands())
        QVERIFY2(!c.startsWith(writeCommand), c.constData());
    QCOMPARE(sim.state(), before);

    // The right one (leading zeros do not matter) is written and verified.
    r = run({"write", "--verify", file, "--expect-serial", "0" + serial}, sim.path());
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    ParameterRecord device;
    device.setBytes(sim.state());
    QCOMPARE(device.field(2), QByteArray("02500"));

    r = run({"write", file, "--expect-serial"}, sim.path());
    QCOMPARE(r.exit, 2);
}

void TestQelctlFleet::historyKeepsEverySuccessfulRead()
{
    QDir(data_.path()).removeRecursively();
    QDir().mkpath(data_.path());
    SimPty sim, broken;
    QVERIFY2(sim.start({"--type", "521", "--serial", "8888"}), qPrintable(sim.errorText()));
    QVERIFY2(broken.start({"--type", "5600", "--serial", "9999", "--fault", "RP02:wrong:123\\r"}),
             qPrintable(broken.errorText()));

    QCOMPARE(run({"read", "-o", dir_.filePath("h1.pdt")}, sim.path()).exit, 0);
    QCOMPARE(run({"read", "-o", dir_.filePath("h2.pdt")}, sim.path()).exit, 0);
    QCOMPARE(run({"read", "-o", dir_.filePath("h3.pdt")}, broken.path()).exit, 1);
    QCOMPARE(run({"detect"}, broken.path()).exit, 0); // no read of the settings

    const QStringList files = historyFiles();
    QCOMPARE(files.size(), 2);
    for (const QString &p : files) {
        QVERIFY2(p.startsWith("qel-settings/history/521-8888/"), qPrintable(p));
        QFile f(data_.filePath(p));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QFile read(dir_.filePath("h1.pdt"));
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), read.readAll());
    }
    // Nothing extra on the line: the commands a read sends, twice.
    QCOMPARE(sim.commands().count("R\r"), 4);

    QelctlRun r = run({"history", "8888"}, sim.path());
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.lines.size(), 2);
    QVERIFY(r.lines[0].contains("\t521\t8888\t"));
    r = run({"history", "9999"}, sim.path());
    QCOMPARE(r.lines.size(), 0);
}

QTEST_GUILESS_MAIN(TestQelctlFleet)
#include "test_qelctl_fleet.moc"
