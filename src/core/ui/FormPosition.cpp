#include "FormPosition.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace qel {

namespace {
QRect screenRect()
{
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->geometry();
    return QRect(0, 0, 1024, 768);
}

int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QMargins marginsOf(const QWidget *w)
{
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                    f.bottom() - g.bottom());
}
} // namespace

QMargins frameMargins(const QWidget *w)
{
    const QMargins own = marginsOf(w);
    if (!own.isNull())
        return own;
    // Not framed yet (never shown): another framed window tells what the
    // window manager adds.
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *t : windows) {
        if (t == w || !t->isVisible() || (t->windowFlags() & Qt::FramelessWindowHint))
            continue;
        const QMargins m = marginsOf(t);
        if (!m.isNull())
            return m;
    }
    return kTypicalFrame;
}

QSize frameSize(const QWidget *w)
{
    const QMargins m = frameMargins(w);
    return w->size().grownBy(m);
}

FormGeometry formGeometry(const QWidget *w)
{
    const QRect f = w->frameGeometry();
    FormGeometry g;
    g.name = w->objectName();
    g.top = double(w->pos().y()) * kTwipsPerPixel;
    g.left = double(w->pos().x()) * kTwipsPerPixel;
    g.height = double(f.height()) * kTwipsPerPixel;
    g.width = double(f.width()) * kTwipsPerPixel;
    return g;
}

double screenWidthTwips()
{
    return double(screenRect().width()) * kTwipsPerPixel;
}

double screenHeightTwips()
{
    return double(screenRect().height()) * kTwipsPerPixel;
}

void SaveWindowPos(Context &ctx, const QWidget *w)
{
    SaveWindowPos(ctx, formGeometry(w));
}

bool hasStoredPosition(Context &ctx, const QString &formName)
{
    QString top, left;
    RegSetting(ctx, 1, QStringLiteral("QEL-5600"), formName, QStringLiteral("Top"), top);
    RegSetting(ctx, 1, QStringLiteral("QEL-5600"), formName, QStringLiteral("Left"), left);
    return !top.isEmpty() || !left.isEmpty();
}

void RestoreWindowPos(Context &ctx, QWidget *w, const QWidget *centreOn)
{
    if (centreOn && !hasStoredPosition(ctx, w->objectName())) {
        centreOver(w, centreOn);
        return;
    }
    FormGeometry g = formGeometry(w);
    // The bottom and right edges kept on the screen are those of the frame,
    // also before the window manager has framed the window.
    const QSize outer = frameSize(w);
    g.height = double(outer.height()) * kTwipsPerPixel;
    g.width = double(outer.width()) * kTwipsPerPixel;
    RestoreWindowPos(ctx, g, screenWidthTwips(), screenHeightTwips());
    w->move(toPixels(g.left), toPixels(g.top));
}

void centreOver(QWidget *w, const QWidget *over)
{
    if (!over)
        return centreOnScreen(w);
    const QRect o(over->pos(), frameSize(over));
    const QSize f = frameSize(w);
    w->move(o.left() + (o.width() - f.width()) / 2, o.top() + (o.height() - f.height()) / 2);
}

int titleWiderThanDrawn(const QString &shown, const QString &drawn)
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    return std::max(0, fm.horizontalAdvance(shown) - fm.horizontalAdvance(drawn));
}

void centreOnScreen(QWidget *w)
{
    const QRect s = screenRect();
    const QSize f = frameSize(w);
    w->move(s.left() + (s.width() - f.width()) / 2, s.top() + (s.height() - f.height()) / 2);
}

} // namespace qel
