// The simulated converter is the yardstick of every device test: these check
// that it speaks both generations' protocols, switches types and speeds, and
// misbehaves exactly as scripted.

#include "SimDevice.h"
#include "SimPort.h"
#include "platform/VirtualClock.h"

#include <QtTest>

using namespace qel;
using namespace qel::sim;

namespace {

QByteArray joined(const QList<SimReply> &rs)
{
    QByteArray out;
    for (const auto &r : rs)
        out += r.bytes;
    return out;
}

QByteArray ask(SimDevice &d, const QByteArray &cmd, int baud = 0)
{
    return joined(d.receive(cmd, baud ? baud : d.lineBaud()));
}

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    void framingAcrossReceives();
    void reads5600();
    void writes5600();
    void strictLineSpeed();
    void memoryImage52X();
    void write52X();
    void typeChange();
    void faults();
    void latencyAndPacing();
    void portDelivery();
    void portUnplugAndFailures();
};

void TestSimDevice::framingAcrossReceives()
{
    SimDevice d(5600);
    // Bare letters are commands at once; everything else waits for its CR,
    // however the bytes are split.
    QCOMPARE(ask(d, "M"), QByteArray("A\r"));
    QVERIFY(d.inSettingMode());
    QCOMPARE(ask(d, "R"), QByteArray());
    QCOMPARE(ask(d, "V"), QByteArray());
    QCOMPARE(ask(d, "\r"), QByteArray("01.00\r"));
    // A "Q" inside a command is part of it, not a query.
    QCOMPARE(ask(d, "RQ\r"), QByteArray("?\r"));
    // Several commands in one write give their replies in order.
    QCOMPARE(ask(d, "QE\r"), QByteArray("960\rE\r"));
    QVERIFY(!d.inSettingMode());
    QCOMPARE(d.commands(), (QList<QByteArray>{"M", "RV\r", "RQ\r", "Q", "E\r"}));
    d.clearLog();
    QVERIFY(d.commands().isEmpty());
    // Unknown commands are refused.
    QCOMPARE(ask(d, "X\r"), QByteArray("?\r"));
    QCOMPARE(ask(d, "R\r"), QByteArray("?\r")); // the image read is the 52X's
}

void TestSimDevice::reads5600()
{
    SimDevice d(5600);
    d.record().setField(2, "12345");
    d.record().setField(4, "-");
    d.record().setField(5, "3");
    d.record().setField(6, "S");
    d.record().setField(13, "6");
    d.record().setField(31, "1707");
    QCOMPARE(ask(d, "RS\r"), QByteArray("20345\r"));
    QCOMPARE(ask(d, "RC\r"), QByteArray("9675\r").insert(4, ' '));
    // Fields go out whole: a four-digit code keeps its padding blank.
    QCOMPARE(ask(d, "RP41\r"), QByteArray("1707 \r"));
    QCOMPARE(ask(d, "RP02\r"), QByteArray("12345E-3S\r"));
    QCOMPARE(ask(d, "RP22\r"), QByteArray("00100E+0H\r"));
    QCOMPARE(ask(d, "RP23\r"), QByteArray("00001E+0H\r"));
    QCOMPARE(ask(d, "RP32\r"), QByteArray("00001E+0H\r"));
    QCOMPARE(ask(d, "RP11\r"), QByteArray("00001\r"));
    QCOMPARE(ask(d, "RP12\r"), QByteArray("001\r"));
    QCOMPARE(ask(d, "RP16\r"), QByteArray("6\r"));
    QCOMPARE(ask(d, "RP99\r"), QByteArray("?\r"));
    // Monitor set-up commands.
    d.setMonitorCounts(0xFFF, 0x1A, 0x800);
    QCOMPARE(ask(d, "P"), QByteArray("FFF\r"));
    QCOMPARE(ask(d, "U\r"), QByteArray("1A\r"));
    QCOMPARE(ask(d, "T\r"), QByteArray("T\r"));
    QCOMPARE(ask(d, "Q"), QByteArray("800\r"));
}

