// The 5600 identification read and full parameter read against the
// simulated converter on the virtual clock.
#include "TestRig.h"

#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimFault;

namespace {

// A rig as detection leaves it for a 5600.
std::unique_ptr<Rig> rig5600()
{
    auto r = std::make_unique<Rig>(5600);
    r->st().DeviceType = Type5600;
    r->st().ReplyTimeoutTicks = 15;
    r->st().Is5600Series = true;
    return r;
}

// Settings that differ from the defaults in every field.
void fillDevice(sim::SimDevice &d)
{
    ParameterRecord &rec = d.record();
    const char *values[31] = {nullptr, "1", "12345", "E", "-", "3", "S", "07", "00250", "016",
                              "08",    "1", "1",     "6", "3", "00500", "E", "+", "1", "S",
                              "00020", "E", "-",     "2", "H", "1",     "04321", "E", "+", "4", "S"};
    for (int f = 1; f <= 30; ++f)
        rec.setField(f, values[f]);
    rec.setField(31, "1707");
    d.setSerial(23456);
    rec.setField(33, "1234");
    d.setVersion("01.00");
}

QList<QByteArray> parameterCommands()
{
    return {"Q",     "M",     "RV\r",   "RS\r",   "RC\r",   "RP41\r", "RP01\r",
            "RP02\r", "RP03\r", "RP11\r", "RP12\r", "RP13\r", "RP14\r", "RP15\r",
            "RP16\r", "RP21\r", "RP22\r", "RP23\r", "RP31\r", "RP32\r", "E\r"};
}

} // namespace

class Read5600Test : public QObject {
    Q_OBJECT
private slots:
    void fullReadCopiesEveryFieldInOrder();
    void refusalIsRepeatedAndNeverStored();
    void valueReplyOfWrongLengthAbandonsRead_data();
    void valueReplyOfWrongLengthAbandonsRead();
    void timedOutPlainCommandLeavesBlanks();
    void presenceCheckWaitsFiveTicks_data();
    void presenceCheckWaitsFiveTicks();
    void portThatCannotOpen();
    void identificationAcceptsFifthEcho();
    void identificationFailsAfterFiveWrongEchoes();
};

void Read5600Test::fullReadCopiesEveryFieldInOrder()
{
    auto r = rig5600();
    fillDevice(r->device);
    QCOMPARE(r->engine->ReadData56(), CommResult::Ok);

    QCOMPARE(r->commands(), parameterCommands());
    for (int f = 1; f <= 30; ++f)
        QCOMPARE(r->rec().field(f), r->device.record().field(f));
    // The replies' CR falls beyond the five-character fields.
    QCOMPARE(r->rec().field(34), QByteArray("01.00"));
    QCOMPARE(r->rec().field(32), QByteArray("23456"));
    QCOMPARE(r->rec().field(31).left(4), QByteArray("1707"));
    QCOMPARE(r->rec().field(33).left(4), QByteArray("1234"));
    QVERIFY(r->boxes.shown.isEmpty());
    QCOMPARE(r->ports.openPorts(), 0);
    QVERIFY(!r->device.inSettingMode());
}

void Read5600Test::refusalIsRepeatedAndNeverStored()
{
    auto r = rig5600();
    fillDevice(r->device);
    r->device.addFault(fault("RP14", SimFault::Refuse));
    r->device.addFault(fault("RV", SimFault::Refuse, 2));
    QCOMPARE(r->engine->ReadData56(), CommResult::Ok);
    QCOMPARE(r->commands().count("RP14\r"), 2);
    QCOMPARE(r->commands().count("RV\r"), 3);
    QCOMPARE(r->rec().field(11), QByteArray("1"));
    QCOMPARE(r->rec().field(34), QByteArray("01.00"));
    QVERIFY(r->boxes.shown.isEmpty());
}

void Read5600Test::valueReplyOfWrongLengthAbandonsRead_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("RP02 eight characters") << QByteArray("01000E+0\r") << QByteArray("RP02");
    QTest::newRow("RP02 eleven characters") << QByteArray("01000E+0H0\r") << QByteArray("RP02");
    QTest::newRow("RP32 refused") << QByteArray("?\r") << QByteArray("RP32");
    QTest::newRow("final E not echoed") << QByteArray("X\r") << QByteArray("E");
}

