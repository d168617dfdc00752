#pragma once
// What a device generation is, in one place: how it is spoken to (its line
// settings, reply and presence limits, sends), how detection finds it and
// tells its types apart, and its procedures over the engine: read the
// settings into the record, write them from it, what the device keeps of a
// write, the monitor's set-up. One descriptor for the 5600 (Comm5600.cpp),
// one shared by the 521 and the 527 (Comm52X.cpp). Callers find a type's
// generation with generationOf() (detection hands it over too) and ask it;
// outside comm nothing compares type numbers.

#include "RsReadWrite.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace qel {

// The monitor's command, its retries included: false once the monitor stops.
using MonitorAsk = std::function<bool(const QByteArray &command, QByteArray &reply, int ticks)>;
enum class SetUpStep { Done, Stopped, Wrong };

// The monitor's set-up: "P" and "M" waited for `fast` ticks, then the
// generation's read of the measurement kind and the bias, "T" and "U"
// waited for `test` ticks, "E" for `leave`.
struct MonitorSetUp {
    int fast;
    int test;
    int leave;
    // Tells `period` the measurement kind as soon as it is known and sets
    // `bias` (percent of span); Wrong: a reply failed its check.
    SetUpStep (*read)(const MonitorAsk &ask, const std::function<void(bool)> &period, int &bias);
};

struct Generation {
    const char *name;         // "5600", "52X"
    const char *lineSettings; // the engine's settings text (the type-change screen and the monitor write it in lower case)
    QList<int> types;         // the DeviceType codes it works as
    int replyTicks;           // ReplyTimeoutTicks once detected
    int probeTicks;           // detection: the echo of the "E" that ends any setting mode
    int detectTicks;          // detection: "Q" on the open port
    int presenceTicks;        // CheckQmode on a closed port
    int exchangeTicks;        // the "Q" that opens a read or a write on the engine's port
    int sends;                // the setting mode ("M") of a write is asked at most this often
    const char *readStatus;   // the status line while the settings are read
    const char *writeRefusal; // a write's message when nothing answers at its speed (translated)

    // "Q" was answered at its speed: the type (DeviceType, ReplyTimeoutTicks
    // and Is5600Series set).
    int (*identify)(RsReadWrite &engine);
    // The settings into the record, and from it to the device (F31 stamped).
    CommResult (*readSettings)(RsReadWrite &engine);
    CommResult (*writeSettings)(RsReadWrite &engine);
    // F31..F34 of the device just detected. With identityInDetection the
    // detection brought them (the image), and start-up does not ask.
    CommResult (*readIdentity)(RsReadWrite &engine);
    bool identityInDetection;
    // The device's present settings as a write that keeps them finds them.
    bool (*presentSettings)(RsReadWrite &engine, ParameterRecord &present);
    // `rec` as the device just read into `device` holds it after an exact
    // write, and what it holds other than `written` (the settings only).
    ParameterRecord (*holds)(const ParameterRecord &rec, const AppState &device);
    QStringList (*differences)(const ParameterRecord &written, const AppState &device);
    MonitorSetUp monitor;

    QString screenSettings() const { return QString::fromLatin1(lineSettings).toLower(); }
};

const Generation &generation5600();
const Generation &generation52X();
// In the order detection tries them: the 5600 (9600 baud) first.
const QList<const Generation *> &generations();
// The generation of a DeviceType; nullptr for none identified.
const Generation *generationOf(int deviceType);
// The generation the type change addresses a device as: one of no known
// type at the 52X's speed.
const Generation &addressedAs(int deviceType);

// What a converter keeps of a record it is written: a 5600 the command texts
// of its write (no exponent letter; the short form on version 01.00), a 52X
// what its image carries (F13 in four levels, F10 as one digit, numbers to
// their hex widths). `write --verify` and `diff` compare through these.
// `rec` as the device just read into `device` holds it after an exact write.
ParameterRecord DeviceHolds(const ParameterRecord &rec, const AppState &device);
// What the device read into `device` holds other than was written, one line
// a difference: a 5600 by its write commands (in the forms of the written
// record's version), a 52X by the characters 1-52 of its image, and the
// update date code.
QStringList DeviceDifferences(const ParameterRecord &written, const AppState &device);

} // namespace qel
