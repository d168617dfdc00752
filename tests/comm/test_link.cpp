// The command transaction, the tick waits, the mode exit and the error
// display of the link, on the simulated converter and the virtual clock.

#include "TestRig.h"
#include "monitor/MonitorEngine.h"

#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimFault;

namespace {

const QString kCommTitle = QStringLiteral("ＱＥＬ－５６００　通信エラー");
const QString kSetTitle = QStringLiteral("ＱＥＬ－５６００　設定エラー");
const QString kText1 = QStringLiteral("QEL-5600と通信ができません。\n電源、通信線を確認してください。");

std::unique_ptr<Rig> openRig(int ticks = 15)
{
    auto r = std::make_unique<Rig>(5600);
    r->st().ReplyTimeoutTicks = ticks;
    r->st().DeviceType = Type5600;
    if (!r->engine->OpenPort5600())
        return nullptr;
    return r;
}

// Every wait for a reply, each over a device that never answers the command
// the cable is pulled under.
struct WaitCase {
    const char *name;
    int type;
    const char *silent; // the command the device does not answer
    QByteArray pullAt;  // the line goes away once this has been written
    std::function<void(Rig &)> run;
};

const std::vector<WaitCase> &waitCases()
{
    static const std::vector<WaitCase> cases = {
        {"DataReadWrite", 5600, "RV", "RV\r",
         [](Rig &r) {
             r.st().ReplyTimeoutTicks = 150;
             r.engine->OpenPort5600();
             QByteArray reply;
             r.engine->DataReadWrite("RV\r", reply);
         }},
        {"presence check", 521, "Q", "Q", [](Rig &r) { r.typeChange->CheckQmode(100); }},
        {"52X mode entry", 521, "M", "M", [](Rig &r) { r.engine->Read52X(); }},
        {"52X image", 521, "R", "R\r", [](Rig &r) { r.engine->Read52X(); }},
        {"52X leaving", 521, "E", "E\r", [](Rig &r) { r.engine->Read52X(); }},
        {"detection's leave probe", 521, "E", "E\r", [](Rig &r) { r.typeChange->TypeCheck(); }},
        {"type-change mode", 5600, "Z", "Z", [](Rig &r) { r.typeChange->ChangeType('1'); }},
        {"type digit", 5600, "1", "1\r", [](Rig &r) { r.typeChange->ChangeType('1'); }},
        {"monitor", 5600, "P", "P",
         [](Rig &r) {
             MonitorEngine mon(*r.ctx, *r.engine);
             mon.MSComm1().setPortNumber(1);
             mon.SetPortState(true);
             QByteArray reply;
             mon.MonitorDataReadWrite("P", reply, 100);
         }},
    };
    return cases;
}

int sendsOf(const Rig &r, const QByteArray &cmd)
{
    int n = 0;
    for (const auto &s : r.ports.sent())
        n += s.bytes == cmd ? 1 : 0;
    return n;
}

} // namespace

class LinkTest : public QObject {
    Q_OBJECT
private slots:
    void replyInChunksIsJoined();
    void crInsideAChunkDoesNotComplete();
    void inputBeforeTheSendIsDiscarded();
    void timeOutShowsMessageAndKeepsPartialReply();
    void timeOutRunsFromThePreSendPause_data();
    void timeOutRunsFromThePreSendPause();
    void waitOfZeroTicksYieldsOnce();
    void aLimitHoldsAgainstTheClock();
    void exitSettingMode();
    void errorDisplay();
    void unpluggedLineEndsEveryWait_data();
    void unpluggedLineEndsEveryWait();
};

void LinkTest::replyInChunksIsJoined()
{
    auto r = openRig();
    r->device.addFault(fault("RP02", SimFault::Chunks, 1, {}, 20, 4));
    QByteArray reply;
    QVERIFY(r->engine->DataReadWrite("RP02\r", reply));
    QCOMPARE(reply, QByteArray("01000E+0H\r"));
    QVERIFY(r->boxes.shown.isEmpty());
    // Bare single letters go out without a terminator, the rest with one CR.
    QVERIFY(r->engine->DataReadWrite("M", reply));
    QCOMPARE(reply, QByteArray("A\r"));
    QCOMPARE(r->ports.sent().last().bytes, QByteArray("M"));
    QCOMPARE(r->ports.sent().last().settings, QString("9600,N,8,1"));
}

void LinkTest::crInsideAChunkDoesNotComplete()
{
    auto r = openRig();
    r->device.addFault(fault("RV", SimFault::Silence, -1));
    // The command goes out 20 ms from now; the device's bytes come after it.
    r->ports.sendFromDevice(25, "A\rB");
    r->ports.sendFromDevice(60, "C\r");
    QByteArray reply;
    QVERIFY(r->engine->DataReadWrite("RV\r", reply));
    QCOMPARE(reply, QByteArray("A\rBC\r"));
    QCOMPARE(r->clock.nowMs(), 60);

    // Alone, such a chunk leaves the reply unfinished until the time-out.
    const qint64 t0 = r->clock.nowMs();
    r->ports.sendFromDevice(25, "A\rB");
    QVERIFY(!r->engine->DataReadWrite("RV\r", reply));
    QCOMPARE(reply, QByteArray("A\rB"));
    QCOMPARE(r->clock.nowMs() - t0, 150);
    QCOMPARE(r->boxes.texts(), QStringList{kText1});
}

