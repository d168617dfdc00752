#include "TypeChangeDialog.h"

#include "core/ui/FormPosition.h"
#include "core/ui/Keys.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qel {

TypeChangeDialog::TypeChangeDialog(Context &ctx, TypeChange &logic, QWidget *parent)
    : QDialog(parent), ctx_(ctx), logic_(logic)
{
    setObjectName(QStringLiteral("TypeChange"));
    setWindowTitle(tr("　タイプ変更"));
    setModal(true);
    setWindowFlags(kFixedDialogFlags);

    Frame1 = new QGroupBox(tr("動作タイプの選択"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    // One option a type, in the types' order: Option1, Option2 ...
    auto *column = new QVBoxLayout(Frame1);
    for (const DeviceTypeInfo *type : deviceTypes()) {
        auto *o = new QRadioButton(tr(type->optionCaption), Frame1);
        o->setObjectName(QStringLiteral("Option%1").arg(options.size() + 1));
        column->addWidget(o);
        options << o;
    }

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
    for (QRadioButton *o : options) {
        if (o->isChecked()) {
            o->setFocus();
            break;
        }
    }
    QDialog::showEvent(e);
}

void TypeChangeDialog::selectByType(int type)
{
    if (const DeviceTypeInfo *t = deviceTypeInfo(type))
        options[deviceTypes().indexOf(t)]->setChecked(true);
}

void TypeChangeDialog::Command1_Click()
{
    if (busy_)
        return;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Command1->setEnabled(false);
    Command2->setEnabled(false);

    // The type chosen; with none, the last one.
    qsizetype chosen = options.size() - 1;
    for (qsizetype i = 0; i < options.size(); ++i)
        if (options[i]->isChecked())
            chosen = i;
    const TypeChange::ChangeResult last = logic_.ChangeType(deviceTypes()[chosen]->digit());
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