void TestSimDevice::writes5600()
{
    SimDevice d(5600);
    QCOMPARE(ask(d, "WP02,02500E-1S\r"), QByteArray("O\r"));
    QCOMPARE(d.record().bytes().mid(1, 9), QByteArray("02500E-1S"));
    // The short form means exponent +0, and only the first firmware takes it.
    QCOMPARE(ask(d, "WP22,00200S\r"), QByteArray("O\r"));
    QCOMPARE(d.record().bytes().mid(26, 9), QByteArray("00200E+0S"));
    d.setVersion("01.10");
    QCOMPARE(ask(d, "WP23,00200S\r"), QByteArray("?\r"));
    QCOMPARE(ask(d, "WP23,00002E+1H\r"), QByteArray("O\r"));
    QCOMPARE(d.record().field(23), QByteArray("1"));
    // Plain values fill their field; a padding blank is allowed.
    QCOMPARE(ask(d, "WP41,1707 \r"), QByteArray("O\r"));
    QCOMPARE(d.record().field(31), QByteArray("1707 "));
    QCOMPARE(ask(d, "WP16,7\r"), QByteArray("O\r"));
    QCOMPARE(d.record().field(13), QByteArray("7"));
    // Malformed or out of range: refused and not stored.
    const QList<QByteArray> bad = {"WP16,8\r",      "WP01,2\r",        "WP21,6\r",
                                   "WP03,100\r",    "WP03,\r",         "WP11,12a45\r",
                                   "WP02,1000E+0H\r", "WP02,01000X+0H\r", "WP02,01000E*0H\r",
                                   "WP02,01000E+0K\r", "WP99,1\r",      "WP1,1\r"};
    const ParameterRecord before = d.record();
    for (const QByteArray &c : bad)
        QVERIFY2(ask(d, c) == "?\r", c.constData());
    QCOMPARE(d.record(), before);
}

void TestSimDevice::strictLineSpeed()
{
    SimDevice d(5600);
    // At the wrong speed the bytes are noise, and they spoil a half-received command.
    QCOMPARE(ask(d, "R", 9600), QByteArray());
    QCOMPARE(ask(d, "M", 1200), QByteArray());
    QCOMPARE(ask(d, "V\r", 9600), QByteArray("?\r"));
    QCOMPARE(d.noise(), QByteArray("M"));
    QVERIFY(!d.inSettingMode());
    QCOMPARE(d.commands(), QList<QByteArray>{"V\r"});

    SimDevice x(521);
    QCOMPARE(x.lineBaud(), 1200);
    QCOMPARE(ask(x, "Q", 9600), QByteArray());
    QCOMPARE(ask(x, "Q", 1200), QByteArray("960\r"));
    x.setStrictSpeed(false);
    QCOMPARE(ask(x, "Q", 9600), QByteArray("960\r"));
}

