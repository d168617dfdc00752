#pragma once
// Window positions of real windows: a QWidget's frame in twips, saved and
// restored through the store routines under the window's object name.

#include "core/Settings.h"

#include <QMargins>
#include <QSize>

class QWidget;

namespace qel {

// What a window manager typically adds around a window: used for a window
// that has not been framed yet while no other framed window shows it.
inline constexpr QMargins kTypicalFrame{4, 30, 4, 4};

// Flags of a fixed-size dialog: a title and a close box, no minimise or
// maximise button (told to the window manager in the Motif hints; openbox
// draws its buttons whatever the hints say).
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// The frame around w: its own once framed, else that of another framed
// top-level window, else kTypicalFrame.
QMargins frameMargins(const QWidget *w);
// w's size with its frame.
QSize frameSize(const QWidget *w);

FormGeometry formGeometry(const QWidget *w);
// Screen width and height in twips (the primary screen).
double screenWidthTwips();
double screenHeightTwips();
void SaveWindowPos(Context &ctx, const QWidget *w);
// True when a Top or Left is stored for the form.
bool hasStoredPosition(Context &ctx, const QString &formName);
// Places w at its stored position, its frame kept on the screen. With
// nothing stored and `centreOn` given, w is centred over centreOn instead.
void RestoreWindowPos(Context &ctx, QWidget *w, const QWidget *centreOn = nullptr);
// Places w centred over `over` (Left/Top by the halves of the size difference).
void centreOver(QWidget *w, const QWidget *over);
// Places w centred on the screen.
void centreOnScreen(QWidget *w);

// How much wider than `drawn` (the title a window was drawn for) the title
// `shown` is in a title bar's bold font: what the window needs more so that
// a title bar shows all of it.
int titleWiderThanDrawn(const QString &shown, const QString &drawn);

} // namespace qel
