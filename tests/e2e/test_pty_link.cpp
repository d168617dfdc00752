// End to end on a real line: the Qt serial port and real timers against
// qel-sim on a pseudo-terminal. The line speed the program sets is what the
// simulated converter judges, so a 5600 answers only at 9600 baud and a 52X
// only at 1200; a killed simulator is an unplugged cable.

#include "SimPty.h"
#include "TestRig.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace qel;
using namespace qel::test;

class PtyLinkTest : public QObject {
    Q_OBJECT
private slots:
    void a5600AnswersOnlyAt9600();
    void a521AnswersOnlyAt1200();
    void fullReadAndWriteReachTheDevice();
    void unpluggedDeviceEndsTheExchange();
    void aFloodingLineWaitsInABoundedBuffer();
    void typeChangeSwitchesTheLineSpeed();
    void linkPathScriptedFaultAndExitDump();
    void aLongRunKeepsNoHistoryInMemory();
};

void PtyLinkTest::a5600AnswersOnlyAt9600()
{
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
    Live l(sim.path());
    l.st().ReplyTimeoutTicks = 15;
    QVERIFY(l.engine->OpenPort5600());
    QByteArray reply;
    QVERIFY(l.engine->DataReadWrite("M", reply));
    QCOMPARE(reply, QByteArray("A\r"));
    QVERIFY(l.engine->DataReadWrite("RV\r", reply));
    QCOMPARE(reply, QByteArray("01.00\r"));
    QCOMPARE(l.engine->ExitSettingMode(), ExitResult::Ok);
    l.engine->ClosePort();

    // Same device, same bytes, at 1200 baud: nothing comes back.
    QVERIFY(l.engine->OpenPort52X());
    QElapsedTimer t;
    t.start();
    QVERIFY(!l.engine->DataReadWrite("M", reply));
    QCOMPARE(reply, QByteArray());
    QVERIFY(t.elapsed() >= 140);
    QCOMPARE(l.boxes.shown.size(), 1);
    l.engine->ClosePort();

    // Reopened at its speed, it serves again.
    QVERIFY(l.engine->OpenPort5600());
    QVERIFY(l.engine->DataReadWrite("Q", reply));
    QCOMPARE(reply, QByteArray("960\r"));
    l.engine->ClosePort();
    QCOMPARE(sim.commands(), (QList<QByteArray>{"M", "RV\r", "E\r", "Q"}));
}

void PtyLinkTest::a521AnswersOnlyAt1200()
{
    SimPty sim;
    QVERIFY2(sim.start({"--type", "521", "--serial", "4660"}), qPrintable(sim.errorText()));
    Live l(sim.path());
    l.st().ReplyTimeoutTicks = 15;
    QVERIFY(l.engine->OpenPort5600());
    QByteArray reply;
    QVERIFY(!l.engine->DataReadWrite("M", reply));
    l.engine->ClosePort();

    l.st().ReplyTimeoutTicks = 150;
    QVERIFY(l.engine->OpenPort52X());
    QVERIFY(l.engine->DataReadWrite("M", reply));
    QCOMPARE(reply, QByteArray("A\r"));
    QVERIFY(l.engine->DataReadWrite("R\r", reply));
    QCOMPARE(reply.size(), 65);
    QCOMPARE(reply.mid(56, 9), QByteArray("12340064\r")); // serial 0x1234, version 1.00
    l.engine->ClosePort();
    QCOMPARE(sim.commands(), (QList<QByteArray>{"M", "R\r"}));
}

