#pragma once
// The settings screen's rules that need no window: the zero pattern of the
// text boxes, the prediction list's codes and the title's model prefix.

#include <QString>
#include <QStringList>

namespace qel {

// The last `width` characters of a text box, formatted with a pattern of
// `width` zeros: a text that reads as a number becomes that number rounded to
// an integer with at least `width` digits ("12" -> "00012", "-3" -> "-03");
// anything else (letters, empty text, a lone sign) is returned unchanged.
QString zeroPattern(const QString &text, int width);

// The eight entries of the dynamic prediction list, codes "0".."7" in order.
const QStringList &predictionTexts();
// The code of a prediction entry's text; empty for any other text.
QString predictionCode(const QString &text);

// "ＱＥＬ－５６００　" or "ＱＥＬ－５２００　" padded with blanks to 18 characters.
QString modelPrefix(bool is5600Series);

} // namespace qel
