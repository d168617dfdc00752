#pragma once
// The windows ask for their fonts by the names they were designed with; the
// program maps them to the IPA fonts at its start (the printer's
// installFontSubstitutions) so that columns line up and every Japanese glyph
// comes from one font.
//
// The windows were drawn for 9-point text. A desktop set to larger (or
// smaller) text scales those fonts and the pixel sizes laid out around them
// by the same factor.

#include <QFont>

namespace qel {

// The desktop's text size over the 9 points the windows were drawn for
// (1 where the desktop sets no size of its own).
qreal desktopFontScale();
// `family` at `points` scaled by desktopFontScale().
QFont designFont(const QString &family, qreal points);
// A pixel size of the drawing, scaled by desktopFontScale().
int scaled(int pixels);
} // namespace qel
