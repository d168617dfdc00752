#include "FormPosition.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
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
} // namespace

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

void RestoreWindowPos(Context &ctx, QWidget *w)
{
    FormGeometry g = formGeometry(w);
    RestoreWindowPos(ctx, g, screenWidthTwips(), screenHeightTwips());
    w->move(toPixels(g.left), toPixels(g.top));
}

void centreOver(QWidget *w, const QWidget *over)
{
    if (!over)
        return centreOnScreen(w);
    const QRect o = over->frameGeometry();
    const QRect f = w->frameGeometry();
    w->move(o.left() + (o.width() - f.width()) / 2, o.top() + (o.height() - f.height()) / 2);
}

void centreOnScreen(QWidget *w)
{
    const QRect s = screenRect();
    const QRect f = w->frameGeometry();
    w->move(s.left() + (s.width() - f.width()) / 2, s.top() + (s.height() - f.height()) / 2);
}

} // namespace qel
