// A converter that goes away or misbehaves in the middle of an exchange: one
// clear message, no hang, the port closed, the record as it was, and a read
// that works again once the device is back.
#include "TestRig.h"
#include "editor/SettingsCommands.h"

#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimDevice;
using qel::sim::SimFault;

namespace {

const QString kMessage1 = QStringLiteral("QEL-5600と通信ができません。\n電源、通信線を確認してください。");
// The same for a line pulled under the exchange: which line, and that it went away.
const QString kLineLost = kMessage1 + QStringLiteral("\nCOM1: 回線が切れました（Input/output error）");

std::unique_ptr<Rig> rigFor(int type)
{
    auto r = std::make_unique<Rig>(type);
    r->st().DeviceType = type == 5600 ? Type5600 : type == 521 ? Type521 : Type527;
    r->st().ReplyTimeoutTicks = type == 5600 ? 15 : 150;
    r->st().Is5600Series = type == 5600;
    r->device.record().setField(2, "04321");
    r->device.record().setField(13, "6");
    return r;
}

// The record before the operation: not what the device holds.
void seedRecord(Rig &r)
{
    ParameterRecord &rec = r.rec();
    rec.setField(2, "00777");
    rec.setField(31, "1234");
    rec.setField(32, "20001");
}

void unplugAfter(Rig &r, int ms)
{
    r.clock.schedule(ms, [&r] { r.ports.setUnplugged(true); });
}

} // namespace

class FaultTest : public QObject {
    Q_OBJECT
private slots:
    void unpluggedDuringRead_data()
    {
        QTest::addColumn<int>("atMs");
        QTest::newRow("at the mode entry") << 45;
        QTest::newRow("in the middle") << 200;
        QTest::newRow("before the end") << 400;
    }
    void unpluggedDuringRead()
    {
        QFETCH(int, atMs);
        auto r = rigFor(5600);
        seedRecord(*r);
        const ParameterRecord before = r->rec();
        unplugAfter(*r, atMs);
        QCOMPARE(r->engine->ReadData56(), CommResult::Failed);
        QCOMPARE(r->boxes.texts(), QStringList{kLineLost});
        QCOMPARE(r->rec(), before);
        QCOMPARE(r->ports.openPorts(), 0);
        QCOMPARE(r->clock.emptyYields(), 0);

        // Plugged in again, the next read goes through.
        r->ports.setUnplugged(false);
        r->boxes.shown.clear();
        QCOMPARE(r->engine->ReadData56(), CommResult::Ok);
        QVERIFY(r->boxes.shown.isEmpty());
        QCOMPARE(r->rec().field(2), QByteArray("04321"));
    }

    void unpluggedDuringWriteKeepsUpdateDate()
    {
        auto r = rigFor(5600);
        seedRecord(*r);
        const ParameterRecord before = r->rec();
        unplugAfter(*r, 150);
        QCOMPARE(r->engine->WriteData56(), CommResult::TimedOut);
        QCOMPARE(r->boxes.texts(), QStringList{kLineLost});
        QCOMPARE(r->rec(), before);
        QCOMPARE(r->ports.openPorts(), 0);

        r->ports.setUnplugged(false);
        r->boxes.shown.clear();
        QCOMPARE(r->engine->WriteData56(), CommResult::Ok);
        QCOMPARE(r->device.record().field(2), QByteArray("00777"));
    }

    void unpluggedDuring52XRead()
    {
        auto r = rigFor(521);
        QCOMPARE(r->engine->Read52X(), CommResult::Ok);
        const QByteArray image = r->st().MemoryImage;
        r->boxes.shown.clear();
        unplugAfter(*r, 60); // after "Q" and "M": the image never comes
        const CommResult res = r->engine->Read52X();
        QVERIFY(res != CommResult::Ok);
        QCOMPARE(r->boxes.shown.size(), 1);
        QVERIFY(r->boxes.shown[0].text.startsWith(QStringLiteral("Error in Read52X()")));
        QCOMPARE(r->st().MemoryImage, image);
        QCOMPARE(r->ports.openPorts(), 0);
    }

    void lineFullOfNoise_data()
    {
        QTest::addColumn<int>("stream");
        QTest::newRow("garbage") << int(SimDevice::Stream::Garbage);
        QTest::newRow("endless text without CR") << int(SimDevice::Stream::NoCR);
    }
    void lineFullOfNoise()
    {
        QFETCH(int, stream);
        auto r = rigFor(5600);
        seedRecord(*r);
        const ParameterRecord before = r->rec();
        // Nothing but noise on the line: the device itself says nothing.
        for (const char *cmd : {"Q", "M", "E", "RV", "RS", "RC", "RP41"})
            r->device.addFault(fault(cmd, SimFault::Silence, -1));
        r->device.setStream(SimDevice::Stream(stream), 5);
        // The noise answers the presence check, but no acknowledgement of "M"
        // comes: three sends, then the read is abandoned.
        QCOMPARE(r->engine->ReadData56(), CommResult::Failed);
        QCOMPARE(r->rec(), before);
        QCOMPARE(r->ports.openPorts(), 0);
        for (const ShownBox &b : r->boxes.shown)
            QCOMPARE(b.text, kMessage1);
        QVERIFY(r->clock.nowMs() < 10000);
    }

    void deviceSlowerThanEveryLimit()
    {
        auto r = rigFor(5600);
        seedRecord(*r);
        const ParameterRecord before = r->rec();
        // Every answer comes later than the longest limit (1.5 s).
        for (const char *cmd : {"M", "E", "RV", "WP01"})
            r->device.addFault(fault(cmd, SimFault::Delay, -1, {}, 2000));
        QCOMPARE(r->engine->ReadData56(), CommResult::Failed);
        QCOMPARE(r->rec(), before);
        QCOMPARE(r->engine->WriteData56(), CommResult::TimedOut);
        QCOMPARE(r->rec(), before);
        QCOMPARE(r->ports.openPorts(), 0);
    }

    void portVanishesBetweenTwoCommands()
    {
        auto r = rigFor(5600);
        SettingsCommands commands(*r->ctx, *r->engine, *r->typeChange);
        QCOMPARE(commands.ReadingIn().result, CommResult::Ok);
        const ParameterRecord afterRead = r->rec();

        // The adapter is pulled: the presence check finds no port; the user
        // is asked for a port, gives up, and gets the detection's box.
        r->ports.failingPorts.insert(1);
        r->boxes.answers = {MsgResult::Retry};
        r->dialogs->portChoices = {};
        r->clock.onYield = nullptr;
        int shown = 0;
        r->boxes.onShow = [&](const ShownBox &b) {
            if (b.buttons == MsgButtons::AbortRetryIgnore && ++shown == 1) {
                // Plugged back in before Retry is pressed.
                r->ports.failingPorts.clear();
                r->dialogs->portChoices = {1};
            }
        };
        const CommandOutcome o = commands.ReadingIn();
        QVERIFY(!o.aborted);
        QCOMPARE(o.result, CommResult::Ok);
        QCOMPARE(r->rec(), afterRead);
        QCOMPARE(r->ports.openPorts(), 0);
    }
};

QTEST_GUILESS_MAIN(FaultTest)
#include "test_faults.moc"
