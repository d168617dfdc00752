#pragma once
// The 52X memory image: 64 hexadecimal characters that carry all settings.
// DecodeMemoryImage cuts it into the 34 fields of the record; the encoding
// (used by the write) puts the record's settings back into it.

#include "core/AppState.h"

namespace qel {

// The identification words: 1-based first characters of their four hex digits.
constexpr int kImageUpdateCode = 49; // F31
constexpr int kImageCreateCode = 53; // F33
constexpr int kImageSerial = 57;     // F32
constexpr int kImageVersion = 61;    // version x 100, plus 1000 on a 527

// The value of the 4-digit hex word at `firstChar` (missing characters count as 0).
qint32 ImageWord(const QByteArray &image, int firstChar);

// Overwrites all 34 fields of `rec` from `image`.
void DecodeMemoryImage(const QByteArray &image, ParameterRecord &rec);
// F31..F34 only, from the identification words.
void DecodeImageIdentity(const QByteArray &image, ParameterRecord &rec);
inline void DecodeMemoryImage(AppState &st) { DecodeMemoryImage(st.MemoryImage, st.ParamRecord); }

// Encodes F1..F30 (and F31 as it stands) into characters 1..44 and 49..52 of
// `image`; characters 45..48 and 53..64 are left as they are.
void EncodeMemoryImage(const ParameterRecord &rec, QByteArray &image);

} // namespace qel
