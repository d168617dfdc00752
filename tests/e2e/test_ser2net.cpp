// qelctl through a real device server: ser2net on a loopback port with a
// configuration of its own, qel-sim on the pseudo-terminal behind it, and
// the tool addressing rfc2217://127.0.0.1:PORT. Detection depends on the
// line speed the client sets over the network (a 5600 answers only at 9600
// baud, a 52X only at 1200). ser2net runs as shipped (one client at a time,
// a new one refused while the last session is still closing) and with
// kickolduser (a new client takes the line over).
#include "QelctlRun.h"
#include "Ser2net.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using qel::ParameterRecord;
using qel::test::QelctlRun;
using qel::test::Ser2net;
using qel::test::ser2netProgram;
using qel::test::SimPty;

namespace {

QelctlRun qelctl(const QString &port, const QStringList &args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07")); // date code 1707
    return qel::test::runQelctl(port, args, env);
}

} // namespace

class TestSer2net : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void detectReadWriteMonitor_data();
    void detectReadWriteMonitor();
    void backToBackCommands_data();
    void backToBackCommands();

private:
    QTemporaryDir dir_;
};

void TestSer2net::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    if (ser2netProgram().isEmpty())
        QSKIP("ser2net is not installed (scripts/setup installs it)");
    QVERIFY(dir_.isValid());
}

void TestSer2net::detectReadWriteMonitor_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("kickOldUser");
    for (const char *type : {"5600", "521"}) {
        QTest::addRow("%s, as shipped", type) << type << false;
        QTest::addRow("%s, kickolduser", type) << type << true;
    }
}

void TestSer2net::detectReadWriteMonitor()
{
    QFETCH(QString, type);
    QFETCH(bool, kickOldUser);
    SimPty sim;
    QVERIFY2(sim.start({"--type", type, "--serial", "34567"}), qPrintable(sim.errorText()));
    Ser2net server;
    QVERIFY2(server.start(sim.path(), kickOldUser), qPrintable(server.output()));

    const QString trace = dir_.filePath(QStringLiteral("wire-%1.txt").arg(type));
    QelctlRun r = qelctl(server.url(), {"detect", "--trace", trace});
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines, QStringList{type});
    // The wire trace of a network line: the Telnet negotiation below the
    // data, the line set at each speed as the server answered it.
    QFile t(trace);
    QVERIFY(t.open(QIODevice::ReadOnly));
    const QString wire = QString::fromUtf8(t.readAll());
    for (const QString &step :
         {QStringLiteral(" open %1: 9600,N,8,1, RTS off\n").arg(server.url()),
          QStringLiteral(" telnet > IAC WILL BINARY; IAC DO BINARY"), QStringLiteral(" telnet < IAC DO COM-PORT-OPTION\n"),
          QStringLiteral(" telnet > IAC SB COM-PORT-OPTION SET-BAUDRATE 9600 IAC SE"),
          QStringLiteral(" telnet < IAC SB COM-PORT-OPTION SET-BAUDRATE (answer) 9600 IAC SE\n"),
          QStringLiteral(" > 45 0D  \"E\\r\"\n")})
        QVERIFY2(wire.contains(step), qPrintable(step + "\n" + wire));

    const QString file = dir_.filePath(QStringLiteral("net-%1.pdt").arg(type));
    r = qelctl(server.url(), {"read", "-o", file});
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    ParameterRecord rec;
    rec.setBytes(f.readAll());
    f.close();
    QCOMPARE(rec.field(32), QByteArray("34567"));
    if (type == QLatin1String("5600"))
        QCOMPARE(rec.bytes(), sim.state()); // a 52X holds some settings in fewer digits

    // A new full scale and span written through the server reach the device.
    rec.setField(2, "02500");
    rec.setField(26, "00300");
    const QString edited = dir_.filePath(QStringLiteral("net-%1-edited.pdt").arg(type));
    QFile e(edited);
    QVERIFY(e.open(QIODevice::WriteOnly) && e.write(rec.bytes()) == 74);
    e.close();
    r = qelctl(server.url(), {"write", "--verify", edited});
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    ParameterRecord device;
    device.setBytes(sim.state());
    QCOMPARE(device.field(2), QByteArray("02500"));
    QCOMPARE(device.field(26), QByteArray("00300"));
    QCOMPARE(device.field(31).trimmed(), QByteArray("1707"));

    r = qelctl(server.url(), {"monitor", "--count", "3"});
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines.size(), 3);
}

void TestSer2net::backToBackCommands_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("other");
    QTest::newRow("5600") << "5600" << "521";
    QTest::newRow("521") << "521" << "5600";
}

void TestSer2net::backToBackCommands()
{
    // One command after the other, each starting while the server may still
    // be closing the last one's session, through ser2net as shipped. A type
    // change makes the client switch the server's line speed.
    QFETCH(QString, type);
    QFETCH(QString, other);
    SimPty sim;
    QVERIFY2(sim.start({"--type", type, "--serial", "34567"}), qPrintable(sim.errorText()));
    Ser2net server;
    QVERIFY2(server.start(sim.path()), qPrintable(server.output()));
    const QString file = dir_.filePath(QStringLiteral("rounds-%1.pdt").arg(type));
    const QList<QPair<QStringList, QStringList>> round = {
        {{"detect"}, {type}},
        {{"read", "-o", file}, {}},
        {{"write", file}, {}},
        {{"type-change", other}, {other}},
        {{"type-change", type}, {type}},
    };
    for (int n = 1; n <= 3; ++n) {
        for (const auto &[args, lines] : round) {
            const QelctlRun r = qelctl(server.url(), args);
            QVERIFY2(r.exit == 0, qPrintable(QStringLiteral("round %1, %2: %3")
                                                 .arg(n)
                                                 .arg(args.join(u' '), r.err)));
            QCOMPARE(r.lines, lines);
        }
    }
}

QTEST_GUILESS_MAIN(TestSer2net)
#include "test_ser2net.moc"
