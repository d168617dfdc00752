#pragma once
// The text cursor stops blinking after ten seconds without input, as on the
// GNOME desktop, and blinks again at the next key press or click: a window
// left open on the desk then costs no wake-ups at all.

#include <QObject>
#include <QTimer>

namespace qel {

class CursorBlinkTimeout : public QObject {
public:
    explicit CursorBlinkTimeout(int timeoutMs = 10000, QObject *parent = nullptr);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restart();
    QTimer timer_;
    int flashTime_ = 0; // the desktop's own, restored on input
};

} // namespace qel
