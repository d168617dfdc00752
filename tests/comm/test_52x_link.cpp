// The 52X memory read and write against the simulated 521/527 on the
// virtual clock: time limits, command bytes, replies and what they leave.
#include "TestRig.h"
#include "comm/MemoryImage.h"

#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimFault;

Q_DECLARE_METATYPE(qel::sim::SimFault)

namespace {

// A device image whose unmapped characters 45..48 are recognisable.
QByteArray deviceImage(const char *typeWord)
{
    QByteArray img("0C04" "900003E8" "90000064" "90000001" "90000001" "0001" "01" "00"
                   "5A5A" "0000" "0029" "3039");
    img += typeWord;
    Q_ASSERT(img.size() == 64);
    return img;
}

// A rig as detection leaves it for a 52X, with `image` in the device.
std::unique_ptr<Rig> rig52(int type, const QByteArray &image = {})
{
    auto r = std::make_unique<Rig>(type);
    r->st().DeviceType = type == 527 ? Type527 : Type521;
    r->st().ReplyTimeoutTicks = 150;
    if (!image.isEmpty())
        r->device.setMemoryImage(image);
    return r;
}

const QString kReadError = QStringLiteral("Error in Read52X()\r\nT?=%1\r\nSD$=%2\r\nRD$=%3");

} // namespace

class Link52XTest : public QObject {
    Q_OBJECT
private slots:
    void readTakesImageAndType_data()
    {
        QTest::addColumn<int>("simType");
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<int>("type");
        QTest::newRow("521 at 1.00") << 521 << QByteArray("0064") << int(Type521);
        QTest::newRow("999: 521") << 521 << QByteArray("03E7") << int(Type521);
        QTest::newRow("1000: 527") << 527 << QByteArray("03E8") << int(Type527);
        QTest::newRow("527 at 1.00") << 527 << QByteArray("044C") << int(Type527);
    }
    void readTakesImageAndType()
    {
        QFETCH(int, simType);
        QFETCH(QByteArray, word);
        QFETCH(int, type);
        auto rig = rig52(simType, deviceImage(word));
        rig->st().DeviceType = TypeNone;
        rig->st().ReplyTimeoutTicks = 100;

        QCOMPARE(rig->engine->Read52X(), CommResult::Ok);
        QCOMPARE(rig->st().MemoryImage, deviceImage(word));
        QVERIFY(rig->st().MemoryImageFromDevice);
        QCOMPARE(rig->st().DeviceType, type);
        QCOMPARE(rig->st().ReplyTimeoutTicks, 150);
        QCOMPARE(rig->commands(), (QList<QByteArray>{"Q", "M", "R\r", "E\r"}));
        for (const auto &s : rig->ports.sent())
            QCOMPARE(s.settings, QStringLiteral("1200,N,8,1"));
        QCOMPARE(rig->ports.openPorts(), 0);
        QVERIFY(rig->boxes.shown.isEmpty());
        QVERIFY(!rig->device.inSettingMode());
    }

    void readFailuresLeaveStateAlone_data()
    {
        QTest::addColumn<SimFault>("f");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("box"); // empty: no box
        QTest::addColumn<int>("commands");
        QTest::newRow("no answer to Q") << fault("Q", SimFault::Silence, -1)
                                        << int(CommResult::NoAnswer) << QString() << 1;
        QTest::newRow("M silent") << fault("M", SimFault::Silence) << int(CommResult::TimedOut)
                                  << kReadError.arg(100).arg("M").arg("") << 2;
        QTest::newRow("M without CR") << fault("M", SimFault::NoCR) << int(CommResult::TimedOut)
                                      << kReadError.arg(100).arg("M").arg("A") << 2;
        QTest::newRow("R silent") << fault("R", SimFault::Silence) << int(CommResult::TimedOut)
                                  << kReadError.arg(150).arg("R").arg("") << 3;
    }
    void readFailuresLeaveStateAlone()
    {
        QFETCH(SimFault, f);
        QFETCH(int, result);
        QFETCH(QString, box);
        QFETCH(int, commands);
        auto rig = rig52(527);
        rig->device.addFault(f);
        const QByteArray before = rig->st().MemoryImage;

        QCOMPARE(int(rig->engine->Read52X()), result);
        QCOMPARE(rig->commands().size(), commands);
        if (box.isEmpty()) {
            QVERIFY(rig->boxes.shown.isEmpty());
        } else {
            QCOMPARE(rig->boxes.shown.size(), 1);
            const ShownBox &b = rig->boxes.shown.first();
            QCOMPARE(b.text, box);
            QCOMPARE(b.title, applicationTitle());
            QCOMPARE(b.icon, MsgIcon::None);
            QCOMPARE(b.buttons, MsgButtons::Ok);
        }
        QCOMPARE(rig->st().MemoryImage, before);
        QVERIFY(!rig->st().MemoryImageFromDevice);
        QCOMPARE(rig->st().DeviceType, int(Type527));
        QCOMPARE(rig->ports.openPorts(), 0);
    }

