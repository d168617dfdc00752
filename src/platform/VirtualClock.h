#pragma once
// Virtual time for tests and in-process simulation: timers and scheduled
// events sit on one queue; yield() jumps to the earliest and runs it. A wait
// of ten seconds costs microseconds, and every tick is exact.

#include "Clock.h"

#include <functional>
#include <map>
#include <utility>

namespace qel {

class VirtualClock : public Clock {
public:
    VirtualClock();
    ~VirtualClock() override;
    std::unique_ptr<Timer> createTimer() override;
    void yield() override;
    qint64 nowMs() const override { return now_; }
    QDate today() const override { return today_; }
    double secondsOfDay() const override { return secondsOfDay_ + now_ / 1000.0; }
    // today() at secondsOfDay(), running on past midnight.
    QDateTime wallTime() const override
    {
        return QDateTime(today_, QTime(0, 0)).addMSecs(qint64(secondsOfDay_ * 1000) + now_);
    }

    void setToday(const QDate &d) { today_ = d; }
    void setSecondsOfDay(double s) { secondsOfDay_ = s; }

    // Runs fn at now + delayMs (in order of time, then of scheduling).
    void schedule(qint64 delayMs, std::function<void()> fn);
    // Runs every event due up to now + ms.
    void advance(qint64 ms);
    // Called on every yield, before the next event runs: lets a test press a
    // button in the middle of a wait. Returning true consumes the yield.
    std::function<bool()> onYield;
    // Yields without any event pending (a wait that could never end).
    int emptyYields() const { return emptyYields_; }
    qint64 yields() const { return yields_; }

private:
    friend class VirtualTimer;
    using Key = std::pair<qint64, quint64>;
    quint64 add(qint64 at, std::function<void()> fn);
    void remove(quint64 id);
    // Takes the earliest event off the queue, moves the time on to it, runs it.
    void runFirst();

    qint64 now_ = 0;
    quint64 seq_ = 0;
    std::map<Key, std::function<void()>> queue_;
    std::map<quint64, Key> index_;
    QDate today_ = QDate(2026, 12, 7);
    double secondsOfDay_ = 36000.0;
    int emptyYields_ = 0;
    qint64 yields_ = 0;
    std::shared_ptr<bool> alive_;
};

} // namespace qel
