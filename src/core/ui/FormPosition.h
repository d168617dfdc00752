#pragma once
// Window positions of real windows: a QWidget's frame in twips, saved and
// restored through the store routines under the window's object name.

#include "core/Settings.h"

class QWidget;

namespace qel {

FormGeometry formGeometry(const QWidget *w);
// Screen width and height in twips (the primary screen).
double screenWidthTwips();
double screenHeightTwips();
void SaveWindowPos(Context &ctx, const QWidget *w);
void RestoreWindowPos(Context &ctx, QWidget *w);
// Places w centred over `over` (Left/Top by the halves of the size difference).
void centreOver(QWidget *w, const QWidget *over);
// Places w centred on the screen.
void centreOnScreen(QWidget *w);

} // namespace qel
