#pragma once
// "Opening Title": the title picture shown while the main window loads (port,
// type detection, first read), then about one second more.

#include "core/Context.h"

#include <QWidget>
#include <functional>

class QLabel;

namespace qel {

// Waits until the seconds-of-day clock, rounded to a whole second at the
// start, has moved on by one second, yielding to events meanwhile. A wait
// across midnight counts the new day's seconds on from the old day's end.
void TitleWait(Clock &clock);

// The title picture, drawn.
QPixmap titlePicture(const QSize &size);

class OpningTitle : public QWidget {
    Q_OBJECT
public:
    explicit OpningTitle(Context &ctx);

    // The start of the program: program folder current, help file name,
    // centred title shown, the main window loaded (loadMain), the wait, the
    // main window shown and the title closed.
    void Form_Load(QWidget *mainWindow, const std::function<void()> &loadMain);

    QLabel *Picture1;
    // The help file's name, relative to the program's folder.
    QString helpFile;

private:
    Context &ctx_;
};

} // namespace qel
