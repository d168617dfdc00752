#pragma once
// What a converter keeps of a record it is written: a 5600 the command texts
// of its write (no exponent letter; the short form on version 01.00), a 52X
// what its image carries (F13 in four levels, F10 as one digit, numbers to
// their hex widths). `write --verify` and `diff` compare through these.

#include "core/ParamRecord.h"

#include <QStringList>

namespace qel {

// `rec` as a device of `deviceType` holds it after an exact write: a 5600 of
// `version` (its F34), a 52X whose last image read was `image`.
ParameterRecord DeviceHolds(const ParameterRecord &rec, int deviceType, const QByteArray &version,
                            const QByteArray &image);

// What a device holds other than was written, one line a difference: a 5600
// by its write commands (in the forms of the written record's version), a
// 52X by the characters 1-52 of its image, and the update date code.
QStringList DeviceDifferences(const ParameterRecord &written, const ParameterRecord &readBack,
                              int deviceType, const QByteArray &image);

} // namespace qel