void TestSimDevice::memoryImage52X()
{
    SimDevice d(527);
    QCOMPARE(d.serial(), 12345);
    const QByteArray img = d.memoryImage();
    QCOMPARE(img.size(), 64);
    // Defaults: event-in 0, all flags 0, average 1 with prediction "4" (level 2).
    QCOMPARE(img.left(4), QByteArray("0002"));
    QCOMPARE(img.mid(4, 8), QByteArray("900003E8"));  // +, Hz, exp 0, 1000
    QCOMPARE(img.mid(12, 8), QByteArray("90000064")); // upper scale 100
    QCOMPARE(img.mid(36, 8), QByteArray("00010100")); // update time, ratio, bias
    QCOMPARE(img.mid(48, 4), QByteArray("2FDA"));     // update code 12250
    QCOMPARE(img.mid(52, 4), QByteArray("25CB"));     // creation code 9675
    QCOMPARE(img.mid(56, 4), QByteArray("3039"));     // serial 12345
    QCOMPARE(img.mid(60, 4), QByteArray("044C"));     // 527: 100 + 1000
    QCOMPARE(ask(d, "M"), QByteArray("A\r"));
    QCOMPARE(ask(d, "R\r"), img + '\r');
    QCOMPARE(ask(d, "RV\r"), QByteArray("?\r")); // no item reads on a 52X

    // Settings changed on the device show in the image it hands over.
    d.record().setField(14, "5");
    d.record().setField(10, "8");
    d.record().setField(13, "2");
    d.record().setField(1, "1");
    d.record().setField(25, "1");
    d.record().setField(20, "65535");
    d.record().setField(22, "-");
    d.record().setField(24, "S");
    const QByteArray img2 = d.memoryImage();
    QCOMPARE(img2.left(4), QByteArray("AA1F"));
    QCOMPARE(img2.mid(20, 8), QByteArray("0000FFFF"));
    QCOMPARE(img2.mid(60, 4), QByteArray("044C"));

    // An image put in decodes into the settings and identity.
    QByteArray given = img2;
    given.replace(56, 8, "4E2003E7"); // serial 20000, 521 version 9.99
    d.setMemoryImage(given);
    QCOMPARE(d.serial(), 20000);
    QCOMPARE(d.record().field(34), QByteArray("09.99"));
    QCOMPARE(d.record().field(14), QByteArray("5"));
    QCOMPARE(d.record().field(10), QByteArray("08"));
    QCOMPARE(d.record().field(13), QByteArray("2"));
    QCOMPARE(d.memoryImage(), given);
}

void TestSimDevice::write52X()
{
    SimDevice d(521);
    QByteArray img = d.memoryImage();
    img.replace(44, 4, "BEEF");
    d.setMemoryImage(img);
    QByteArray payload = img.left(52);
    payload.replace(6, 6, "0007d0"); // full scale 2000, lower-case hex taken
    payload.replace(48, 4, "06AB");   // update code 1707
    QCOMPARE(ask(d, "W" + payload + "\r"), QByteArray("W\r"));
    QCOMPARE(d.record().field(2), QByteArray("02000"));
    QCOMPARE(d.record().field(31), QByteArray("1707 "));
    const QByteArray now = d.memoryImage();
    QCOMPARE(now.mid(6, 6), QByteArray("0007D0"));
    QCOMPARE(now.mid(44, 4), QByteArray("BEEF"));   // untouched by the coder
    QCOMPARE(now.mid(52), img.mid(52));             // identity not writable
    // Wrong length or a non-hex character: refused, memory unchanged.
    QCOMPARE(ask(d, "W" + payload.left(51) + "\r"), QByteArray("?\r"));
    QByteArray badHex = payload;
    badHex[10] = 'G';
    QCOMPARE(ask(d, "W" + badHex + "\r"), QByteArray("?\r"));
    QCOMPARE(d.memoryImage(), now);
    QCOMPARE(ask(d, "WP01,1\r"), QByteArray("?\r"));
}

