#pragma once
// A settings record in words: every setting by its name with its raw text
// and its meaning (value and unit), as a readable listing or as JSON. Shared
// by `qelctl show` and anything else that explains a settings file.

#include "core/ParamRecord.h"

#include <QList>
#include <QString>
#include <optional>

namespace qel {

struct SettingEntry {
    QString section;                // "Identity", "Fundamental functions" ...
    QString key;                    // JSON key, e.g. "fullScale"
    QString name;                   // English name, e.g. "Full scale"
    QString nameJa;                 // the screen's name, e.g. "フルスケール"
    QString fields;                 // "F1", "F2-F6"
    QByteArray raw;                 // the fields' characters as stored
    std::optional<QString> meaning; // empty when the raw text is no valid value
    std::optional<double> value;    // the number, for a numeric setting holding a valid one
    QString unit;                   // its unit ("Hz", "sec", "ms", "%"), empty when none
    std::optional<bool> used;       // event-in scales: used by the chosen function
};

// The settings in the printed list's order, identity first. deviceType
// (1, 4, 7, other = unknown) decides the unit of the output update time.
QList<SettingEntry> describeRecord(const ParameterRecord &rec, int deviceType);

// Readable listing, one setting a line, ending with a newline.
QString settingsListingText(const ParameterRecord &rec, int deviceType);

// One JSON object (UTF-8): the 34 fields by name with their raw text, and
// every setting with its meaning and, for numbers, its value as a number.
// The schema is in the README (`qelctl show --json`).
QByteArray settingsListingJson(const ParameterRecord &rec, int deviceType);

// The value of a scaled value (mantissa, sign, exponent digit) as a plain
// decimal number: "01000", '+', '0' -> "1000"; "00150", '-', '2' -> "1.5".
// Empty when the characters do not form a scaled value.
QString scaledNumber(const QByteArray &mantissa, char sign, char digit);

} // namespace qel