void LinkTest::inputBeforeTheSendIsDiscarded()
{
    auto r = openRig();
    r->ports.sendFromDevice(1, "STALE\r");
    r->ports.sendFromDevice(19, "LATE");
    QByteArray reply;
    QVERIFY(r->engine->DataReadWrite("RS\r", reply));
    QCOMPARE(reply, QByteArray("20345\r"));
    // A garbage stream before the send is dropped too; what follows the send
    // is the reply (here: garbage without CR), up to the longest a reply can
    // be: then it is noise, and the wait ends before its 150 ms.
    r->device.setStream(sim::SimDevice::Stream::NoCR, 5);
    r->device.addFault(fault("RC", SimFault::Silence));
    r->engine->MSComm1().write(""); // starts the stream on the open line
    const qint64 t0 = r->clock.nowMs();
    QVERIFY(!r->engine->DataReadWrite("RC\r", reply));
    QVERIFY(!reply.contains('\r'));
    QCOMPARE(reply.size(), kMaxReply);
    // The 20 ms pause, then a chunk of 8 every 5 ms in the stream's own
    // phase: the 17th (at 100 ms) is one too many.
    QCOMPARE(r->clock.nowMs() - t0, 100);
}

void LinkTest::timeOutShowsMessageAndKeepsPartialReply()
{
    auto r = openRig();
    r->device.addFault(fault("RV", SimFault::NoCR));
    QByteArray reply;
    const qint64 t0 = r->clock.nowMs();
    QVERIFY(!r->engine->DataReadWrite("RV\r", reply));
    QCOMPARE(reply, QByteArray("01.00"));
    QCOMPARE(r->clock.nowMs() - t0, 150);
    QCOMPARE(r->boxes.shown.size(), 1);
    const ShownBox &b = r->boxes.shown.first();
    QCOMPARE(b.title, kCommTitle);
    QCOMPARE(b.text, kText1);
    QCOMPARE(b.icon, MsgIcon::Question);
    QCOMPARE(b.buttons, MsgButtons::Ok);
    // A silent device: empty reply, one message, nothing retried by the transaction.
    r->device.addFault(fault("RS", SimFault::Silence));
    QVERIFY(!r->engine->DataReadWrite("RS\r", reply));
    QCOMPARE(reply, QByteArray());
    QCOMPARE(r->boxes.shown.size(), 2);
    QCOMPARE(sendsOf(*r, "RS\r"), 1);
}

void LinkTest::timeOutRunsFromThePreSendPause_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("arrivalMs"); // after the start of the transaction
    QTest::addColumn<bool>("ok");
    QTest::newRow("5600 limit, in time") << 15 << 140 << true;
    QTest::newRow("5600 limit, late") << 15 << 160 << false;
    QTest::newRow("52X limit, in time") << 150 << 1490 << true;
    QTest::newRow("52X limit, late") << 150 << 1510 << false;
}

void LinkTest::timeOutRunsFromThePreSendPause()
{
    QFETCH(int, ticks);
    QFETCH(int, arrivalMs);
    QFETCH(bool, ok);
    auto r = openRig(ticks);
    // The command is written after the 20 ms pause, the reply comes
    // latency + delay later.
    r->device.addFault(fault("RV", SimFault::Delay, 1, {}, arrivalMs - 20 - r->device.latencyMs()));
    QByteArray reply;
    const qint64 t0 = r->clock.nowMs();
    QCOMPARE(r->engine->DataReadWrite("RV\r", reply), ok);
    QCOMPARE(r->ports.sent().last().atMs - t0, 20);
    QCOMPARE(r->clock.nowMs() - t0, ok ? arrivalMs : ticks * 10);
    QCOMPARE(r->boxes.shown.size(), ok ? 0 : 1);
}

void LinkTest::waitOfZeroTicksYieldsOnce()
{
    Rig r;
    const qint64 y0 = r.clock.yields();
    r.engine->Wait10ms(0);
    QCOMPARE(r.clock.yields() - y0, 1);
    const qint64 t0 = r.clock.nowMs();
    r.engine->Wait10ms(2);
    QCOMPARE(r.clock.nowMs() - t0, 20);
}

