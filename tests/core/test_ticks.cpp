// The 10 ms tick source behind TickCount: it rests while nothing waits on it
// (an idle program is not woken a hundred times a second), a wait after a
// rest reads the count a never-resting timer would give, and a pause ends at
// its deadline however late the tick events come.

#include "core/Context.h"
#include "platform/VirtualClock.h"

#include <QtTest>

using namespace qel;

namespace {

// A clock whose timer events all come `lateMs` late, as on a loaded machine,
// and whose periodic timers count each period from the late event before.
// The pause's own deadline timer is late the same way, once.
class LateClock : public VirtualClock {
public:
    explicit LateClock(int lateMs) : late_(lateMs) {}
    std::unique_ptr<Timer> createTimer() override
    {
        return std::make_unique<LateTimer>(VirtualClock::createTimer(), late_);
    }

private:
    class LateTimer : public Timer {
    public:
        LateTimer(std::unique_ptr<Timer> in, int late) : in_(std::move(in)), late_(late)
        {
            in_->onTimeout = [this] {
                in_->start(period_ + late_);
                if (onTimeout)
                    onTimeout();
            };
        }
        void start(int ms) override
        {
            period_ = ms;
            in_->start(ms + late_);
        }
        void stop() override { in_->stop(); }
        bool isActive() const override { return in_->isActive(); }

    private:
        std::unique_ptr<Timer> in_;
        int late_;
        int period_ = 10;
    };
    int late_;
};

Platform platformOf(Clock &clock)
{
    Platform p;
    p.clock = &clock;
    return p;
}

} // namespace

class TestTicks : public QObject {
    Q_OBJECT
private slots:
    void restsWhileNothingWaits();
    void pauseEndsAtItsDeadline_data();
    void pauseEndsAtItsDeadline();
};

void TestTicks::restsWhileNothingWaits()
{
    VirtualClock clock;
    Context ctx(platformOf(clock));
    ctx.ticks.restart();
    // The program goes back to its event loop: the first tick that comes
    // there is counted, and then nothing more wakes it.
    clock.advance(10);
    QCOMPARE(ctx.state.TickCount, 1);
    QCOMPARE(clock.yields(), 0);
    clock.yield();
    QCOMPARE(clock.emptyYields(), 1); // no timer left to wake the program
    QVERIFY(ctx.ticks.isActive());    // only resting

    // A wait 345 ms later reads what an ever-running timer would have counted.
    clock.advance(345);
    ctx.yield();
    QCOMPARE(clock.nowMs(), 360);
    QCOMPARE(ctx.state.TickCount, 36);
    // ...and the count still stops at 1000.
    clock.advance(20000);
    ctx.yield();
    QCOMPARE(ctx.state.TickCount, 1000);
}

void TestTicks::pauseEndsAtItsDeadline_data()
{
    QTest::addColumn<int>("lateMs");
    QTest::newRow("on time") << 0;
    QTest::newRow("events 3 ms late") << 3;
    QTest::newRow("events 9 ms late") << 9;
}

void TestTicks::pauseEndsAtItsDeadline()
{
    QFETCH(int, lateMs);
    LateClock clock(lateMs);
    Context ctx(platformOf(clock));
    for (int pause = 1; pause <= 3; ++pause) {
        const qint64 t0 = clock.nowMs();
        ctx.ticks.pause(2);
        // Counting late events would make it 20 + 2 x late; the deadline's
        // one late event holds it at 20 + late.
        QCOMPARE(clock.nowMs() - t0, qint64(20 + lateMs));
        QCOMPARE(ctx.state.TickCount, 2);
    }
}

QTEST_GUILESS_MAIN(TestTicks)
#include "test_ticks.moc"