void TestSimDevice::typeChange()
{
    SimDevice d(5600);
    d.record().setField(2, "04321");
    d.record().setField(13, "6");
    QCOMPARE(ask(d, "Z"), QByteArray("Z\r"));
    QVERIFY(d.inTypeChangeMode());
    QCOMPARE(ask(d, "1\r"), QByteArray("1\r"));
    QCOMPARE(d.type(), 521);
    QCOMPARE(d.lineBaud(), 1200);
    // The closing "E" still comes at the old speed and is answered.
    QCOMPARE(ask(d, "E\r", 9600), QByteArray("E\r"));
    QVERIFY(!d.inTypeChangeMode());
    QCOMPARE(ask(d, "Q", 9600), QByteArray());
    // A switched 5600 keeps its serial and its settings.
    const QByteArray img = d.memoryImage();
    QCOMPARE(img.mid(56, 4), QByteArray("4F79")); // 20345
    QCOMPARE(img.mid(6, 6), QByteArray("0010E1"));
    QCOMPARE(img.mid(60, 4), QByteArray("0064"));

    QCOMPARE(ask(d, "Z"), QByteArray("Z\r"));
    QCOMPARE(ask(d, "7\r"), QByteArray("7\r"));
    QCOMPARE(ask(d, "E\r"), QByteArray("E\r"));
    QCOMPARE(d.memoryImage().mid(60, 4), QByteArray("044C"));
    QCOMPARE(ask(d, "Z"), QByteArray("Z\r"));
    QCOMPARE(ask(d, "4\r"), QByteArray("4\r"));
    QCOMPARE(ask(d, "E\r", 1200), QByteArray("E\r"));
    QCOMPARE(d.type(), 5600);
    QCOMPARE(ask(d, "RP02\r", 9600), QByteArray("04321E+0H\r"));
    QCOMPARE(ask(d, "RP16\r", 9600), QByteArray("6\r"));
    QCOMPARE(ask(d, "RS\r", 9600), QByteArray("20345\r"));

    // A genuine 52X cannot become a 5600; a bad digit is refused.
    SimDevice g(527);
    QCOMPARE(ask(g, "Z"), QByteArray("Z\r"));
    QCOMPARE(ask(g, "4\r"), QByteArray("?\r"));
    QCOMPARE(g.type(), 527);
    QCOMPARE(ask(g, "Z"), QByteArray("Z\r"));
    QCOMPARE(ask(g, "9\r"), QByteArray("?\r"));
    QCOMPARE(ask(g, "E\r"), QByteArray("E\r"));
    QCOMPARE(g.type(), 527);
}

