#pragma once
// Numbers in texts, read the one way the program reads them everywhere: a
// field, a device reply, a stored setting.

#include <QByteArray>

namespace qel {

// The leading whole number of a text: blanks skipped, optional sign, digits
// (at most 12 taken); 0 when the text starts with no digit.
long long leadingNumber(const QByteArray &text);

// The leading numeric value of a text: blanks (space, tab) skipped, optional
// sign, digits with an optional decimal point, an optional exponent; 0 when
// the text starts with no number. Too large a value is infinite.
double leadingValue(const QByteArray &text);

// The nearest whole number, an exact half to the even neighbour: the rounding
// of every reader of numbers (stored settings, device replies). The settings
// screen's zero-padding rounds halves away from zero on purpose (zeroPattern).
double roundHalfEven(double x);

// A device reply's leading decimal number (0 if none), to the nearest
// integer (a half to even), held to the 16-bit range.
int replyInteger(const QByteArray &reply);

} // namespace qel
