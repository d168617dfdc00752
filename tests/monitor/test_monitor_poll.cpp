// The monitor's poll, set-up exchanges, deferred commands and closing, on the
// virtual clock against the simulated converter.
#include "TestRig.h"
#include "editor/SettingsCommands.h"
#include "monitor/MonitorEngine.h"

#include <QtTest>
#include <cmath>

using namespace qel;
using qel::test::Rig;

namespace {

const QString kCommTitle = QStringLiteral("ＱＥＬ－５６００　通信エラー");

struct View : MonitorView {
    void setText1(int i, const QString &t) override { text[i] = t; }
    void setLabel1(int i, const QString &t) override { label1[i] = t; }
    void setLabel2(const QString &t) override { label2 = t; }
    void setLabel3(const QString &t) override { label3 << t; }
    void setCommand1Enabled(bool on) override { command1 = on; }
    void readingShown(double p) override { shown << p; }
    void saveWindowPos() override { ++saves; }
    void closeWindow() override { ++closes; }
    QString text[2], label1[2], label2;
    QStringList label3;
    bool command1 = false;
    QList<double> shown;
    int saves = 0, closes = 0;
};

struct MonRig {
    explicit MonRig(int type = 5600) : rig(type), mon(*rig.ctx, *rig.engine)
    {
        rig.st().DeviceType = type == 5600 ? Type5600 : type == 521 ? Type521 : Type527;
        rig.st().ReplyTimeoutTicks = type == 5600 ? 15 : 150; // as detection leaves it
        rig.device.setMonitorCounts(4000, 0, 0x960);
        rig.device.record().setField(7, "20");
        mon.setView(&view);
        MonitorActions a;
        a.readingIn = [this] { ++reads; if (onRead) onRead(); };
        a.writingOut = [this] { ++writes; if (onWrite) onWrite(); };
        a.showTypeChange = [this] { ++changes; if (onChange) onChange(); };
        mon.setActions(a);
        rig.ctx->hooks.setPortMenuEnabled = [this](bool on) { portMenu << on; };
    }
    // Runs virtual time until done() or maxMs have passed.
    bool runUntil(const std::function<bool()> &done, qint64 maxMs = 60000)
    {
        const qint64 end = rig.clock.nowMs() + maxMs;
        while (!done()) {
            if (rig.clock.nowMs() > end)
                return false;
            rig.clock.yield();
            // A yield with nothing pending would block a real event loop for good.
            if (rig.clock.emptyYields() > 0)
                return false;
        }
        return true;
    }
    bool readings(int n) { return runUntil([&] { return mon.readings >= n || !mon.isLoaded(); }); }
    int sentCount(const QByteArray &cmd) const { return rig.commands().count(cmd); }

    Rig rig;
    MonitorEngine mon;
    View view;
    int reads = 0, writes = 0, changes = 0;
    std::function<void()> onRead, onWrite, onChange;
    QList<bool> portMenu;
};

} // namespace

