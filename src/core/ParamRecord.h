#pragma once
// The parameter record: 74 single-byte characters in 34 fixed-width fields,
// F1..F34, laid end to end. Every field is written by one rule: left-aligned,
// blank-padded, cut to the width.

#include "Numbers.h"

#include <QByteArray>
#include <QString>

namespace qel {

class ParameterRecord {
public:
    static constexpr int Size = 74;
    static constexpr int FieldCount = 34;

    ParameterRecord(); // defaults in F1..F30, blanks in F31..F34

    static int offset(int f); // 0-based character position of field f (1..34)
    static int width(int f);

    // Reading a field yields exactly its width in characters.
    QByteArray field(int f) const;
    QString text(int f) const { return QString::fromLatin1(field(f)); }
    // The assignment rule: left-aligned, blank-padded, cut to the width.
    void setField(int f, const QByteArray &value);
    void setField(int f, const QString &value) { setField(f, value.toLatin1()); }
    void setField(int f, const char *value) { setField(f, QByteArray(value)); }

    // Whole-record access (the data file).
    const QByteArray &bytes() const { return data_; }
    void setBytes(const QByteArray &all); // first 74 bytes, blank-padded

    bool operator==(const ParameterRecord &o) const { return data_ == o.data_; }
    bool operator!=(const ParameterRecord &o) const { return data_ != o.data_; }

private:
    QByteArray data_;
};

// Loads the defaults into F1..F30; F31..F34 are kept.
void SetDefaultRecord(ParameterRecord &rec);

// The four scaled values by their mantissa field; the "E", the exponent
// sign, the exponent digit and the unit follow it at +1 .. +4.
inline constexpr int kValueGroups[] = {2, 15, 20, 26};

// The family a record's serial number (F32) belongs to, as the version
// display tells it: above 20000 a QEL-5600, else a QEL-5200.
inline bool SerialOf5600Series(const ParameterRecord &rec)
{
    return leadingNumber(rec.field(32)) > 20000;
}

} // namespace qel