void PtyLinkTest::fullReadAndWriteReachTheDevice()
{
    // The device starts from a settings file; the program reads it whole,
    // changes the full scale and writes it back.
    QTemporaryDir dir;
    ParameterRecord rec;
    rec.setField(2, "04321");
    rec.setField(4, "-");
    rec.setField(5, "2");
    rec.setField(13, "7");
    rec.setField(31, "12250");
    rec.setField(32, "23456");
    rec.setField(33, "9675");
    rec.setField(34, "01.10"); // takes only the full value form
    QFile f(dir.filePath("dev.pdt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(rec.bytes());
    f.close();

    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--settings", f.fileName()}), qPrintable(sim.errorText()));
    Live l(sim.path());
    l.clock.setToday(QDate(2026, 12, 7));
    l.st().DeviceType = Type5600;
    l.st().ReplyTimeoutTicks = 15;
    QCOMPARE(l.engine->ReadData56(), CommResult::Ok);
    QCOMPARE(l.st().ParamRecord.bytes().left(54), rec.bytes().left(54));
    QCOMPARE(l.st().ParamRecord.field(32), QByteArray("23456"));
    QCOMPARE(l.st().ParamRecord.field(13), QByteArray("7"));

    l.st().ParamRecord.setField(2, "00750");
    l.st().ParamRecord.setField(5, "0");
    QCOMPARE(l.engine->WriteData56(), CommResult::Ok);
    QVERIFY(l.boxes.shown.isEmpty());
    const QByteArray dev = sim.state();
    QCOMPARE(dev.size(), 74);
    QCOMPARE(dev.mid(1, 9), QByteArray("00750E-0H"));
    QCOMPARE(dev.mid(54, 5), QByteArray("13487")); // 2026-12-07
    QVERIFY(sim.commands().contains("WP02,00750E-0H\r"));
}

void PtyLinkTest::unpluggedDeviceEndsTheExchange()
{
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--fault", "RV:silence"}), qPrintable(sim.errorText()));
    Live l(sim.path());
    l.st().ReplyTimeoutTicks = 100;
    QVERIFY(l.engine->OpenPort5600());
    QByteArray reply;
    QVERIFY(l.engine->DataReadWrite("Q", reply));
    sim.kill();
    QElapsedTimer t;
    t.start();
    // The exchange ends by its time-out at the latest, with message 1.
    QVERIFY(!l.engine->DataReadWrite("RV\r", reply));
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(l.boxes.shown.size(), 1);
    l.engine->ClosePort();
    // The device is gone: the port cannot be opened again.
    QVERIFY(!l.engine->OpenPort5600());
    QVERIFY(!l.engine->MSComm1().lastError().isEmpty());
    QCOMPARE(l.terminations, 0);
}

void PtyLinkTest::aFloodingLineWaitsInABoundedBuffer()
{
    // While nothing reads the port (the program shows a message box), a line
    // that floods fills a bounded buffer, not the program's memory.
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--stream", "nocr:0"}), qPrintable(sim.errorText()));
    Live l(sim.path());
    QVERIFY(l.engine->OpenPort5600());
    QTest::qWait(300);
    const int waiting = l.engine->MSComm1().bytesWaiting();
    QVERIFY(waiting > 0);
    QVERIFY2(waiting <= 65536, qPrintable(QString::number(waiting)));
    l.engine->ClosePort();
}

void PtyLinkTest::typeChangeSwitchesTheLineSpeed()
{
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
    Live l(sim.path());
    QCOMPARE(l.typeChange->TypeCheck().code, 4);
    // 5600 -> 521: found again at 1200 baud, still a 5600-series device.
    TypeChange::ChangeResult r = l.typeChange->ChangeType('1');
    QCOMPARE(r.detected, 1);
    QCOMPARE(l.st().DeviceType, Type521);
    QVERIFY(l.st().Is5600Series);
    QVERIFY(sim.commands().contains("Z"));
    QVERIFY(sim.commands().contains("1\r"));
    // And back.
    r = l.typeChange->ChangeType('4');
    QCOMPARE(r.detected, 4);
    QCOMPARE(l.st().DeviceType, Type5600);
    QCOMPARE(l.st().ParamRecord.field(32), QByteArray("20345"));
    QVERIFY(l.boxes.shown.isEmpty());
}

void PtyLinkTest::linkPathScriptedFaultAndExitDump()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("converter");
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--link", link, "--fault", "RP02:wrong:12345678\\r:x1"}),
             qPrintable(sim.errorText()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());
    Live l(link);
    l.st().ReplyTimeoutTicks = 15;
    QVERIFY(l.engine->OpenPort5600());
    QByteArray reply;
    QVERIFY(l.engine->DataReadWrite("RP02\r", reply));
    QCOMPARE(reply, QByteArray("12345678\r"));
    QVERIFY(l.engine->DataReadWrite("RP02\r", reply));
    QCOMPARE(reply, QByteArray("01000E+0H\r"));
    QVERIFY(l.engine->DataReadWrite("WP03,25\r", reply));
    QCOMPARE(reply, QByteArray("O\r"));
    l.engine->ClosePort();
    sim.stop();
    QVERIFY(!QFileInfo::exists(link));
    QFile state(sim.statePath());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QCOMPARE(state.readAll().mid(10, 2), QByteArray("25"));
}

namespace {

qint64 residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

void PtyLinkTest::aLongRunKeepsNoHistoryInMemory()
{
    // A million commands (no answers, so nothing queues) and as many bytes
    // of noise at the wrong speed: the simulator's memory stays where it
    // was, and the --log file still has every command.
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--fault", "M:silence"}), qPrintable(sim.errorText()));
    const qint64 before = residentKiB(sim.pid());
    QVERIFY(before > 0);

    const int fd = ::open(QFile::encodeName(sim.path()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    termios t;
    QCOMPARE(::tcgetattr(fd, &t), 0);
    ::cfmakeraw(&t);
    const QByteArray chunk(64 * 1024, 'M');
    const int total = 1 << 20;
    for (speed_t speed : {B4800, B9600}) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        QCOMPARE(::tcsetattr(fd, TCSADRAIN, &t), 0);
        for (int sent = 0; sent < total; sent += chunk.size())
            QCOMPARE(::write(fd, chunk.constData(), size_t(chunk.size())), ssize_t(chunk.size()));
        ::tcdrain(fd);
    }
    // "M" and a line end a command; the noise went first, so it is all in.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.logPath()).size() >= qint64(2 * total), 60000);
    const qint64 after = residentKiB(sim.pid());
    ::close(fd);
    QVERIFY2(after - before < 8 * 1024,
             qPrintable(QStringLiteral("%1 KiB before, %2 KiB after").arg(before).arg(after)));
}

QTEST_GUILESS_MAIN(PtyLinkTest)
#include "test_pty_link.moc"
