#pragma once
// Real time: QTimer (precise) and a yield that blocks in the event loop.

#include "Clock.h"

#include <QElapsedTimer>

namespace qel {

class QtClock : public Clock {
public:
    QtClock();
    std::unique_ptr<Timer> createTimer() override;
    void yield() override;
    void processPending() override;
    qint64 nowMs() const override { return elapsed_.elapsed(); }
    QDate today() const override;
    double secondsOfDay() const override;
    // For tests of the program itself: a fixed date instead of the system's.
    void setToday(const QDate &d) { fixedToday_ = d; }

private:
    QElapsedTimer elapsed_;
    QDate fixedToday_;
};

} // namespace qel
