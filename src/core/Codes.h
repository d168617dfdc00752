#pragma once
// The date code the converters store (year-in-century x 500 + month x 40 + day)
// and the hexadecimal conversion used on 52X images and monitor replies.

#include <QByteArray>
#include <QDate>
#include <QString>

namespace qel {

// Date code of the given day as decimal text, no sign, no leading zeros.
QByteArray DateEnCord(const QDate &today);
// Decoded date text "YYYY-MM-DD" of a stored code (blank or no digits: code 0).
QString DateDeCord(const QByteArray &DateEncDat);

// The value 0..15 of a hexadecimal digit (either case); -1 for any other character.
int hexDigitValue(char c);
// Hex text to integer, left to right; a non-hex character counts as 0.
qint32 HexValue(const QByteArray &text);

} // namespace qel
