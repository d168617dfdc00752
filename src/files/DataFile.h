#pragma once
// The settings data file (".pdt"): exactly the 74 bytes of the record, no
// header, no line end.

#include "core/ParamRecord.h"

#include <QString>

namespace qel {

// Reads the first 74 bytes of `path` into `rec`. A missing, unreadable or
// short file is refused with a message in `error`, and `rec` is untouched.
bool loadDataFile(const QString &path, ParameterRecord &rec, QString &error);

// Writes the record as the first 74 bytes of `path`. A longer existing file
// keeps its bytes from the 75th on. The file is replaced atomically; on any
// failure (a full disk included) `error` says why and the old file stays
// byte for byte as it was.
bool saveDataFile(const QString &path, const ParameterRecord &rec, QString &error);

} // namespace qel
