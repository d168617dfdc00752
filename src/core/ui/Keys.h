#pragma once
// Keys and screen readers in every window, as technicians know them from the
// program's first platform:
// - Enter (the main keyboard's or the keypad's) presses the push button that
//   has the keyboard, as Space does, also in a window that is not a dialog;
// - a list box is announced by the caption beside it (its accessible name),
//   its value after it;
// - a top-level window that is no dialog is announced as a window.

#include <QString>
#include <initializer_list>

class QAbstractButton;
class QWidget;

namespace qel {

// Enter on one of `buttons` clicks it (nothing while it is disabled).
void pressOnEnter(std::initializer_list<QAbstractButton *> buttons);

// Installs, once, the accessibility of the program's own controls: list boxes
// by their caption, the monitor as a window.
void installAccessibility();

} // namespace qel
