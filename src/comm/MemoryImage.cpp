#include "MemoryImage.h"

#include "core/Codes.h"

namespace qel {

namespace {

// Characters p..p+n-1 (1-based) of the image; missing characters are blanks.
QByteArray chars(const QByteArray &image, int p, int n)
{
    return image.mid(p - 1, n).leftJustified(n, ' ');
}

// The 0..15 value of one image character (a non-hex character counts as 0).
int digitAt(const QByteArray &image, int p)
{
    return HexValue(chars(image, p, 1));
}

// Decimal text with at least `digits` digits, zero-filled on the left.
QByteArray zeroFilled(qint64 v, int digits)
{
    return QByteArray::number(v).rightJustified(digits, '0');
}

// A single decimal digit as it stands; anything else reads as "0".
QByteArray decimalDigit(const QByteArray &image, int p)
{
    const char c = chars(image, p, 1).at(0);
    return (c >= '0' && c <= '9') ? QByteArray(1, c) : QByteArray("0");
}

// The exponent digit of the lower and event-out groups: the digit's value in
// decimal, of which only the first character fits ("A".."F" become "1").
QByteArray valueFirstChar(const QByteArray &image, int p)
{
    return QByteArray::number(digitAt(image, p)).left(1);
}

// The value group from field f (mantissa, "E", sign, exponent digit, unit);
// sign and unit live in the bits of its first character.
void decodeGroup(const QByteArray &image, int p, ParameterRecord &rec, int f, bool expAsValue)
{
    const int head = digitAt(image, p);
    rec.setField(f, zeroFilled(HexValue(chars(image, p + 3, 5)), 5));
    rec.setField(f + 1, "E");
    rec.setField(f + 2, (head & 1) ? "+" : "-");
    rec.setField(f + 3, expAsValue ? valueFirstChar(image, p + 1) : decimalDigit(image, p + 1));
    rec.setField(f + 4, (head & 8) ? "H" : "S");
}

// Uppercase hex of an integer without leading zeros (a negative value as its
// 32-bit two's complement).
QByteArray hexText(qint64 v)
{
    return QByteArray::number(quint64(quint32(qint32(v))), 16).toUpper();
}

// Hex in n digits: the last n characters of n zeros followed by the hex text.
QByteArray hexDigits(qint64 v, int n)
{
    return (QByteArray(n, '0') + hexText(v)).right(n);
}

// A one-character item keeps only the first digit of a wider hex text.
QByteArray hexOne(qint64 v)
{
    return hexText(v).left(1);
}

qint64 valueOf(const ParameterRecord &rec, int f)
{
    return leadingNumber(rec.field(f));
}

void put(QByteArray &image, int p, const QByteArray &text)
{
    image.replace(p - 1, text.size(), text);
}

// The four dynamic-prediction levels the image holds, from the eight codes.
int predictionLevel(const QByteArray &f13)
{
    switch (f13.at(0)) {
    case '6': case '7': return 1;
    case '4': case '5': return 2;
    case '2': case '3': return 3;
    default: return 0; // "0", "1" and anything else
    }
}

// The version text of an image's version and type word (characters 61..64):
// word / 100 in single precision, less 10 on a 527 (word >= 1000), as "00.00".
QByteArray VersionText(qint32 word)
{
    // Single precision, as the device's version word has always been read.
    float v = float(word) / 100.0f;
    if (v >= 10.0f)
        v -= 10.0f;
    return QString::asprintf("%05.2f", double(v)).toLatin1();
}

} // namespace

qint32 ImageWord(const QByteArray &image, int firstChar)
{
    return HexValue(chars(image, firstChar, 4));
}

void DecodeImageIdentity(const QByteArray &image, ParameterRecord &rec)
{
    rec.setField(31, QByteArray::number(ImageWord(image, kImageUpdateCode)));
    rec.setField(32, QByteArray::number(ImageWord(image, kImageSerial)));
    rec.setField(33, QByteArray::number(ImageWord(image, kImageCreateCode)));
    rec.setField(34, VersionText(ImageWord(image, kImageVersion)));
}

void DecodeMemoryImage(const QByteArray &img, ParameterRecord &rec)
{
    const int c2 = digitAt(img, 2);
    rec.setField(1, (c2 & 2) ? "1" : "0");
    decodeGroup(img, 5, rec, 2, false);
    rec.setField(7, zeroFilled(HexValue(chars(img, 43, 2)), 2));
    rec.setField(8, zeroFilled(HexValue(chars(img, 37, 4)), 5));
    rec.setField(9, zeroFilled(HexValue(chars(img, 41, 2)), 3));
    rec.setField(10, QByteArray::number(((HexValue(chars(img, 3, 2)) & 0x1C) / 4) + 1));
    rec.setField(11, (c2 & 4) ? "1" : "0");
    rec.setField(12, (c2 & 1) ? "1" : "0");
    static const char *const kPrediction[4] = {"1", "6", "4", "2"};
    rec.setField(13, kPrediction[digitAt(img, 4) & 3]);
    rec.setField(14, QByteArray::number((digitAt(img, 1) & 0xE) / 2));
    decodeGroup(img, 13, rec, 15, false);
    decodeGroup(img, 21, rec, 20, true);
    rec.setField(25, (c2 & 8) ? "1" : "0");
    decodeGroup(img, 29, rec, 26, true);
    DecodeImageIdentity(img, rec);
}

void EncodeMemoryImage(const ParameterRecord &rec, QByteArray &image)
{
    image = image.leftJustified(64, ' ');

    put(image, 1, hexOne(valueOf(rec, 14) * 2));
    put(image, 2, hexOne(valueOf(rec, 25) * 8 + valueOf(rec, 11) * 4 + valueOf(rec, 1) * 2
                         + valueOf(rec, 12)));
    const qint64 avg = valueOf(rec, 10) - 1;
    put(image, 3, hexOne((avg & 4) / 4));
    put(image, 4, hexOne((avg & 3) * 4 + predictionLevel(rec.field(13))));

    // A sign or unit field holding neither of its letters keeps what the
    // group before it had (nothing before the first group: 0).
    int sign = 0;
    int unit = 0;
    auto group = [&](int p, int f) { // the value group from field f
        const QByteArray s = rec.field(f + 2);
        if (s == "+")
            sign = 1;
        else if (s == "-")
            sign = 0;
        const QByteArray u = rec.field(f + 4);
        if (u == "H")
            unit = 1;
        else if (u == "S")
            unit = 0;
        put(image, p, hexOne(sign + 8 * unit));
        put(image, p + 1, hexOne(valueOf(rec, f + 3)));
        put(image, p + 2, hexDigits(valueOf(rec, f), 6));
    };
    group(5, 2);
    group(13, 15);
    group(21, 20);
    group(29, 26);

    put(image, 37, hexDigits(valueOf(rec, 8), 4));
    put(image, 41, hexDigits(valueOf(rec, 9), 2));
    put(image, 43, hexDigits(valueOf(rec, 7), 2));
    put(image, kImageUpdateCode, hexDigits(valueOf(rec, 31), 4));
}

} // namespace qel
