#pragma once
// The per-user stored settings: the port number and window positions, as text
// values under the application "QEL-5600". Positions are in twips (15 twips to
// a pixel on a 96-dpi screen), kept as decimal text of a single-precision number.

#include "core/Context.h"

#include <QString>

namespace qel {

inline constexpr int kTwipsPerPixel = 15;

// mode 0: save `value` under app/section/key; mode 1: set `value` to the
// stored text (empty when nothing is stored). A store that fails leaves
// `value` unchanged; no error reaches the caller.
void RegSetting(Context &ctx, int mode, const QString &app, const QString &section,
                const QString &key, QString &value);

// mode 0: store CommPortNo under "QEL-5600"/"CommPort"/"No."; mode 1: read it
// back (leading number of the text, rounded half to even; none gives 0).
// Other modes do nothing.
void CommPortSetting(Context &ctx, int mode);

// A window as the store sees it: its form name and its frame in twips.
struct FormGeometry {
    QString name;
    double top = 0;
    double left = 0;
    double height = 0;
    double width = 0;
};

// Saves Top, Left, Height and Width, in this order, under "QEL-5600"/name.
void SaveWindowPos(Context &ctx, const FormGeometry &form);
// Reads Top and Left (and the two size keys, unused), rounds them to whole
// twips and keeps the window's bottom/right edge on the screen. No lower bound:
// stored negative values are applied as they are. Sets form.top and form.left.
void RestoreWindowPos(Context &ctx, FormGeometry &form, double screenWidth, double screenHeight);

// The leading numeric value of a stored text (see Numbers.h); 0 also when
// it is too large to hold.
double leadingValue(const QString &text);
// Decimal text of a single-precision number, as stored ("1500", "-7.5").
QString singleText(double v);

} // namespace qel
