// Type detection (TypeCheck) and the program-mode check (CheckQmode) against
// the simulated converter on the virtual clock.
#include "TestRig.h"

#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimFault;

namespace {

const QString kNoDeviceTitle = QStringLiteral("ＱＥＬ－５６００　通信エラー");
const QString kNoDeviceText =
    QStringLiteral("QEL-5600と通信ができません\n電源、通信線を確認してください。");

// The settings text under which each "Q" went out.
QStringList querySettings(const sim::SimPortFactory &ports)
{
    QStringList out;
    for (const auto &s : ports.sent())
        if (s.bytes == "Q")
            out << s.settings;
    return out;
}

} // namespace

class DetectTest : public QObject {
    Q_OBJECT
private slots:
    void finds5600();
    void noDevice_data();
    void noDevice();
    void retryDetectsOnChosenPort();
    void portThatCannotOpenIsToldOnce();
    void checkQmodeLimits_data();
    void checkQmodeLimits();
    void checkQmodeOpenPortUsesMaxWw();
    void replyWithoutCrCounts();
    void finds52X_data();
    void finds52X();
    void identFromImage();
};

void DetectTest::finds5600()
{
    Rig r(5600);
    r.st().CommPortNo = 0;
    r.st().DeviceType = Type527;
    // Whatever the device does with "E", an answer to "Q" makes it a 5600.
    r.device.addFault(fault("E", SimFault::Silence, -1));
    QString status = QStringLiteral("busy");
    r.ctx->hooks.setStatus = [&](const QString &s) { status = s; };

    const TypeCheckResult res = r.typeChange->TypeCheck();
    QCOMPARE(res.code, int(Type5600));
    QVERIFY(!res.aborted);
    QCOMPARE(r.st().CommPortNo, 1);
    QCOMPARE(r.st().DeviceType, int(Type5600));
    QCOMPARE(r.st().ReplyTimeoutTicks, 15);
    QVERIFY(r.st().Is5600Series);
    QVERIFY(status.isEmpty());
    QCOMPARE(r.commands(), (QList<QByteArray>{"E\r", "Q"}));
    QCOMPARE(querySettings(r.ports), QStringList{QStringLiteral("9600,N,8,1")});
    QVERIFY(r.boxes.shown.isEmpty());
    QCOMPARE(r.ports.openPorts(), 0);
}

void DetectTest::noDevice_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("Ignore") << int(MsgResult::Ignore);
    QTest::newRow("Abort") << int(MsgResult::Abort);
}

void DetectTest::noDevice()
{
    QFETCH(int, answer);
    Rig r(5600);
    r.ports.devicePort = 3; // nothing on port 1
    r.st().DeviceType = Type527;
    r.st().ReplyTimeoutTicks = 15;
    r.rec().setField(2, "55555");
    r.rec().setField(32, "12345");
    r.boxes.answers.push_back(MsgResult(answer));

    const TypeCheckResult res = r.typeChange->TypeCheck();
    QCOMPARE(res.code, 0);
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].title, kNoDeviceTitle);
    QCOMPARE(r.boxes.shown[0].text, kNoDeviceText);
    QCOMPARE(r.boxes.shown[0].icon, MsgIcon::Question);
    QCOMPARE(r.boxes.shown[0].buttons, MsgButtons::AbortRetryIgnore);
    QCOMPARE(querySettings(r.ports),
             (QStringList{QStringLiteral("9600,N,8,1"), QStringLiteral("1200,N,8,1")}));
    QCOMPARE(r.st().DeviceType, int(Type527));
    QCOMPARE(r.st().ReplyTimeoutTicks, 100);
    QCOMPARE(r.ports.openPorts(), 0);
    if (MsgResult(answer) == MsgResult::Ignore) {
        QVERIFY(!res.aborted);
        QCOMPARE(r.terminations, 0);
        QCOMPARE(r.rec().field(2), QByteArray("01000")); // defaults in F1..F30
        QCOMPARE(r.rec().field(32), QByteArray("12345")); // identity kept
    } else {
        QVERIFY(res.aborted);
        QCOMPARE(r.terminations, 1);
        QCOMPARE(r.rec().field(2), QByteArray("55555"));
    }
}

void DetectTest::retryDetectsOnChosenPort()
{
    Rig r(5600);
    r.ports.devicePort = 2;
    r.boxes.answers.push_back(MsgResult::Retry);
    r.dialogs->portChoices.push_back(2);

    const TypeCheckResult res = r.typeChange->TypeCheck();
    QCOMPARE(res.code, int(Type5600));
    QCOMPARE(r.st().CommPortNo, 2);
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.dialogs->portDialogs, 1);
    // The whole detection ran again, the 9600 baud attempt included.
    QCOMPARE(querySettings(r.ports),
             (QStringList{QStringLiteral("9600,N,8,1"), QStringLiteral("1200,N,8,1"),
                          QStringLiteral("9600,N,8,1")}));
}

void DetectTest::portThatCannotOpenIsToldOnce()
{
    // The port does not open: one box says so with the cause under the
    // message (no round of port windows first); Retry lets the user choose.
    Rig r(5600);
    r.ports.devicePort = 2;
    r.ports.failingPorts.insert(1);
    r.boxes.answers.push_back(MsgResult::Retry);
    r.dialogs->portChoices.push_back(2);
    TypeCheckResult res = r.typeChange->TypeCheck();
    QCOMPARE(res.code, int(Type5600));
    QCOMPARE(r.st().CommPortNo, 2);
    QCOMPARE(r.dialogs->portDialogs, 1);
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].text,
             kNoDeviceText + QStringLiteral("\nCOM1: デバイスがありません"));

    // Ignore: detection ends as if nothing answered, without a port window.
    Rig g(5600);
    g.ports.failingPorts.insert(1);
    res = g.typeChange->TypeCheck();
    QCOMPARE(res.code, 0);
    QCOMPARE(g.dialogs->portDialogs, 0);
    QCOMPARE(g.boxes.shown.size(), 1);
    QVERIFY(g.commands().isEmpty());
}

