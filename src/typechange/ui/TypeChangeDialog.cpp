// STUB: replaced by the type-change dialog.
#include "TypeChangeDialog.h"
namespace qel {
TypeChangeDialog::TypeChangeDialog(Context &ctx, TypeChange &logic, QWidget *parent)
    : QDialog(parent), ctx_(ctx), logic_(logic) {}
void TypeChangeDialog::selectByType(int) {}
void TypeChangeDialog::Command1_Click() {}
void TypeChangeDialog::Command2_Click() {}
}