void Read5600Test::valueReplyOfWrongLengthAbandonsRead()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, command);
    auto r = rig5600();
    fillDevice(r->device);
    r->rec().setField(31, "999");
    const ParameterRecord before = r->rec();
    r->device.addFault(fault(command.constData(), SimFault::Wrong, -1, reply));

    QCOMPARE(r->engine->ReadData56(), CommResult::Failed);
    QCOMPARE(r->commands().count(command + '\r'), 3);
    QCOMPARE(r->commands().last(), command + '\r'); // nothing after the third send
    QCOMPARE(r->boxes.shown.size(), 1);
    QCOMPARE(r->boxes.shown[0].text,
             QStringLiteral("QEL-5600と通信ができません。\n電源、通信線を確認してください。"));
    QCOMPARE(r->rec(), before);
    QCOMPARE(r->ports.openPorts(), 0);
    QCOMPARE(r->terminations, 0);
}

void Read5600Test::timedOutPlainCommandLeavesBlanks()
{
    auto r = rig5600();
    fillDevice(r->device);
    r->device.addFault(fault("RP03", SimFault::Silence));
    QCOMPARE(r->engine->ReadData56(), CommResult::TimedOut);
    // The empty reply is judged like any other: stored, and the read goes on.
    QCOMPARE(r->rec().field(7), QByteArray("  "));
    QCOMPARE(r->rec().field(8), QByteArray("00250"));
    QCOMPARE(r->commands().count("RP03\r"), 1);
    QCOMPARE(r->commands().last(), QByteArray("E\r"));
    QCOMPARE(r->boxes.shown.size(), 1);
    QCOMPARE(r->boxes.shown[0].title, QStringLiteral("ＱＥＬ－５６００　通信エラー"));
}

void Read5600Test::presenceCheckWaitsFiveTicks_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("read");
    QTest::newRow("answer after 35 ms") << 35 << true;
    QTest::newRow("answer after 70 ms") << 70 << false;
}

void Read5600Test::presenceCheckWaitsFiveTicks()
{
    QFETCH(int, delayMs);
    QFETCH(bool, read);
    auto r = rig5600();
    fillDevice(r->device);
    const ParameterRecord before = r->rec();
    SimFault f = fault("Q", SimFault::Delay);
    f.delayMs = delayMs;
    r->device.addFault(f);

    const CommResult res = r->engine->ReadData56();
    QCOMPARE(res, read ? CommResult::Ok : CommResult::NoAnswer);
    if (!read) {
        QCOMPARE(r->commands(), QList<QByteArray>{"Q"});
        QCOMPARE(r->rec(), before);
        QVERIFY(r->boxes.shown.isEmpty());
        QCOMPARE(r->ports.openPorts(), 0);
    } else {
        QCOMPARE(r->rec().field(2), QByteArray("12345"));
    }
}

void Read5600Test::portThatCannotOpen()
{
    auto r = rig5600();
    r->ports.failingPorts.insert(1);
    const ParameterRecord before = r->rec();
    QCOMPARE(r->engine->ReadData56(), CommResult::PortError);
    QCOMPARE(r->boxes.shown.size(), 1);
    QVERIFY(r->commands().isEmpty());
    QCOMPARE(r->rec(), before);
}

void Read5600Test::identificationAcceptsFifthEcho()
{
    auto r = rig5600();
    fillDevice(r->device);
    r->device.addFault(fault("E", SimFault::Wrong, 4, "?\r"));
    QCOMPARE(r->engine->Read56XVer(), CommResult::Ok);
    const QList<QByteArray> expected = {"M", "RV\r", "RS\r", "RC\r", "RP41\r",
                                        "E\r", "E\r", "E\r", "E\r", "E\r"};
    QCOMPARE(r->commands(), expected);
    QCOMPARE(r->rec().field(34), QByteArray("01.00"));
    QCOMPARE(r->rec().field(32), QByteArray("23456"));
    // Only the identification is read.
    QCOMPARE(r->rec().field(2), ParameterRecord().field(2));
    QVERIFY(r->boxes.shown.isEmpty());
}

void Read5600Test::identificationFailsAfterFiveWrongEchoes()
{
    auto r = rig5600();
    fillDevice(r->device);
    const ParameterRecord before = r->rec();
    r->device.addFault(fault("E", SimFault::Wrong, -1, "?\r"));
    QCOMPARE(r->engine->Read56XVer(), CommResult::Failed);
    QCOMPARE(r->commands().count("E\r"), 5);
    QCOMPARE(r->rec(), before);
    QCOMPARE(r->boxes.shown.size(), 1);
    QCOMPARE(r->terminations, 0);
}

QTEST_GUILESS_MAIN(Read5600Test)
#include "test_5600_read.moc"
