#pragma once
// The texts of the 5600 write commands for a record, as WriteData56 sends
// them ("WP01," .. "WP32,", CR included; the mode entry and the update date
// excluded). Two records whose command texts agree put the same settings
// into a device.

#include "core/ParamRecord.h"

#include <QByteArray>
#include <QList>

namespace qel {

QList<QByteArray> WriteCommands56(const ParameterRecord &rec);

// Version 01.00 takes a value without exponent when the exponent digit is "0".
inline bool ShortValueForm(const QByteArray &version, const QByteArray &exponentDigit)
{
    return version == "01.00" && exponentDigit == "0";
}

} // namespace qel
