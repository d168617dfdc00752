#include "Fonts.h"

#include <QApplication>
#include <cmath>

namespace qel {

namespace {
constexpr qreal kDesignPoints = 9.0;
}

qreal desktopFontScale()
{
    const qreal points = QApplication::font().pointSizeF();
    if (points <= 0)
        return 1.0;
    // Within reason: a broken setting must not make the windows unusable.
    return qBound(0.75, points / kDesignPoints, 4.0);
}

QFont designFont(const QString &family, qreal points)
{
    QFont f(family);
    f.setPointSizeF(points * desktopFontScale());
    return f;
}

int scaled(int pixels)
{
    return int(std::lround(pixels * desktopFontScale()));
}

} // namespace qel
