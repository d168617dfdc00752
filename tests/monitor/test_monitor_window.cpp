// The monitor window over its engine: captions, opening and closing, the
// trend strip.
#include "TestRig.h"
#include "editor/SettingsCommands.h"
#include "monitor/ui/Monitor.h"
#include "monitor/ui/TrendStrip.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace qel;
using qel::test::Rig;

namespace {

struct WinRig {
    WinRig()
        : commands(*rig.ctx, *rig.engine, *rig.typeChange),
          win(*rig.ctx, *rig.engine,
              {[this] { commands.ReadingIn(); }, [this] { commands.WritingOut(); },
               [this] { ++typeChanges; }})
    {
        rig.st().DeviceType = Type5600;
        rig.st().ReplyTimeoutTicks = 15;
        rig.device.setMonitorCounts(4000, 0, 0x960);
        rig.device.record().setField(7, "20");
    }
    bool runUntil(const std::function<bool()> &done, qint64 maxMs = 20000)
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
    Rig rig;
    SettingsCommands commands;
    int typeChanges = 0;
    Monitor win;
};

} // namespace

class TestMonitorWindow : public QObject {
    Q_OBJECT
private slots:
    void readingsReachTheBoxesAndTheStrip()
    {
        WinRig w;
        w.win.open();
        QVERIFY(w.win.isOpen() && w.win.isVisible());
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 3; }));
        QCOMPARE(w.win.Text1[0]->text(), QStringLiteral("     960"));
        QCOMPARE(w.win.Text1[1]->text(), QStringLiteral("   50.00"));
        QCOMPARE(w.win.Trend->buffer().size(), 3);
        // Drawing the strip must not fail with samples and gaps in it.
        w.win.Trend->addSample(std::nan(""));
        QImage img(w.win.Trend->size(), QImage::Format_ARGB32);
        w.win.Trend->render(&img);
    }

    void openWhileOpenDoesNotLoadAgain()
    {
        WinRig w;
        w.win.open();
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 1; }));
        w.win.open();
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 2; }));
        QCOMPARE(w.rig.commands().count("P"), 1);
    }

    void exitButtonStoresThePositionCloseBoxDoesNot()
    {
        {
            WinRig w;
            w.win.open();
            QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 1; }));
            w.win.Command1->click();
            QVERIFY(w.win.isVisible()); // only at the end of the next poll
            QVERIFY(w.runUntil([&] { return !w.win.isOpen(); }));
            QVERIFY(!w.win.isVisible());
            QVERIFY(w.rig.store.values.contains(QStringLiteral("QEL-5600/Monitor/Left")));
            QVERIFY(!w.rig.st().MonitorActive);
        }
        {
            WinRig w;
            w.win.open();
            QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 1; }));
            w.win.close();
            QVERIFY(!w.win.isOpen());
            QVERIFY(!w.rig.st().MonitorActive);
            QVERIFY(!w.rig.store.values.contains(QStringLiteral("QEL-5600/Monitor/Left")));
        }
    }

    void pendingTypeChangeCallsTheDialog()
    {
        WinRig w;
        w.win.open();
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 1; }));
        w.rig.st().PendingCommand = Pending::TypeChange;
        QVERIFY(w.runUntil([&] { return w.typeChanges == 1 && w.win.logic().readings >= 3; }));
        QVERIFY(w.win.Command1->isEnabled());
    }
};

QTEST_MAIN(TestMonitorWindow)
#include "test_monitor_window.moc"