class TestMonitorPoll : public QObject {
    Q_OBJECT
private slots:
    void setUp5600AndTheWorkedExample()
    {
        MonRig m(5600);
        m.mon.Form_Load();
        QVERIFY(m.rig.st().MonitorActive);
        QVERIFY(!m.rig.ctx->ticks.isActive());
        QCOMPARE(m.portMenu, QList<bool>{false});
        QVERIFY(m.readings(1));
        QCOMPARE(m.rig.commands(),
                 (QList<QByteArray>{"P", "M", "RP01\r", "RP03\r", "T\r", "U\r", "E\r", "Q"}));
        QCOMPARE(m.rig.ports.sent().first().settings, QStringLiteral("9600,n,8,1"));
        QCOMPARE(m.mon.FullCount, 4000);
        QCOMPARE(m.mon.ZeroCount, 0);
        QCOMPARE(m.mon.BiasPercent, 20);
        QCOMPARE(m.view.text[0], QStringLiteral("     960"));
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));
        QCOMPARE(m.view.label2, QStringLiteral("周波数計"));
        QCOMPARE(m.view.label1[1], QStringLiteral("周波数/ﾌﾙｽｹｰﾙ(％)"));
        QCOMPARE(m.view.label3, (QStringList{QString(), QStringLiteral("データ読み出し中"), QString()}));
        QVERIFY(m.rig.boxes.shown.isEmpty());
        QVERIFY(m.readings(3));
        QCOMPARE(m.sentCount("P"), 1); // the set-up runs once
    }

    void setUp52XReadsModeAndBiasFromTheImage()
    {
        MonRig m(521);
        m.rig.device.setSerial(12345);
        m.rig.device.record().setField(1, "1"); // period measurement
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QCOMPARE(m.rig.commands(),
                 (QList<QByteArray>{"P", "M", "R\r", "T\r", "U\r", "E\r", "Q"}));
        QCOMPARE(m.rig.ports.sent().first().settings, QStringLiteral("1200,n,8,1"));
        QCOMPARE(m.mon.BiasPercent, 20);
        QCOMPARE(m.view.label2, QStringLiteral("周期計"));
        QCOMPARE(m.view.label1[1], QStringLiteral("周期/ﾌﾙｽｹｰﾙ(％)"));
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));
    }

    void periodModeOf5600AndUnusualReplies()
    {
        MonRig m(5600);
        m.rig.device.record().setField(1, "1");
        m.rig.device.addFault({"P", sim::SimFault::Wrong, 1, "XYZ\r"});
        m.rig.device.addFault({"U", sim::SimFault::Refuse, 1});
        m.rig.device.addFault({"RP03", sim::SimFault::Refuse, 1});
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QCOMPARE(m.view.label2, QStringLiteral("周期計"));
        QCOMPARE(m.mon.FullCount, -1); // not hex; only exactly 0 becomes 1
        QCOMPARE(m.mon.ZeroCount, 0);  // "?" to "U"
        QCOMPARE(m.mon.BiasPercent, 0); // "?" to "RP03"
        QVERIFY(m.rig.boxes.shown.isEmpty());
    }

    void fullCountZeroBecomesOne()
    {
        MonRig m(5600);
        m.rig.device.setMonitorCounts(0, 0, 1);
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QCOMPARE(m.mon.FullCount, 1);
    }

    void refusedReadingBlanksBothBoxesAndPollingGoesOn()
    {
        MonRig m(5600);
        m.rig.device.addFault({"Q", sim::SimFault::Refuse, 1});
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QVERIFY(m.view.text[0].isEmpty());
        QVERIFY(m.view.text[1].isEmpty());
        QVERIFY(std::isnan(m.view.shown.first()));
        QVERIFY(m.readings(2));
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));
        QVERIFY(m.rig.boxes.shown.isEmpty());
    }

    void pollsAreSpacedByThePollTimer()
    {
        MonRig m(5600);
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QList<qint64> qAt;
        QVERIFY(m.readings(4));
        for (const auto &s : m.rig.ports.sent())
            if (s.bytes == "Q")
                qAt << s.atMs;
        QCOMPARE(qAt.size(), 4);
        // 100 ms after the previous poll ended, one yield that does not wait
        // for a tick, then the 20 ms pause.
        for (int i = 1; i < qAt.size(); ++i) {
            QVERIFY2(qAt[i] - qAt[i - 1] >= 120, qPrintable(QString::number(qAt[i] - qAt[i - 1])));
            QVERIFY2(qAt[i] - qAt[i - 1] <= 125, qPrintable(QString::number(qAt[i] - qAt[i - 1])));
        }
    }

    // Every set-up command, as written and with its own limit in ticks: left
    // unanswered once, it shows the diagnostic box with the ticks counted
    // from the write, the bytes sent and nothing received, and is repeated.
    void eachSetUpCommandTimesOutAfterItsTicks_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("ticks");
        const struct {
            int type;
            const char *key, *command;
            int ticks;
        } rows[] = {
            {5600, "P", "P", 2},        {5600, "M", "M", 2},     {5600, "RP01", "RP01\r", 2},
            {5600, "RP03", "RP03\r", 2}, {5600, "T", "T\r", 10}, {5600, "U", "U\r", 10},
            {5600, "E", "E\r", 2},       {521, "P", "P", 100},    {521, "M", "M", 100},
            {521, "R", "R\r", 150},      {527, "T", "T\r", 20},  {527, "U", "U\r", 20},
            {527, "E", "E\r", 150},
        };
        for (const auto &r : rows)
            QTest::addRow("%d %s", r.type, r.key)
                << r.type << QByteArray(r.key) << QByteArray(r.command) << r.ticks;
    }
    void eachSetUpCommandTimesOutAfterItsTicks()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, command);
        QFETCH(int, ticks);
        MonRig m(type);
        m.rig.device.addFault({key, sim::SimFault::Silence, 1});
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QCOMPARE(m.sentCount(command), 2);
        QCOMPARE(m.rig.boxes.shown.size(), 1);
        const auto &box = m.rig.boxes.shown.first();
        QCOMPARE(box.text, QStringLiteral("Error in MonitorDataReadWrite()T?=%1\r\nSD$=%2\r\nRD$=")
                               .arg(ticks)
                               .arg(QString::fromLatin1(command)));
        QCOMPARE(box.title, applicationTitle());
        QCOMPARE(box.icon, MsgIcon::None);
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));
    }

    // A slow 5600 within its 2 ticks passes; a later answer is repeated.
    // The reading itself waits 100 ticks for "Q" and shows no box.
    void slowAnswersAgainstTheLimits()
    {
        MonRig m(5600);
        m.rig.device.addFault({"M", sim::SimFault::Delay, 1, {}, 12});
        m.rig.device.addFault({"RP01", sim::SimFault::Delay, 1, {}, 35});
        m.rig.device.addFault({"Q", sim::SimFault::Delay, 1, {}, 990});
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        QCOMPARE(m.sentCount("M"), 1);
        QCOMPARE(m.sentCount("RP01\r"), 2);
        QCOMPARE(m.sentCount("Q"), 1);
        QCOMPARE(m.rig.boxes.shown.size(), 1);
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));

        m.rig.device.addFault({"Q", sim::SimFault::Silence, 1});
        QVERIFY(m.readings(2));
        QList<qint64> qAt;
        for (const auto &s : m.rig.ports.sent())
            if (s.bytes == "Q")
                qAt << s.atMs;
        QCOMPARE(qAt.size(), 3);
        // 100 ticks from the write, then the next attempt's 20 ms pause.
        QVERIFY2(qAt[2] - qAt[1] >= 1020 && qAt[2] - qAt[1] <= 1025,
                 qPrintable(QString::number(qAt[2] - qAt[1])));
        QCOMPARE(m.rig.boxes.shown.size(), 1);
    }

    void wrongSetUpReplyEndsTheSetUpButPollingGoesOn()
    {
        MonRig m(5600);
        m.rig.device.addFault({"M", sim::SimFault::Wrong, 1, "X\r"});
        m.mon.Form_Load();
        QVERIFY(m.readings(2));
        QVERIFY(m.mon.isLoaded());
        QCOMPARE(m.rig.boxes.shown.size(), 1);
        QCOMPARE(m.rig.boxes.shown.first().title, kCommTitle);
        QCOMPARE(m.sentCount("RP01\r"), 0);
        QCOMPARE(m.view.label3.last(), QString());
        QCOMPARE(m.sentCount("Q"), 2);
    }

    void deadLineClosesTheMonitorNotTheProgram()
    {
        MonRig m(5600);
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        m.rig.device.addFault({"Q", sim::SimFault::Silence, -1});
        QVERIFY(m.runUntil([&] { return !m.mon.isLoaded(); }));
        QCOMPARE(m.sentCount("Q"), 21); // one good reading, then 20 attempts
        // No diagnostic box for "Q": only message 1 at the end.
        QCOMPARE(m.rig.boxes.shown.size(), 1);
        QCOMPARE(m.rig.boxes.shown.first().title, kCommTitle);
        QVERIFY(m.mon.closedOnError());
        QCOMPARE(m.rig.terminations, 0);
        QVERIFY(!m.rig.st().MonitorActive);
        QCOMPARE(m.portMenu, (QList<bool>{false, true}));
        QCOMPARE(m.view.closes, 1);
        QCOMPARE(m.view.saves, 0);
        QCOMPARE(m.rig.ports.openPorts(), 0);
    }

    void deadLineDuringSetUpShowsEachAttempt()
    {
        MonRig m(5600);
        m.rig.device.addFault({"P", sim::SimFault::Silence, -1});
        m.mon.Form_Load();
        QVERIFY(m.runUntil([&] { return !m.mon.isLoaded(); }));
        QCOMPARE(m.sentCount("P"), 20);
        QCOMPARE(m.rig.boxes.shown.size(), 21);
        QVERIFY(m.rig.boxes.shown.first().text.startsWith(QStringLiteral("Error in MonitorDataReadWrite()")));
        QCOMPARE(m.rig.boxes.shown.last().title, kCommTitle);
        QCOMPARE(m.mon.readings, 0);
        QCOMPARE(m.rig.terminations, 0);
    }

    void unknownDeviceTypeOrPortRefusedClosesTheMonitor()
    {
        {
            MonRig m(5600);
            m.rig.st().DeviceType = TypeNone;
            m.mon.Form_Load();
            QVERIFY(m.runUntil([&] { return !m.mon.isLoaded(); }));
            QCOMPARE(m.rig.boxes.shown.size(), 1);
            QCOMPARE(m.rig.boxes.shown.first().text, QStringLiteral("機器ﾀｲﾌﾟが認識できません。"));
            QCOMPARE(m.rig.boxes.shown.first().icon, MsgIcon::Exclamation);
            QVERIFY(m.rig.commands().isEmpty());
            QCOMPARE(m.rig.terminations, 0);
        }
        {
            MonRig m(5600);
            m.rig.ports.failingPorts.insert(1);
            m.mon.Form_Load();
            QVERIFY(m.runUntil([&] { return !m.mon.isLoaded(); }));
            QCOMPARE(m.rig.boxes.shown.size(), 1);
            QCOMPARE(m.rig.boxes.shown.first().title, kCommTitle);
            QVERIFY(m.mon.closedOnError());
            QVERIFY(!m.rig.st().MonitorActive);
        }
    }

    // "終了" and a pending read arrive while the reading waits; the reading and
    // the command are done first, then the position is stored and it closes.
    void closeRequestedDuringAPoll()
    {
        MonRig m(5600);
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        bool pressed = false;
        m.rig.clock.onYield = [&] {
            if (!pressed && m.sentCount("Q") == 2) {
                pressed = true;
                m.mon.Command1_Click();
                m.rig.st().PendingCommand = Pending::Read;
            }
            return false;
        };
        QVERIFY(m.runUntil([&] { return !m.mon.isLoaded(); }));
        QCOMPARE(m.mon.readings, 2);
        QCOMPARE(m.reads, 1);
        QCOMPARE(m.view.saves, 1);
        QCOMPARE(m.view.closes, 1);
        QVERIFY(!m.mon.closedOnError());
        QVERIFY(!m.rig.st().MonitorActive);
        QVERIFY(m.rig.st().PendingCommand == Pending::None);
        QVERIFY(m.rig.ctx->ticks.isActive()); // the shared tick source runs again
        QCOMPARE(m.rig.ports.openPorts(), 0);
        const int sent = m.rig.commands().size();
        m.rig.clock.advance(2000);
        QCOMPARE(m.rig.commands().size(), sent);
    }

    void pendingReadReopensWithoutNewSetUp()
    {
        MonRig m(5600);
        m.onRead = [&] {
            QVERIFY(!m.mon.MSComm1().isOpen());
            QCOMPARE(m.rig.ports.openPorts(), 0);
            QVERIFY(!m.view.command1);
        };
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        m.rig.st().PendingCommand = Pending::Read;
        QVERIFY(m.readings(3));
        QCOMPARE(m.reads, 1);
        QVERIFY(m.rig.st().PendingCommand == Pending::None);
        QVERIFY(m.mon.MSComm1().isOpen());
        QVERIFY(m.view.command1);
        QCOMPARE(m.sentCount("P"), 1);
    }

    void pendingWriteAndTypeChangeRunTheSetUpAgain()
    {
        MonRig m(5600);
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        m.rig.st().PendingCommand = Pending::Write;
        QVERIFY(m.readings(3));
        QCOMPARE(m.writes, 1);
        QCOMPARE(m.sentCount("P"), 2);

        // The type change's dialog runs its own event loop; no poll may
        // overlap it, and the next set-up uses the type it left.
        m.onChange = [&] {
            const int before = m.rig.commands().size();
            QVERIFY(m.mon.Busy);
            m.rig.clock.advance(1000);
            QCOMPARE(m.rig.commands().size(), before);
            m.rig.device.setType(521);
            m.rig.st().DeviceType = Type521;
        };
        m.rig.st().PendingCommand = Pending::TypeChange;
        QVERIFY(m.readings(5));
        QCOMPARE(m.changes, 1);
        QCOMPARE(m.sentCount("R\r"), 1);
        QCOMPARE(m.rig.ports.sent().last().settings, QStringLiteral("1200,n,8,1"));
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));
    }

    void pendingReadWithTheRealReadFreesTheLine()
    {
        MonRig m(5600);
        SettingsCommands commands(*m.rig.ctx, *m.rig.engine, *m.rig.typeChange);
        MonitorActions a;
        a.readingIn = [&] { ++m.reads; commands.ReadingIn(); };
        m.mon.setActions(a);
        m.rig.device.record().setField(8, "01234");
        m.mon.Form_Load();
        QVERIFY(m.readings(1));
        m.rig.st().PendingCommand = Pending::Read;
        QVERIFY(m.readings(3));
        QCOMPARE(m.reads, 1);
        QCOMPARE(m.sentCount("P"), 1);
        QCOMPARE(m.rig.rec().field(8), QByteArray("01234"));
        QVERIFY2(m.rig.boxes.shown.isEmpty(), qPrintable(m.rig.boxes.texts().join(u'|')));
        QVERIFY(m.mon.isLoaded());
        QCOMPARE(m.rig.commands().last(), QByteArray("Q"));
    }

    // The close box unloads at once, even while an exchange waits.
    void closeBoxDuringAnExchangeAndReopen()
    {
        MonRig m(5600);
        m.rig.device.addFault({"Q", sim::SimFault::Silence, 1});
        m.mon.Form_Load();
        bool closed = false;
        m.rig.clock.onYield = [&] {
            if (!closed && m.sentCount("Q") == 1) {
                closed = true;
                m.mon.Form_Unload();
            }
            return false;
        };
        QVERIFY(m.runUntil([&] { return closed && !m.mon.Busy; }));
        QCOMPARE(m.view.saves, 0);
        QVERIFY(m.rig.boxes.shown.isEmpty());
        m.rig.clock.advance(3000);
        QCOMPARE(m.sentCount("Q"), 1);
        QCOMPARE(m.rig.ports.openPorts(), 0);

        m.rig.clock.onYield = nullptr;
        m.view.text[0] = QStringLiteral("stale");
        m.mon.Form_Load();
        QVERIFY(m.view.text[0].isEmpty()); // a new screen starts empty
        QVERIFY(m.readings(1));
        QCOMPARE(m.sentCount("P"), 2);
        QCOMPARE(m.view.text[1], QStringLiteral("   50.00"));
    }
};

QTEST_GUILESS_MAIN(TestMonitorPoll)
#include "test_monitor_poll.moc"
