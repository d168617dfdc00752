#pragma once
// The operation types a converter works as, by their DeviceType code: what
// the record, the screens, the files and the tool need to know of each. How
// a type is spoken to on the line is its generation's (comm/Generation.h).

#include <QList>
#include <QString>

namespace qel {

// DeviceType values.
enum : int { TypeNone = 0, Type521 = 1, Type5600 = 4, Type527 = 7 };

struct DeviceTypeInfo {
    int code;             // DeviceType
    const char *name;     // "521", "527", "5600": the tool's and the device history's name
    int timeUnitMs;       // the unit of the output update time (F8)
    bool fewerFunctions;  // no division ratio, moving average, chatter suppression,
                          // stepless, spread or logarithmic output (F9..F12, F14 "1", "2")
    bool needs5600Series; // a genuine 52X (serial number below 20000) cannot work as it
    // The digit the type change sends for it.
    char digit() const { return char('0' + code); }
};

// The type of a DeviceType code; nullptr for none identified (0, any other value).
const DeviceTypeInfo *deviceTypeInfo(int code);
// The type a name gives ("521", "527", "5600"); nullptr for any other text.
const DeviceTypeInfo *deviceTypeNamed(const QString &name);
// Every type, in the type-change screen's order: 521, 527, 5600.
const QList<const DeviceTypeInfo *> &deviceTypes();

} // namespace qel
