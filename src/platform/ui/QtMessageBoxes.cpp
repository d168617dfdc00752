#include "QtMessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace qel {

MsgResult QtMessageBoxes::show(const QString &text, const QString &title, MsgIcon icon,
                               MsgButtons buttons)
{
    QMessageBox box(parent_);
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
        box.setDefaultButton(QMessageBox::Abort);
        box.button(QMessageBox::Abort)->setText(QStringLiteral("中止(&A)"));
        box.button(QMessageBox::Retry)->setText(QStringLiteral("再試行(&R)"));
        box.button(QMessageBox::Ignore)->setText(QStringLiteral("無視(&I)"));
        // Escape or the frame answers Abort: the box offers no way out
        // without an answer.
        box.setEscapeButton(QMessageBox::Abort);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Abort: return MsgResult::Abort;
    case QMessageBox::Retry: return MsgResult::Retry;
    case QMessageBox::Ignore: return MsgResult::Ignore;
    default: return buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort : MsgResult::Ok;
    }
}

} // namespace qel
