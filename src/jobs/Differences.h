#pragma once
// The settings two records hold otherwise, as data: `diff` and `check`
// compare a file with a converter as that converter can hold it, `history
// --diff` two copies, `write --verify` what was written with what came back.

#include "core/AppState.h"
#include "files/SettingsListing.h"

#include <QList>

namespace qel::jobs {

// A setting F1..F30 that a converter (or a second record) holds otherwise
// than a file (or a first record) says.
struct SettingDifference {
    SettingEntry file, device;
};

// Every setting F1..F30 that `b` holds otherwise than `a`, both read as a
// device of `deviceType` holds them.
QList<SettingDifference> recordDifferences(const ParameterRecord &a, const ParameterRecord &b, int deviceType);
// Every setting of `file` that the converter just read into `st` holds
// otherwise, compared as that converter can hold a record (DeviceHolds: a
// 52X's image widths, a 5600's short forms).
QList<SettingDifference> settingDifferences(const ParameterRecord &file, const AppState &st);

} // namespace qel::jobs