    // The reply to "R" must be complete while fewer than 150 ticks have
    // passed since it was sent; to "M", fewer than 100; any content will do.
    void readTimeLimits_data()
    {
        QTest::addColumn<SimFault>("f");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("box");
        // Replies land 1 ms (latency) + delay after the command was written.
        QTest::newRow("R before tick 150") << fault("R", SimFault::Delay, 1, {}, 1497) << true << QString();
        QTest::newRow("R after tick 150") << fault("R", SimFault::Delay, 1, {}, 1500) << false
                                          << kReadError.arg(150).arg("R").arg("");
        // First half at once, the rest (with the CR) late: complete, but too late.
        QTest::newRow("R completed after tick 150")
            << fault("R", SimFault::Chunks, 1, {}, 1500) << false
            << kReadError.arg(150).arg("R").arg(QString::fromLatin1(deviceImage("0064").left(32)));
        QTest::newRow("R completed before tick 150")
            << fault("R", SimFault::Chunks, 1, {}, 1497) << true << QString();
        QTest::newRow("M before tick 100") << fault("M", SimFault::Delay, 1, {}, 997) << true << QString();
        QTest::newRow("M after tick 100") << fault("M", SimFault::Delay, 1, {}, 1000) << false
                                          << kReadError.arg(100).arg("M").arg("");
        QTest::newRow("M refused") << fault("M", SimFault::Refuse) << true << QString();
        QTest::newRow("M odd reply") << fault("M", SimFault::Wrong, 1, "xyz\r") << true << QString();
        // The echo of "E" is never looked at.
        QTest::newRow("E silent") << fault("E", SimFault::Silence) << true << QString();
        QTest::newRow("E wrong") << fault("E", SimFault::Wrong, 1, "??\r") << true << QString();
    }
    void readTimeLimits()
    {
        QFETCH(SimFault, f);
        QFETCH(bool, ok);
        QFETCH(QString, box);
        auto rig = rig52(521, deviceImage("0064"));
        rig->device.addFault(f);
        const CommResult r = rig->engine->Read52X();
        QCOMPARE(r, ok ? CommResult::Ok : CommResult::TimedOut);
        QCOMPARE(rig->boxes.texts(), box.isEmpty() ? QStringList() : QStringList{box});
        if (ok)
            QCOMPARE(rig->st().MemoryImage, deviceImage("0064"));
        QCOMPARE(rig->ports.openPorts(), 0);
    }

    void writeSendsImage()
    {
        auto rig = rig52(521, deviceImage("0064"));
        QCOMPARE(rig->engine->Read52X(), CommResult::Ok);
        DecodeMemoryImage(rig->st());
        rig->rec().setField(2, "02000");
        rig->rec().setField(13, "6");
        rig->clock.setToday(QDate(2003, 5, 7));
        rig->device.clearLog();

        QCOMPARE(rig->engine->Writedata52(), CommResult::Ok);
        QCOMPARE(rig->commands().size(), 4);
        const QByteArray w = rig->commands().at(2);
        QCOMPARE(w.size(), 54);
        QCOMPARE(w, QByteArray("W") + rig->st().MemoryImage.left(52) + '\r');
        QCOMPARE(w.mid(7, 6), QByteArray("0007D0")); // F2 2000
        QCOMPARE(w.mid(45, 4), QByteArray("5A5A"));  // as read
        QCOMPARE(w.mid(49, 4), QByteArray("06AB"));  // today's code 1707
        QCOMPARE(rig->commands(), (QList<QByteArray>{"Q", "M", w, "E\r"}));
        QCOMPARE(rig->rec().field(31), QByteArray("1707 "));
        QCOMPARE(rig->st().MemoryImage.mid(52), deviceImage("0064").mid(52));
        QVERIFY(rig->boxes.shown.isEmpty());
        QCOMPARE(rig->ports.openPorts(), 0);
        // The device, decoding with its own coder, holds the new settings.
        QCOMPARE(rig->device.record().field(2), QByteArray("02000"));
        QCOMPARE(rig->device.record().field(13), QByteArray("6"));
        QCOMPARE(rig->device.record().field(31).trimmed(), QByteArray("1707"));
    }