void LinkTest::aLimitHoldsAgainstTheClock()
{
    // A tick count whose timer does not run (stopped, or its events starved
    // by a busy loop) does not stretch the wait: the clock ends it.
    auto r = openRig();
    r->device.addFault(fault("RV", SimFault::Silence));
    int frozen = 0;
    QByteArray reply;
    const qint64 t0 = r->clock.nowMs();
    const Collected c = r->engine->link().exchange(
        "RV\r", reply, {15, &frozen, 0, [&] { return r->clock.nowMs() - t0 > 5000; }});
    QCOMPARE(c, Collected::TimedOut);
    // The 20 ms pause, then twice the 15 ticks and 0.1 s from the write.
    QCOMPARE(r->clock.nowMs() - t0, 20 + 400);
}

void LinkTest::exitSettingMode()
{
    {
        auto r = openRig();
        QByteArray reply;
        r->engine->DataReadWrite("M", reply);
        QVERIFY(r->device.inSettingMode());
        QCOMPARE(r->engine->ExitSettingMode(), ExitResult::Ok);
        QVERIFY(!r->device.inSettingMode());
        QCOMPARE(sendsOf(*r, "E\r"), 1);
        QVERIFY(r->boxes.shown.isEmpty());
        QVERIFY(r->engine->MSComm1().isOpen());
    }
    {
        // Time-out: message 1 once, no second send, the port stays as it was.
        auto r = openRig();
        r->device.addFault(fault("E", SimFault::Silence, -1));
        QCOMPARE(r->engine->ExitSettingMode(), ExitResult::TimedOut);
        QCOMPARE(sendsOf(*r, "E\r"), 1);
        QCOMPARE(r->boxes.texts(), QStringList{kText1});
        QVERIFY(r->engine->MSComm1().isOpen());
    }
    {
        // Two wrong echoes are tolerated.
        auto r = openRig();
        r->device.addFault(fault("E", SimFault::Wrong, 2, "X\r"));
        QCOMPARE(r->engine->ExitSettingMode(), ExitResult::Ok);
        QCOMPARE(sendsOf(*r, "E\r"), 3);
        QVERIFY(r->boxes.shown.isEmpty());
    }
    {
        // Three wrong echoes: message 3, the port closed, the program goes on.
        auto r = openRig();
        r->device.addFault(fault("E", SimFault::Wrong, -1, "?\r"));
        QCOMPARE(r->engine->ExitSettingMode(), ExitResult::Failed);
        QCOMPARE(sendsOf(*r, "E\r"), 3);
        QCOMPARE(r->boxes.shown.size(), 1);
        QCOMPARE(r->boxes.shown[0].title, kSetTitle);
        QCOMPARE(r->boxes.shown[0].text, QString("予期せぬエラーが発生しました。"));
        QCOMPARE(r->boxes.shown[0].icon, MsgIcon::Question);
        QCOMPARE(r->ports.openPorts(), 0);
        QCOMPARE(r->terminations, 0);
    }
}

void LinkTest::errorDisplay()
{
    Rig r;
    for (int code : {0, 4, -1, 99})
        r.engine->DspRSErr(code);
    QVERIFY(r.boxes.shown.isEmpty());
    r.engine->DspRSErr(1);
    r.engine->DspRSErr(2);
    r.engine->DspRSErr(3);
    QCOMPARE(r.boxes.shown.size(), 3);
    QCOMPARE(r.boxes.shown[0].title, kCommTitle);
    QCOMPARE(r.boxes.shown[0].text, kText1);
    QCOMPARE(r.boxes.shown[1].title, kSetTitle);
    QCOMPARE(r.boxes.shown[1].text, QString("設定範囲外です。\n設定値を確認してください。"));
    QCOMPARE(r.boxes.shown[2].title, kSetTitle);
    QCOMPARE(r.boxes.shown[2].text, QString("予期せぬエラーが発生しました。"));
    for (const ShownBox &b : r.boxes.shown) {
        QCOMPARE(b.icon, MsgIcon::Question);
        QCOMPARE(b.buttons, MsgButtons::Ok);
    }
}

QTEST_GUILESS_MAIN(LinkTest)
#include "test_link.moc"

void LinkTest::unpluggedLineEndsEveryWait_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(waitCases().size()); ++i)
        QTest::newRow(waitCases()[i].name) << i;
}

void LinkTest::unpluggedLineEndsEveryWait()
{
    QFETCH(int, index);
    const WaitCase &c = waitCases()[index];
    Rig r(c.type);
    r.st().DeviceType = c.type == 5600 ? Type5600 : Type521;
    r.device.addFault(fault(c.silent, SimFault::Silence, -1));
    qint64 pulledAt = -1;
    r.clock.onYield = [&] {
        if (pulledAt < 0 && !r.ports.sent().isEmpty() && r.ports.sent().last().bytes == c.pullAt) {
            pulledAt = r.clock.nowMs();
            r.ports.setUnplugged(true);
        }
        return false;
    };
    c.run(r);
    QVERIFY(pulledAt >= 0);
    // The limits run from 100 ms to 1.5 s; the stop comes within a tick.
    QVERIFY2(r.clock.nowMs() - pulledAt <= 10, qPrintable(QString::number(r.clock.nowMs() - pulledAt)));
    QCOMPARE(r.ports.openPorts(), 0);
}
