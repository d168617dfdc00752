#include "CursorBlink.h"

#include <QApplication>
#include <QEvent>

namespace qel {

CursorBlinkTimeout::CursorBlinkTimeout(int timeoutMs, QObject *parent)
    : QObject(parent), flashTime_(QApplication::cursorFlashTime())
{
    timer_.setSingleShot(true);
    timer_.setInterval(timeoutMs);
    connect(&timer_, &QTimer::timeout, this, [] { QApplication::setCursorFlashTime(0); });
    qApp->installEventFilter(this);
    timer_.start();
}

bool CursorBlinkTimeout::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::FocusIn:
    case QEvent::InputMethod:
        restart();
        break;
    default:
        break;
    }
    return false;
}

void CursorBlinkTimeout::restart()
{
    if (QApplication::cursorFlashTime() == 0 && flashTime_ > 0)
        QApplication::setCursorFlashTime(flashTime_);
    timer_.start();
}

} // namespace qel
