#include "TrendStrip.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace qel {

TrendStrip::TrendStrip(std::function<qint64()> now, QWidget *parent)
    : QWidget(parent), now_(std::move(now)), buffer_(1024)
{
    setMinimumHeight(36);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TrendStrip::addSample(double percent)
{
    buffer_.append(now_(), percent);
    update();
}

void TrendStrip::clear()
{
    buffer_.clear();
    update();
}

void TrendStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().mid().color());
    p.drawRect(area);

    const qint64 now = now_();
    const qint64 from = now - kWindowMs;
    // The scale always holds 0 % and 100 %, and stretches to what was seen.
    double lo = 0.0, hi = 100.0;
    double seenLo, seenHi;
    if (buffer_.range(from, seenLo, seenHi)) {
        lo = std::min(lo, seenLo);
        hi = std::max(hi, seenHi);
    }
    const double top = area.top() + 2, bottom = area.bottom() - 2;
    auto yOf = [&](double v) { return bottom - (v - lo) / (hi - lo) * (bottom - top); };
    auto xOf = [&](qint64 t) {
        return area.left() + double(t - from) / double(kWindowMs) * area.width();
    };

    QPen guide(palette().mid().color(), 1, Qt::DotLine);
    p.setPen(guide);
    p.drawLine(QPointF(area.left(), yOf(0.0)), QPointF(area.right(), yOf(0.0)));
    p.drawLine(QPointF(area.left(), yOf(100.0)), QPointF(area.right(), yOf(100.0)));

    QPainterPath path;
    bool penDown = false;
    buffer_.forEachSince(from, [&](const TrendBuffer::Sample &s) {
        if (!std::isfinite(s.value)) {
            penDown = false; // a blanked reading leaves a gap
            return;
        }
        const QPointF pt(xOf(s.atMs), yOf(s.value));
        if (penDown)
            path.lineTo(pt);
        else
            path.moveTo(pt);
        penDown = true;
    });
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().highlight().color(), 1.5));
    p.drawPath(path);
}

} // namespace qel
