#pragma once
// The "　タイプ変更" dialog: the operation type options and the 実行/キャンセル buttons.

#include "typechange/TypeChange.h"

#include <QDialog>

class QRadioButton;
class QPushButton;
class QGroupBox;

namespace qel {

class TypeChangeDialog : public QDialog {
    Q_OBJECT
public:
    TypeChangeDialog(Context &ctx, TypeChange &logic, QWidget *parent = nullptr);
    // Selects Option1/2/3 by a type code (1, 7, 4); other codes change nothing.
    void selectByType(int type);

    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QRadioButton *Option3 = nullptr;
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