    void writeFailures_data()
    {
        QTest::addColumn<QList<SimFault>>("faults");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QList<QByteArray>>("sent"); // command heads, W for the write
        const QString comm = QStringLiteral("QEL-5600と通信ができません。\n電源、通信線を確認してください。");
        const QString range = QStringLiteral("設定範囲外です。\n設定値を確認してください。");
        const QString unexpected = QStringLiteral("予期せぬエラーが発生しました。");
        using L = QList<QByteArray>;
        QTest::newRow("W refused") << QList<SimFault>{fault("W", SimFault::Refuse)}
                                   << int(CommResult::Refused) << QStringList{range}
                                   << L{"Q", "M", "W", "E"};
        QTest::newRow("W wrong three times")
            << QList<SimFault>{fault("W", SimFault::Wrong, -1, "O\r")} << int(CommResult::Unexpected)
            << QStringList{unexpected} << L{"Q", "M", "W", "W", "W", "E"};
        QTest::newRow("W wrong twice") << QList<SimFault>{fault("W", SimFault::Wrong, 2, "O\r")}
                                       << int(CommResult::Ok) << QStringList{}
                                       << L{"Q", "M", "W", "W", "W", "E"};
        QTest::newRow("M wrong three times")
            << QList<SimFault>{fault("M", SimFault::Wrong, -1, "?\r")} << int(CommResult::Unexpected)
            << QStringList{unexpected} << L{"Q", "M", "M", "M", "E"};
        QTest::newRow("W silent") << QList<SimFault>{fault("W", SimFault::Silence)}
                                  << int(CommResult::TimedOut) << QStringList{comm}
                                  << L{"Q", "M", "W"};
        QTest::newRow("M silent") << QList<SimFault>{fault("M", SimFault::Silence)}
                                  << int(CommResult::TimedOut) << QStringList{comm} << L{"Q", "M"};
        QTest::newRow("no answer to Q") << QList<SimFault>{fault("Q", SimFault::Silence, -1)}
                                        << int(CommResult::NoAnswer) << QStringList{} << L{"Q"};
        // Leaving the setting mode fails: its own message 3 ends the write.
        QTest::newRow("W refused, E never echoed")
            << QList<SimFault>{fault("W", SimFault::Refuse), fault("E", SimFault::Wrong, -1, "X\r")}
            << int(CommResult::Unexpected) << QStringList{unexpected} << L{"Q", "M", "W", "E", "E", "E"};
    }
    void writeFailures()
    {
        QFETCH(QList<SimFault>, faults);
        QFETCH(int, result);
        QFETCH(QStringList, boxes);
        QFETCH(QList<QByteArray>, sent);
        auto rig = rig52(527, deviceImage("044C"));
        QCOMPARE(rig->engine->Read52X(), CommResult::Ok);
        DecodeMemoryImage(rig->st());
        rig->rec().setField(7, "42");
        const QByteArray updateBefore = rig->rec().field(31);
        rig->clock.setToday(QDate(2003, 5, 7));
        rig->device.clearLog();
        for (const SimFault &f : faults)
            rig->device.addFault(f);

        QCOMPARE(int(rig->engine->Writedata52()), result);
        QList<QByteArray> heads;
        for (const QByteArray &c : rig->commands())
            heads << c.left(1);
        QCOMPARE(heads, sent);
        QCOMPARE(rig->boxes.texts(), boxes);
        for (const ShownBox &b : rig->boxes.shown)
            QCOMPARE(b.icon, MsgIcon::Question);
        QCOMPARE(rig->ports.openPorts(), 0);
        // Only an accepted write stamps the update date into the record; the
        // image keeps what was encoded either way.
        QCOMPARE(rig->rec().field(31),
                 result == int(CommResult::Ok) ? QByteArray("1707 ") : updateBefore);
        QCOMPARE(rig->st().MemoryImage.mid(42, 2), QByteArray("2A"));
        QCOMPARE(rig->st().MemoryImage.mid(48, 4), QByteArray("06AB"));
    }

    void writeNeedsImageFromDevice()
    {
        auto rig = rig52(521, deviceImage("0064"));
        rig->rec().setField(31, "1234");
        const QByteArray before = rig->st().MemoryImage;

        QCOMPARE(rig->engine->Writedata52(), CommResult::Failed);
        QVERIFY(rig->commands().isEmpty());
        QVERIFY(rig->ports.sent().isEmpty());
        QCOMPARE(rig->boxes.shown.size(), 1);
        QCOMPARE(rig->boxes.shown.first().title, applicationTitle());
        QCOMPARE(rig->boxes.shown.first().icon, MsgIcon::Exclamation);
        QCOMPARE(rig->rec().field(31), QByteArray("1234 "));
        QCOMPARE(rig->st().MemoryImage, before);

        // A failed read does not count as an image from the device.
        rig->device.addFault(fault("R", SimFault::Silence));
        QCOMPARE(rig->engine->Read52X(), CommResult::TimedOut);
        rig->device.clearLog();
        QCOMPARE(rig->engine->Writedata52(), CommResult::Failed);
        QVERIFY(rig->commands().isEmpty());
    }
};

QTEST_APPLESS_MAIN(Link52XTest)
#include "test_52x_link.moc"
