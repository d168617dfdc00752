#include "TypeChangeDialog.h"

#include "core/ui/FormPosition.h"
#include "core/ui/Keys.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

namespace qel {

TypeChangeDialog::TypeChangeDialog(Context &ctx, TypeChange &logic, QWidget *parent)
    : QDialog(parent), ctx_(ctx), logic_(logic)
{
    setObjectName(QStringLiteral("TypeChange"));
    setWindowTitle(tr("　タイプ変更"));
    setModal(true);
    setWindowFlags(kFixedDialogFlags);

    Frame1 = new QGroupBox(tr("動作タイプの選択"), this);
    Option1 = new QRadioButton(tr("５２１"), Frame1);
    Option2 = new QRadioButton(tr("５２７"), Frame1);
    Option3 = new QRadioButton(tr("５６００"), Frame1);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2->setObjectName(QStringLiteral("Option2"));
    Option3->setObjectName(QStringLiteral("Option3"));
    auto *options = new QVBoxLayout(Frame1);
    options->addWidget(Option1);
    options->addWidget(Option2);
    options->addWidget(Option3);

    Command1 = new QPushButton(tr("実行"), this);
    Command2 = new QPushButton(tr("キャンセル"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2->setObjectName(QStringLiteral("Command2"));
    // Enter on an option presses nothing; on a button it presses that one.
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    pressOnEnter({Command1, Command2});
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    // Form_Load: the stored position only; no option is preselected here.
    // With nothing stored the window opens centred over the main window.
    if (hasStoredPosition(ctx_, objectName()))
        RestoreWindowPos(ctx_, this);
}

void TypeChangeDialog::showEvent(QShowEvent *e)
{
    if (!hasStoredPosition(ctx_, objectName()) && parentWidget())
        centreOver(this, parentWidget()->window());
    // The keyboard starts on the chosen type, so Space keeps it.
    for (QRadioButton *o : {Option1, Option2, Option3}) {
        if (o->isChecked()) {
            o->setFocus();
            break;
        }
    }
    QDialog::showEvent(e);
}

void TypeChangeDialog::selectByType(int type)
{
    // The options in the order of the types: 521, 527, 5600.
    if (const DeviceTypeInfo *t = deviceTypeInfo(type))
        std::array{Option1, Option2, Option3}[deviceTypes().indexOf(t)]->setChecked(true);
}

void TypeChangeDialog::Command1_Click()
{
    if (busy_)
        return;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Command1->setEnabled(false);
    Command2->setEnabled(false);

    const char digit = Option1->isChecked() ? '1' : Option2->isChecked() ? '7' : '4';
    const TypeChange::ChangeResult last = logic_.ChangeType(digit);
    if (last.aborted) {
        // The user chose to end the program in the detection box.
        QApplication::restoreOverrideCursor();
        busy_ = false;
        hide();
        return;
    }
    // The option shows the type actually found by the detection afterwards.
    if (!last.refused && !last.noEcho)
        selectByType(last.detected);

    SaveWindowPos(ctx_, this);
    QApplication::restoreOverrideCursor();
    ctx_.hooks.ModeTypeDsp();
    ctx_.hooks.VerDsp();
    Command1->setEnabled(true);
    Command2->setEnabled(true);
    busy_ = false;
    done(QDialog::Accepted);
}

void TypeChangeDialog::Command2_Click()
{
    reject();
}

void TypeChangeDialog::reject()
{
    // Escape and the frame are キャンセル: an unconfirmed choice does not
    // stay selected for the next 実行.
    if (busy_)
        return;
    selectByType(ctx_.state.DeviceType);
    QDialog::reject();
}

} // namespace qel
