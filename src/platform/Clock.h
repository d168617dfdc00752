#pragma once
// Time as the device logic sees it: millisecond timers with a tick callback,
// a yield that blocks in the event loop until the next event, today's date,
// a seconds-of-day clock and the wall-clock time. QtClock drives real timers; VirtualClock drives the
// same code in tests without real waiting.

#include <QDateTime>
#include <functional>
#include <memory>

namespace qel {

class Timer {
public:
    virtual ~Timer() = default;
    virtual void start(int intervalMs) = 0; // (re)starts the period from now
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    std::function<void()> onTimeout = [] {}; // set by the timer's owner
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::unique_ptr<Timer> createTimer() = 0;
    // Block until at least one event (timer, serial data, user input) has been
    // handled. Never spins.
    virtual void yield() = 0;
    // Handle the events already pending and return without waiting (one pass
    // through the event loop where nothing is awaited). By default the same
    // as yield().
    virtual void processPending() { yield(); }
    // Milliseconds since an arbitrary start, for measurements only.
    virtual qint64 nowMs() const = 0;
    virtual QDate today() const = 0;
    virtual double secondsOfDay() const = 0;
    // The local date and time now, for what is named or stamped by it (a
    // copy of the device history, a backup file): the system's, whatever
    // date a write stamps (QEL_TODAY).
    virtual QDateTime wallTime() const { return QDateTime::currentDateTime(); }
};

} // namespace qel