void DetectTest::checkQmodeLimits_data()
{
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QString>("settings");
    // From the write of "Q" to the end of the check.
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("521") << int(Type521) << QStringLiteral("1200,N,8,1") << 1000 << 1010;
    QTest::newRow("527") << int(Type527) << QStringLiteral("1200,N,8,1") << 1000 << 1010;
    QTest::newRow("5600") << int(Type5600) << QStringLiteral("9600,N,8,1") << 250 << 260;
    QTest::newRow("none: one look") << 0 << QStringLiteral("4800,N,8,1") << 0 << 10;
}

void DetectTest::checkQmodeLimits()
{
    QFETCH(int, deviceType);
    QFETCH(QString, settings);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    Rig r(5600);
    r.device.addFault(fault("Q", SimFault::Silence, -1));
    r.st().DeviceType = deviceType;
    SerialPort &port = r.typeChange->MSComm1();
    port.setSettings(QStringLiteral("4800,N,8,1")); // kept for an unknown type

    QVERIFY(!r.typeChange->CheckQmode(7));
    QVERIFY(!port.isOpen());
    QCOMPARE(r.ports.sent().size(), 1);
    QCOMPARE(r.ports.sent()[0].settings, settings);
    const qint64 waited = r.clock.nowMs() - r.ports.sent()[0].atMs;
    QVERIFY2(waited >= minMs && waited <= maxMs, qPrintable(QString::number(waited)));
}

void DetectTest::checkQmodeOpenPortUsesMaxWw()
{
    Rig r(5600);
    r.device.addFault(fault("Q", SimFault::Silence, -1));
    r.st().DeviceType = Type5600;
    r.st().CommPortNo = 1;
    QVERIFY(r.engine->OpenPort5600());
    QVERIFY(!r.engine->link().presence(5));
    const qint64 waited = r.clock.nowMs() - r.ports.sent()[0].atMs;
    QVERIFY2(waited >= 50 && waited <= 60, qPrintable(QString::number(waited)));
    QVERIFY(r.engine->MSComm1().isOpen()); // an open port stays open
    r.engine->ClosePort();
}

void DetectTest::replyWithoutCrCounts()
{
    Rig r(5600);
    r.st().DeviceType = Type5600;
    r.device.addFault(fault("Q", SimFault::NoCR, -1));
    QVERIFY(r.typeChange->CheckQmode(100));
    QCOMPARE(r.ports.openPorts(), 0);
}

void DetectTest::finds52X_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("versionWord");
    QTest::addColumn<int>("serial");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("series5600");
    QTest::newRow("999, 19999") << 521 << 999 << 19999 << int(Type521) << false;
    QTest::newRow("1000, 20000") << 527 << 1000 << 20000 << int(Type527) << true;
}

void DetectTest::finds52X()
{
    QFETCH(int, type);
    QFETCH(int, versionWord);
    QFETCH(int, serial);
    QFETCH(int, code);
    QFETCH(bool, series5600);
    Rig r(type);
    QByteArray image = r.device.memoryImage();
    image.replace(56, 4, QByteArray::number(serial, 16).rightJustified(4, '0').toUpper());
    image.replace(60, 4, QByteArray::number(versionWord, 16).rightJustified(4, '0').toUpper());
    r.device.setMemoryImage(image);

    const TypeCheckResult res = r.typeChange->TypeCheck();
    QCOMPARE(res.code, code);
    QCOMPARE(r.st().DeviceType, code);
    QCOMPARE(r.st().Is5600Series, series5600);
    QCOMPARE(r.st().ReplyTimeoutTicks, 150);
    QCOMPARE(r.st().MemoryImage, image);
    QCOMPARE(querySettings(r.ports).first(), QStringLiteral("9600,N,8,1"));
}

void DetectTest::identFromImage()
{
    Rig r(5600);
    struct Case {
        const char *words; // update, created, serial, version (16 hex digits)
        const char *f31, *f32, *f33, *f34;
    };
    const Case cases[] = {
        {"06AB04D24E2003E8", "1707 ", "20000", "1234 ", "00.00"},
        {"0000000000010064", "0    ", "1    ", "0    ", "01.00"},
        {"FFFF0000000004D2", "65535", "0    ", "0    ", "02.34"},
        {"00000000000003E7", "0    ", "0    ", "0    ", "09.99"},
        {"000000000000FFFF", "0    ", "0    ", "0    ", "645.3"},
        {"0000000000000ZZ1", "0    ", "0    ", "0    ", "00.01"},
    };
    for (const Case &c : cases) {
        r.st().MemoryImage = QByteArray(48, '0') + c.words;
        r.typeChange->IdentFromImage();
        QCOMPARE(r.rec().field(31), QByteArray(c.f31));
        QCOMPARE(r.rec().field(32), QByteArray(c.f32));
        QCOMPARE(r.rec().field(33), QByteArray(c.f33));
        QCOMPARE(r.rec().field(34), QByteArray(c.f34));
    }
}

QTEST_GUILESS_MAIN(DetectTest)
#include "test_detect.moc"
