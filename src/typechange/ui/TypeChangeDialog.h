#pragma once
// The "　タイプ変更" dialog: the operation type options and the 実行/キャンセル buttons.

#include "typechange/TypeChange.h"

#include <QDialog>
#include <QList>

class QRadioButton;
class QPushButton;
class QGroupBox;

namespace qel {

class TypeChangeDialog : public QDialog {
    Q_OBJECT
public:
    TypeChangeDialog(Context &ctx, TypeChange &logic, QWidget *parent = nullptr);
    // Selects the option of a type code; other codes change nothing.
    void selectByType(int type);

    QGroupBox *Frame1 = nullptr;
    // One a type, in the order of deviceTypes() (Option1 521, Option2 527, Option3 5600).
    QList<QRadioButton *> options;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;

    void Command1_Click();
    void Command2_Click();

public slots:
    // Escape and the close box act as キャンセル; they do nothing while a
    // change is under way.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    Context &ctx_;
    TypeChange &logic_;
    bool busy_ = false;
};

} // namespace qel
