#include "TrendStrip.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <limits>

namespace qel {

namespace {

const char *const kHeading = QT_TRANSLATE_NOOP("qel::TrendStrip", "最新 %1 %   1分間の最小 %2 %   最大 %3 %");

QString percentText(double v)
{
    return std::isfinite(v) ? QString::number(v, 'f', 2) : QStringLiteral("--");
}

int decimalsFor(double step)
{
    if (step >= 1.0)
        return 0;
    if (step >= 0.1)
        return 1;
    return 2;
}

} // namespace

TrendStrip::TrendStrip(std::function<qint64()> now, QWidget *parent)
    : QWidget(parent), now_(std::move(now)), buffer_(1024)
{
    setObjectName(QStringLiteral("Trend"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
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

TrendStrip::Stats TrendStrip::stats() const
{
    Stats s;
    s.last = std::numeric_limits<double>::quiet_NaN();
    const qint64 from = now_() - kWindowMs;
    buffer_.forEachSince(from, [&](const TrendBuffer::Sample &x) { s.last = x.value; });
    s.any = buffer_.range(from, s.lo, s.hi);
    return s;
}

QString TrendStrip::headingText() const
{
    const Stats s = stats();
    return heading(percentText(s.last), s.any ? percentText(s.lo) : QStringLiteral("--"),
                   s.any ? percentText(s.hi) : QStringLiteral("--"));
}

QString TrendStrip::heading(const QString &last, const QString &lo, const QString &hi)
{
    return tr(kHeading).arg(last, lo, hi);
}

int TrendStrip::widerThanDrawn() const
{
    // The heading with the widest values, in the language shown, against
    // the Japanese heading the strip was drawn for.
    const QString v = QStringLiteral("-100.00");
    const QFontMetrics fm = fontMetrics();
    return std::max(0, fm.horizontalAdvance(heading(v, v, v))
                           - fm.horizontalAdvance(QString::fromUtf8(kHeading).arg(v, v, v)));
}

QSize TrendStrip::sizeHint() const
{
    return QSize(320 + widerThanDrawn(), 140);
}

QSize TrendStrip::minimumSizeHint() const
{
    return QSize(200 + widerThanDrawn(), 90);
}

TrendStrip::Axis TrendStrip::axisFor(double lo, double hi, int maxTicks)
{
    if (!(lo <= hi)) // NaN or swapped
        lo = 0, hi = 100;
    // Two steps at least: a range around zero needs one on each side.
    maxTicks = std::max(maxTicks, 2);
    // At least a tenth of a percent in view, so a steady value sits in the
    // middle of a readable scale.
    if (hi - lo < 0.1) {
        const double mid = (lo + hi) / 2;
        lo = mid - 0.05;
        hi = mid + 0.05;
    }
    auto steps = [&](double step) {
        return std::ceil(hi / step - 1e-9) - std::floor(lo / step + 1e-9);
    };
    double p = std::pow(10.0, std::floor(std::log10((hi - lo) / maxTicks)));
    double step = p;
    for (int i = 0; i < 40; ++i, p *= 10) {
        for (double m : {1.0, 2.0, 5.0}) {
            step = m * p;
            if (steps(step) <= maxTicks)
                return Axis{std::floor(lo / step + 1e-9) * step,
                            std::ceil(hi / step - 1e-9) * step, step};
        }
    }
    return Axis{lo, hi, hi - lo};
}

void TrendStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = fontMetrics();
    const int lh = fm.height();
    const QColor textColor = palette().text().color();
    const QColor gridColor = palette().mid().color();

    // Heading: last value, minimum and maximum of the minute.
    // Three-digit values (100.00 % and over) make it longer than the strip
    // was drawn for: the blanks close up first, then the text gets smaller,
    // so its last "%" always shows.
    p.setPen(textColor);
    const int headW = width() - 8;
    QString heading = headingText();
    if (fm.horizontalAdvance(heading) > headW)
        heading = heading.simplified();
    QFont headFont = p.font();
    for (qreal pt = headFont.pointSizeF(); pt > 5 && QFontMetrics(headFont).horizontalAdvance(heading) > headW;) {
        pt -= 0.5;
        headFont.setPointSizeF(pt);
    }
    p.save();
    p.setFont(headFont);
    p.drawText(QRect(4, 2, headW, lh), Qt::AlignLeft | Qt::AlignVCenter, heading);
    p.restore();

    const qint64 now = now_();
    const qint64 from = now - kWindowMs;
    double seenLo = 0, seenHi = 100;
    buffer_.range(from, seenLo, seenHi);

    const int labelW = fm.horizontalAdvance(QStringLiteral("-100.00")) + 6;
    // The time labels stand below the half line by which the lowest
    // percentage label reaches under the plot, so the two never touch.
    const int timeGap = lh / 2 + 2;
    const QRectF plot(labelW, lh + 8, width() - labelW - fm.horizontalAdvance(QStringLiteral("0 s")) / 2 - 4,
                      height() - 2 * lh - 12 - timeGap);
    if (plot.width() < 10 || plot.height() < 10)
        return;
    const Axis ax = axisFor(seenLo, seenHi, std::max(1, int(plot.height() / (lh * 1.2))));
    auto yOf = [&](double v) { return plot.bottom() - (v - ax.lo) / (ax.hi - ax.lo) * plot.height(); };
    auto xOf = [&](qint64 t) { return plot.left() + double(t - from) / double(kWindowMs) * plot.width(); };

    // Percentage axis.
    const int decimals = decimalsFor(ax.step);
    QPen grid(gridColor, 1, Qt::DotLine);
    for (int i = 0;; ++i) {
        const double v = ax.lo + i * ax.step;
        if (v > ax.hi + ax.step / 2)
            break;
        const double y = yOf(v);
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(textColor);
        p.drawText(QRectF(0, y - lh / 2.0, labelW - 4, lh), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v + 0.0, 'f', decimals));
    }

    // Time axis: seconds back from now.
    const int tickLabelW = fm.horizontalAdvance(QStringLiteral("-60 s")) + 8;
    int everyS = 10;
    while (everyS < 60 && plot.width() / (60 / everyS) < tickLabelW)
        everyS = everyS == 10 ? 20 : 30;
    for (int s = 60; s >= 0; s -= everyS) {
        const double x = xOf(now - qint64(s) * 1000);
        p.setPen(grid);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(textColor);
        const QString label = s == 0 ? QStringLiteral("0 s") : QStringLiteral("-%1 s").arg(s);
        p.drawText(QRectF(x - tickLabelW / 2.0, plot.bottom() + timeGap, tickLabelW, lh),
                   Qt::AlignHCenter | Qt::AlignTop, label);
    }
    p.setPen(QPen(gridColor, 1));
    p.drawRect(plot);

    // The line; a blanked reading leaves a gap.
    QPainterPath path;
    bool penDown = false;
    buffer_.forEachSince(from, [&](const TrendBuffer::Sample &s) {
        if (!std::isfinite(s.value)) {
            penDown = false;
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
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(palette().highlight().color(), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

} // namespace qel
