#pragma once
// A small strip under the monitor's boxes: the percentage over the last
// minute. The poll only appends a sample and asks for a repaint; the drawing
// happens in paintEvent.

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

    QSize sizeHint() const override { return QSize(240, 48); }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    std::function<qint64()> now_;
    TrendBuffer buffer_;
};

} // namespace qel
