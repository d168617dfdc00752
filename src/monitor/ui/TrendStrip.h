#pragma once
// A small strip under the monitor's boxes: the percentage over the last
// minute, with a time axis (seconds back from now), a percentage axis over
// the range in view, and the last value with the minimum and maximum of the
// minute above it. The poll only appends a sample and asks for a repaint;
// the drawing happens in paintEvent.

#include "monitor/TrendBuffer.h"

#include <QWidget>
#include <functional>

namespace qel {

class TrendStrip : public QWidget {
    Q_OBJECT
public:
    // now: the clock the samples are stamped with, in milliseconds.
    explicit TrendStrip(std::function<qint64()> now, QWidget *parent = nullptr);

    void addSample(double percent); // NaN for a blanked reading
    void clear();
    const TrendBuffer &buffer() const { return buffer_; }
    static constexpr qint64 kWindowMs = 60000;

    // What the heading shows: the last reading (NaN when it was blank) and
    // the lowest and highest of the minute (any = false when none).
    struct Stats {
        double last;
        double lo = 0, hi = 0;
        bool any = false;
    };
    Stats stats() const;
    QString headingText() const;

    // The percentage axis for values lo..hi: whole steps of 1, 2 or 5 times
    // a power of ten, at most maxTicks (2 or more) steps, covering lo..hi.
    struct Axis {
        double lo, hi, step;
    };
    static Axis axisFor(double lo, double hi, int maxTicks);

    // As drawn for the Japanese heading, wider by what the language shown
    // needs more for it.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    static QString heading(const QString &last, const QString &lo, const QString &hi);
    int widerThanDrawn() const;

    std::function<qint64()> now_;
    TrendBuffer buffer_;
};

} // namespace qel
