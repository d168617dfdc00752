#pragma once
// Message boxes over QMessageBox.

#include "platform/MessageBoxes.h"

class QWidget;

namespace qel {

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }
    MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;

private:
    QWidget *parent_;
};

} // namespace qel
