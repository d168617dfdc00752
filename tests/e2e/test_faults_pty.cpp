// Faults on a real pseudo-terminal line, through qelctl: the converter
// unplugged in the middle of a read, a write and a monitor poll; a line full
// of garbage or of text without CR; a device slower than every limit. In
// every case: no hang, a non-zero exit with the communication message, no
// file written, and a read that works again once the device is back.
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using qel::ParameterRecord;
using qel::test::SimPty;

namespace {

const char *kMessage1 = "QEL-5600と通信ができません。";

struct Run {
    int exit = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

// Starts qelctl, optionally pulls the plug `killAfterMs` into the run.
Run qelctl(const QStringList &args, SimPty *unplug = nullptr, int killAfterMs = 0)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(qEnvironmentVariable("QELCTL"), args);
    Run r;
    if (unplug) {
        p.waitForFinished(killAfterMs);
        unplug->kill();
    }
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("hung");
        return r;
    }
    r.ms = t.elapsed();
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class FaultsPtyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("QELCTL").isEmpty(), "QELCTL not set");
        QVERIFY(dir_.isValid());
        link_ = dir_.filePath("line");
    }

    void unpluggedDuringRead()
    {
        SimPty sim;
        // A little latency makes the read last long enough to be cut.
        QVERIFY(sim.start({"--type", "5600", "--latency", "8", "--link", link_}));
        const QString file = dir_.filePath("cut.pdt");
        Run r = qelctl({"--port", link_, "read", "-o", file}, &sim, 300);
        QCOMPARE(r.exit, 1);
        // Cut in an exchange: the communication message; cut just before the
        // read's own presence check: the read does not start.
        QVERIFY2(r.err.contains(QString::fromUtf8("QEL-5600と通信ができません"))
                     || r.err.contains(QStringLiteral("did not answer \"Q\"")),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(file));

        // The device is back on the same path: reading works again.
        SimPty again;
        QVERIFY(again.start({"--type", "5600", "--link", link_}));
        Run ok = qelctl({"--port", link_, "read", "-o", file});
        QCOMPARE(ok.exit, 0);
        QCOMPARE(QFileInfo(file).size(), 74);
    }

    void unpluggedDuringWrite()
    {
        const QString file = dir_.filePath("w.pdt");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ParameterRecord().bytes());
        }
        SimPty sim;
        QVERIFY(sim.start({"--type", "5600", "--latency", "8", "--link", link_}));
        Run r = qelctl({"--port", link_, "write", file}, &sim, 400);
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("QEL-5600と通信ができません"))
                     || r.err.contains(QStringLiteral("did not accept"))
                     || r.err.contains(QStringLiteral("nothing written")),
                 qPrintable(r.err));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ParameterRecord().bytes()); // the file is not touched
    }

    void unpluggedDuringMonitor()
    {
        SimPty sim;
        QVERIFY(sim.start({"--type", "5600", "--link", link_}));
        Run r = qelctl({"--port", link_, "monitor", "--count", "1000"}, &sim, 1500);
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8(kMessage1)), qPrintable(r.err));
        QVERIFY(r.ms < 30000);
    }

    void noisyOrSlowLine_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("withinMs");
        QTest::newRow("garbage") << QStringList{"--stream", "garbage:5", "--fault", "M:silence"} << 10000;
        QTest::newRow("endless text without CR") << QStringList{"--stream", "nocr:5"} << 10000;
        QTest::newRow("flood") << QStringList{"--stream", "nocr:0"} << 10000;
        QTest::newRow("slower than every limit") << QStringList{"--latency", "2000"} << 60000;
    }
    void noisyOrSlowLine()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, withinMs);
        SimPty sim;
        QVERIFY(sim.start(QStringList{"--type", "5600", "--link", link_} + simArgs));
        const QString file = dir_.filePath("noise.pdt");
        Run r = qelctl({"--port", link_, "read", "-o", file});
        QCOMPARE(r.exit, 1);
        QVERIFY(!QFile::exists(file));
        QVERIFY2(r.ms < withinMs, qPrintable(QString::number(r.ms)));
    }

    // Line noise in a 5600 reply is asked for again (up to three sends); a
    // 52X image that is not 64 hexadecimal digits fails the read. A failed
    // read leaves the output file as it was.
    void malformedRepliesAreNotStored_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("exit");
        const QByteArray hex63(63, '0');
        QTest::newRow("5600 noise once") << "5600" << "RP01:wrong:1\\x80\\r:x1" << 0;
        QTest::newRow("5600 control character") << "5600" << "RP03:wrong:0\\x01\\r" << 1;
        QTest::newRow("5600 bytes 0x80 and above") << "5600" << "RP11:wrong:\\xFF\\xFE\\r" << 1;
        QTest::newRow("52X image one short") << "527" << QString::fromLatin1("R:wrong:" + hex63 + "\\r") << 1;
        QTest::newRow("52X image one long") << "527" << QString::fromLatin1("R:wrong:" + hex63 + "00\\r") << 1;
        QTest::newRow("52X image not hex") << "527" << QString::fromLatin1("R:wrong:" + hex63 + "G\\r") << 1;
    }
    void malformedRepliesAreNotStored()
    {
        QFETCH(QString, type);
        QFETCH(QString, fault);
        QFETCH(int, exit);
        SimPty sim;
        QVERIFY(sim.start({"--type", type, "--link", link_, "--fault", fault}));
        const QString file = dir_.filePath("malformed.pdt");
        const QByteArray old(74, 'o');
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == 74);
        f.close();
        const Run r = qelctl({"--port", link_, "read", "-o", file});
        QCOMPARE(r.exit, exit);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray now = f.readAll();
        if (exit != 0) {
            QCOMPARE(now, old);
            return;
        }
        // Asked again, and the clean reply stored.
        QCOMPARE(sim.commands().count("RP01\r"), 2);
        ParameterRecord rec;
        rec.setBytes(now);
        QVERIFY(!rec.bytes().contains('\x80'));
        QCOMPARE(rec.field(1), sim.state().mid(0, 1));
    }

    // A settings file whose field holds a byte no command may carry: the
    // write is refused before anything goes on the line.
    void writeRefusesWhatNoCommandMayCarry_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("CR in F8") << "5600" << 8 << QByteArray("1\rZ\r1");
        QTest::newRow("DEL in F2") << "5600" << 2 << QByteArray("01\x7f" "00");
        QTest::newRow("byte 0xE9 in F26, 527") << "527" << 26 << QByteArray("0\xe9");
    }
    void writeRefusesWhatNoCommandMayCarry()
    {
        QFETCH(QString, type);
        QFETCH(int, field);
        QFETCH(QByteArray, value);
        SimPty sim;
        QVERIFY(sim.start({"--type", type, "--link", link_}));
        const QByteArray before = sim.state();
        ParameterRecord rec;
        rec.setField(field, value);
        const QString file = dir_.filePath("unsendable.pdt");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(rec.bytes()) == 74);
        f.close();
        const Run r = qelctl({"--port", link_, "write", file});
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains(QStringLiteral("F%1").arg(field)), qPrintable(r.err));
        QVERIFY(sim.commands().isEmpty());
        QCOMPARE(sim.state(), before);
    }

private:
    QTemporaryDir dir_;
    QString link_;
};

QTEST_GUILESS_MAIN(FaultsPtyTest)
#include "test_faults_pty.moc"
