// The monitor window over its engine: captions, opening and closing, the
// trend strip.
#include "TestRig.h"
#include "editor/SettingsCommands.h"
#include "monitor/ui/Monitor.h"
#include "monitor/ui/TrendStrip.h"

#include <QAccessible>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QScreen>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

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
        TrendStrip::Stats st = w.win.Trend->stats();
        QCOMPARE(st.last, 50.0);
        QVERIFY(st.any && st.lo == 50.0 && st.hi == 50.0);
        // Drawing the strip must not fail with samples and gaps in it; a
        // blank reading has no last value but keeps the minute's range.
        w.win.Trend->addSample(std::nan(""));
        st = w.win.Trend->stats();
        QVERIFY(std::isnan(st.last) && st.any && st.hi == 50.0);
        QImage img(w.win.Trend->size(), QImage::Format_ARGB32);
        w.win.Trend->render(&img);
    }

    void valuesRightAlignedWindowPlaced()
    {
        // The padded values line up by their last digit.
        WinRig w;
        for (QLineEdit *t : w.win.Text1)
            QVERIFY(t->alignment() & Qt::AlignRight);
        // Nothing stored: opened over the middle of the main window.
        QWidget main;
        main.setGeometry(300, 200, 600, 380);
        w.win.centreOn = &main;
        w.win.open();
        const QPoint off = w.win.geometry().center() - main.geometry().center();
        QVERIFY2(std::abs(off.x()) <= 4 && std::abs(off.y()) <= 4,
                 qPrintable(QStringLiteral("%1,%2").arg(off.x()).arg(off.y())));

        // Stored near the bottom right: the frame stays on the screen.
        WinRig low;
        low.rig.store.values.insert(QStringLiteral("QEL-5600/Monitor/Top"), QStringLiteral("999999"));
        low.rig.store.values.insert(QStringLiteral("QEL-5600/Monitor/Left"), QStringLiteral("999999"));
        low.win.centreOn = &main;
        low.win.open();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect frame = low.win.frameGeometry();
        QVERIFY2(frame.bottom() <= screen.bottom() && frame.right() <= screen.right(),
                 qPrintable(QStringLiteral("%1,%2 on %3x%4").arg(frame.right()).arg(frame.bottom())
                                .arg(screen.width()).arg(screen.height())));
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

    // Enter on 終了 (either keyboard's) and Escape anywhere in the window
    // close the monitor as 終了 does: at the end of the next poll.
    void keysCloseTheMonitor_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("onButton");
        QTest::newRow("Enter on 終了") << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter on 終了") << int(Qt::Key_Enter) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }
    void keysCloseTheMonitor()
    {
        QFETCH(int, key);
        QFETCH(bool, onButton);
        WinRig w;
        w.win.open();
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 1; }));
        QWidget *target = onButton ? static_cast<QWidget *>(w.win.Command1) : &w.win;
        QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(w.runUntil([&] { return !w.win.isOpen(); }));
        QVERIFY(w.rig.store.values.contains(QStringLiteral("QEL-5600/Monitor/Left")));
    }

    // A screen reader meets the monitor as a window with a named trend strip;
    // a long recording file name is cut to the window, which keeps its size.
    void windowAsARecordingLeavesIt()
    {
        WinRig w;
        QTemporaryDir dir;
        w.rig.dialogs->files.push_back(dir.filePath(QString(120, QLatin1Char('x')) + QStringLiteral(".csv")));
        w.win.open();
        QCOMPARE(QAccessible::queryAccessibleInterface(&w.win)->role(), QAccessible::Window);
        QVERIFY(!QAccessible::queryAccessibleInterface(w.win.Trend)->text(QAccessible::Name).isEmpty());
        const QSize before = w.win.size();
        w.win.RecordButton->click();
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 2; }));
        QVERIFY(w.win.recorder().isRecording());
        w.win.layout()->activate();
        QCOMPARE(w.win.size(), before);
        QVERIFY(w.win.RecordSign->toolTip().endsWith(QStringLiteral("xxxx.csv")));
        w.win.RecordButton->click();
        w.win.layout()->activate();
        QCOMPARE(w.win.size(), before);
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

    // Recording from the window into the file chosen in the dialog: the
    // header and one row a reading, stamped with the reading's time; the
    // file is complete whichever way the recording ends, and the sign shows
    // only while it records.
    void recordingEndsWithACompleteFile_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("record button") << QStringLiteral("button");
        QTest::newRow("exit button") << QStringLiteral("exit");
        QTest::newRow("close box") << QStringLiteral("closebox");
        QTest::newRow("line lost") << QStringLiteral("lost");
    }
    void recordingEndsWithACompleteFile()
    {
        QFETCH(QString, end);
        WinRig w;
        QTemporaryDir dir;
        w.rig.dialogs->files.push_back(dir.filePath(QStringLiteral("run"))); // ".csv" added
        w.win.recorder().setWallClock([&] {
            return QDateTime(QDate(2026, 12, 7), QTime(10, 0), QTimeZone(9 * 3600))
                .addMSecs(w.rig.clock.nowMs());
        });
        w.win.open();
        QVERIFY(w.win.RecordSign->isHidden());
        w.win.RecordButton->click();
        QVERIFY(!w.win.RecordSign->isHidden());
        QVERIFY(w.win.RecordSign->text().contains(QStringLiteral("run.csv")));
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 5; }));

        if (end == QLatin1String("button")) {
            w.win.RecordButton->click();
        } else if (end == QLatin1String("exit")) {
            w.win.Command1->click();
            QVERIFY(w.runUntil([&] { return !w.win.isOpen(); }));
        } else if (end == QLatin1String("closebox")) {
            w.win.close();
        } else {
            w.rig.device.addFault({"Q", sim::SimFault::Silence, -1});
            QVERIFY(w.runUntil([&] { return !w.win.isOpen(); }, 60000));
        }
        QVERIFY(!w.win.recorder().isRecording());
        QVERIFY(w.win.RecordSign->isHidden());
        QCOMPARE(w.win.RecordButton->text(), QStringLiteral("記録開始..."));

        QFile f(dir.filePath(QStringLiteral("run.csv")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        QCOMPARE(rows.first(), QByteArray("time,da_hex,percent"));
        QCOMPARE(rows.last(), QByteArray()); // the last row is whole
        QCOMPARE(rows.size() - 2, int(w.win.logic().readings));
        QDateTime prev;
        for (int i = 1; i < rows.size() - 1; ++i) {
            QVERIFY2(rows[i].endsWith("+09:00,960,50.00"), rows[i].constData());
            const QDateTime t = QDateTime::fromString(QString::fromLatin1(rows[i].left(29)),
                                                      Qt::ISODateWithMs);
            QVERIFY(t.isValid());
            if (prev.isValid()) // 100 ms timer, 20 ms pause, the reply
                QVERIFY(prev.msecsTo(t) >= 120 && prev.msecsTo(t) < 200);
            prev = t;
        }
        // Only the lost line has its message; the recording adds none.
        QCOMPARE(w.rig.boxes.shown.size(), end == QLatin1String("lost") ? 1 : 0);
    }

    // A disk that fills (here: the file size limit) stops the recording with
    // a message; the monitor goes on, the file ends with a whole row.
    void fullDiskStopsTheRecordingNotTheMonitor()
    {
        WinRig w;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        w.rig.dialogs->files.push_back(path);
        w.win.open();
        w.win.RecordButton->click();
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= 2; }));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lim = old;
        lim.rlim_cur = rlim_t(QFileInfo(path).size() + 10);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &lim), 0);
        const bool stopped = w.runUntil([&] { return !w.win.recorder().isRecording(); });
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(stopped);
        QCOMPARE(w.rig.boxes.shown.size(), 1);
        QVERIFY(w.rig.boxes.shown[0].text.startsWith(QStringLiteral("記録ファイルに書き込めません。")));
        QVERIFY(w.rig.boxes.shown[0].text.contains(path));
        QVERIFY(w.win.RecordSign->isHidden());
        const qint64 seen = w.win.logic().readings;
        QVERIFY(w.runUntil([&] { return w.win.logic().readings >= seen + 3; }));
        QVERIFY(w.win.isOpen());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith('\n'));
    }

    // The strip's scale covers what is in view with a few round steps.
    void trendAxisCoversTheRangeInView_data()
    {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::newRow("steady value") << 50.0 << 50.0;
        QTest::newRow("full range") << 0.0 << 100.0;
        QTest::newRow("below zero and beyond full scale") << -12.5 << 131.0;
        QTest::newRow("small wobble") << 49.93 << 50.08;
        QTest::newRow("far out") << 1234.0 << 98765.0;
    }
    void trendAxisCoversTheRangeInView()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        for (int maxTicks : {2, 3, 6}) {
            const TrendStrip::Axis a = TrendStrip::axisFor(lo, hi, maxTicks);
            QVERIFY(a.lo <= lo && a.hi >= hi);
            QVERIFY(a.lo < a.hi && a.step > 0);
            const double steps = (a.hi - a.lo) / a.step;
            QVERIFY(steps <= maxTicks + 1e-6);
            QVERIFY(std::abs(steps - std::round(steps)) < 1e-6);
        }
    }
};

QTEST_MAIN(TestMonitorWindow)
#include "test_monitor_window.moc"
