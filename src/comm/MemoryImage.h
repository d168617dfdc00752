#pragma once
// The 52X memory image: 64 hexadecimal characters that carry all settings.
// DecodeMemoryImage cuts it into the 34 fields of the record; the encoding
// (used by the write) puts the record's settings back into it.

#include "core/AppState.h"

namespace qel {

// Overwrites all 34 fields of ParamRecord from MemoryImage.
void DecodeMemoryImage(AppState &st);

// Encodes F1..F30 (and F31 as it stands) into characters 1..44 and 49..52 of
// `image`; characters 45..48 and 53..64 are left as they are.
void EncodeMemoryImage(const ParameterRecord &rec, QByteArray &image);

// The version text of an image's version and type word (characters 61..64):
// word / 100 in single precision, less 10 on a 527 (word >= 1000), as "00.00".
QByteArray VersionText(qint32 word);

} // namespace qel
