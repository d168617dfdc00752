#include "QtMessageBoxes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace qel {

namespace {

// Abort ends the program: a box that asks it must be answered with a button,
// never by Escape or the window frame (which would count as Abort).
class AnswerRequired : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape)
            return true;
        if (e->type() == QEvent::Close && !answered) {
            e->ignore();
            return true;
        }
        return false;
    }
    bool answered = false;
};

} // namespace

MsgResult QtMessageBoxes::show(const QString &text, const QString &title, MsgIcon icon,
                               MsgButtons buttons)
{
    // Over the window the user works in (a dialog, the monitor, the main
    // window), not in the middle of the screen.
    QWidget *owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    if (!owner)
        owner = parent_;
    QMessageBox box(owner);
    box.setWindowTitle(title);
    // Always plain text: a reply quoted in a diagnostic may hold "<" or "&".
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (buttons == MsgButtons::AbortRetryIgnore) {
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        // Enter tries again: 中止 ends the program and is never what a
        // hurried Enter should mean.
        box.setDefaultButton(QMessageBox::Retry);
        box.button(QMessageBox::Abort)->setText(QCoreApplication::translate("QtMessageBoxes", "中止(&A)"));
        box.button(QMessageBox::Retry)->setText(QCoreApplication::translate("QtMessageBoxes", "再試行(&R)"));
        box.button(QMessageBox::Ignore)->setText(QCoreApplication::translate("QtMessageBoxes", "無視(&I)"));
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    AnswerRequired guard;
    if (buttons == MsgButtons::AbortRetryIgnore) {
        box.installEventFilter(&guard);
        QObject::connect(&box, &QMessageBox::buttonClicked, &box,
                         [&guard](QAbstractButton *) { guard.answered = true; });
    }
    switch (box.exec()) {
    case QMessageBox::Abort: return MsgResult::Abort;
    case QMessageBox::Retry: return MsgResult::Retry;
    case QMessageBox::Ignore: return MsgResult::Ignore;
    default: return buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort : MsgResult::Ok;
    }
}

} // namespace qel