void TestSimDevice::faults()
{
    SimDevice d(5600);
    d.addFault({"RP14", SimFault::Refuse, 1});
    d.addFault({"WP22", SimFault::Wrong, 2, "X\r"});
    d.addFault({"Q", SimFault::Silence, -1});
    SimFault chunks{"RV", SimFault::Chunks, 1};
    chunks.chunks = 3;
    chunks.delayMs = 7;
    d.addFault(chunks);
    d.addFault({"E", SimFault::NoCR, 1});
    SimFault late{"M", SimFault::Delay, 1};
    late.delayMs = 500;
    d.addFault(late);

    QCOMPARE(ask(d, "RP14\r"), QByteArray("?\r"));
    QCOMPARE(ask(d, "RP14\r"), QByteArray("0\r")); // once only
    // A wrong reply leaves the setting unwritten; twice, then normal.
    QCOMPARE(ask(d, "WP22,00300E+0H\r"), QByteArray("X\r"));
    QCOMPARE(ask(d, "WP22,00300E+0H\r"), QByteArray("X\r"));
    QCOMPARE(d.record().field(15), QByteArray("00100"));
    QCOMPARE(ask(d, "WP22,00300E+0H\r"), QByteArray("O\r"));
    QCOMPARE(d.record().field(15), QByteArray("00300"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(ask(d, "Q"), QByteArray());
    const QList<SimReply> rv = d.receive("RV\r", 9600);
    QCOMPARE(rv.size(), 3);
    QCOMPARE(joined(rv), QByteArray("01.00\r"));
    QCOMPARE(rv[1].delayMs, 7);
    QVERIFY(!rv[0].bytes.endsWith('\r') && rv[2].bytes.endsWith('\r'));
    QCOMPARE(ask(d, "E\r"), QByteArray("E"));
    const QList<SimReply> m = d.receive("M", 9600);
    QCOMPARE(m.size(), 1);
    QCOMPARE(m[0].delayMs, 501);
    QVERIFY(d.inSettingMode()); // a delayed answer still acts

    // The 52X write matches "W"; faults can be cleared.
    SimDevice x(521);
    x.addFault({"W", SimFault::Refuse, -1});
    QCOMPARE(ask(x, "W" + x.memoryImage().left(52) + "\r"), QByteArray("?\r"));
    x.clearFaults();
    QCOMPARE(ask(x, "W" + x.memoryImage().left(52) + "\r"), QByteArray("W\r"));
}

void TestSimDevice::latencyAndPacing()
{
    SimDevice d(5600);
    QCOMPARE(d.receive("Q", 9600).value(0).delayMs, 1);
    d.setLatencyMs(30);
    QCOMPARE(d.receive("Q", 9600).value(0).delayMs, 30);
    d.setLatencyMs(0);
    d.setPacing(true);
    // "RP02\r" in and "01000E+0H\r" out: 15 characters of 10 bits at 9600.
    QCOMPARE(d.receive("RP02\r", 9600).value(0).delayMs, 6 + 11);
    SimDevice x(521);
    x.setLatencyMs(0);
    x.setPacing(true);
    // 66 characters at 1200 baud: 550 ms for the image alone.
    QVERIFY(x.receive("R\r", 1200).value(0).delayMs >= 550);
}

void TestSimDevice::portDelivery()
{
    VirtualClock clock;
    SimDevice dev(5600);
    SimPortFactory f(clock, dev);
    auto a = f.create();
    auto b = f.create();
    a->setPortNumber(1);
    a->setSettings("9600,N,8,1");
    QVERIFY(a->open());
    QVERIFY(a->setRts(true) && a->rts());
    // Only one port at a time holds a number.
    b->setPortNumber(1);
    QVERIFY(!b->open());
    QVERIFY(b->lastError().contains("busy"));
    QCOMPARE(f.openPorts(), 1);

    dev.setLatencyMs(5);
    QVERIFY(a->write("M"));
    QCOMPARE(a->bytesWaiting(), 0);
    clock.advance(4);
    QCOMPARE(a->bytesWaiting(), 0);
    clock.advance(1);
    QCOMPARE(a->readAllWaiting(), QByteArray("A\r"));
    QCOMPARE(f.sent().size(), 1);
    QCOMPARE(f.sent()[0].settings, QString("9600,N,8,1"));
    QCOMPARE(f.sent()[0].bytes, QByteArray("M"));

    // A reply due after the port closed goes to the port open at delivery
    // time; with none open it is lost.
    a->write("Q");
    a->close();
    QVERIFY(b->open());
    clock.advance(10);
    QCOMPARE(b->readAllWaiting(), QByteArray("960\r"));
    b->write("Q");
    b->close();
    clock.advance(10);
    QVERIFY(b->open());
    QCOMPARE(b->bytesWaiting(), 0);
    b->write("Q");
    clock.advance(10);
    b->discardInput();
    QCOMPARE(b->bytesWaiting(), 0);
    b->close();

    // Another port number is a dead line; the wrong speed gets no answer.
    auto c = f.create();
    c->setPortNumber(2);
    QVERIFY(c->open());
    c->write("M");
    clock.advance(10);
    QCOMPARE(c->bytesWaiting(), 0);
    c->close();
    a->setSettings("1200,N,8,1");
    QVERIFY(a->open());
    a->write("M");
    clock.advance(10);
    QCOMPARE(a->bytesWaiting(), 0);
    QCOMPARE(dev.commands().size(), 4); // M, Q, Q, Q: the dead line and the noise are not commands
    // A stream fills the open port on its own.
    dev.setStream(SimDevice::Stream::NoCR, 10);
    a->write("");
    clock.advance(35);
    QCOMPARE(a->bytesWaiting(), 24);
    a->close();
}

void TestSimDevice::portUnplugAndFailures()
{
    VirtualClock clock;
    SimDevice dev(5600);
    SimPortFactory f(clock, dev);
    auto p = f.create();
    p->setPortNumber(3);
    f.failingPorts.insert(3);
    QVERIFY(!p->open());
    QVERIFY(!p->lastError().isEmpty());
    f.failingPorts.clear();
    f.devicePort = 3;
    QVERIFY(p->open());
    p->write("Q");
    f.setUnplugged(true);
    QVERIFY(p->lineLost());
    QVERIFY(!p->isOpen());
    clock.advance(10);
    QCOMPARE(p->bytesWaiting(), 0);
    QVERIFY(!p->open());
    QVERIFY(!p->write("Q"));
    f.setUnplugged(false);
    QVERIFY(p->open());
    QVERIFY(!p->lineLost());
    p->write("Q");
    clock.advance(10);
    QCOMPARE(p->readAllWaiting(), QByteArray("960\r"));
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "test_simdevice.moc"
