#pragma once
// What a device generation is, in one place: how it is spoken to, how
// detection finds it and tells its types apart, and its procedures over the
// engine. One descriptor for the 5600 (Comm5600.cpp), one shared by the 521
// and the 527 (Comm52X.cpp). Detection hands over the one that answered,
// generationOf() finds a type's; callers ask it instead of comparing types.

#include "RsReadWrite.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace qel {

// The monitor's command, its retries included: false once the monitor stops.
using MonitorAsk = std::function<bool(const QByteArray &command, QByteArray &reply, int ticks)>;
enum class SetUpStep { Done, Stopped, Wrong };

struct Generation {
    const char *lineSettings; // the engine's text; the type-change screen and the monitor write it in lower case
    QList<int> types;         // the DeviceType codes it works as
    // Ticks: ReplyTimeoutTicks once detected; in detection the echo of the
    // "E" that ends any setting mode and the "Q"; CheckQmode on a closed
    // port; the "Q" that opens a read or a write on the engine's port.
    int replyTicks, probeTicks, detectTicks, presenceTicks, exchangeTicks;
    int sends;                // a write asks for the setting mode ("M") at most this often
    const char *readStatus;   // the status line while the settings are read
    const char *writeRefusal; // a write's message when nothing answers at its speed (translated)

    // "Q" was answered at its speed: the type (DeviceType, ReplyTimeoutTicks
    // and Is5600Series set).
    int (*identify)(RsReadWrite &engine);
    // The settings into the record; the record's to the device (F31 stamped).
    CommResult (*readSettings)(RsReadWrite &engine);
    CommResult (*writeSettings)(RsReadWrite &engine);
    // F31..F34 of the device detected; with identityInDetection detection
    // brought them (the image), and start-up does not ask.
    CommResult (*readIdentity)(RsReadWrite &engine);
    bool identityInDetection;
    // The device's present settings as a write that keeps them finds them.
    bool (*presentSettings)(RsReadWrite &engine, ParameterRecord &present);
    // What the device read into `device` keeps of `rec` written to it, and
    // what it holds other than `written` (the update date aside).
    ParameterRecord (*holds)(const ParameterRecord &rec, const AppState &device);
    QStringList (*differences)(const ParameterRecord &written, const AppState &device);
    // The monitor's set-up: the waits of "P" and "M", of "T" and "U", of
    // "E"; between "M" and "T" its own reads of the measurement kind (told
    // to `period` at once) and the bias in percent of span.
    int monitorFast, monitorTest, monitorLeave;
    SetUpStep (*monitorSetUp)(const MonitorAsk &ask, const std::function<void(bool)> &period, int &bias);

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

// What a converter keeps of a record written to it (`write --verify` and
// `diff` compare through these): a 5600 the command texts of its write (no
// exponent letter; the short form on version 01.00), a 52X what its image
// carries (F13 in four levels, F10 as one digit, numbers to their hex
// widths). `rec` as the device just read into `device` holds it.
ParameterRecord DeviceHolds(const ParameterRecord &rec, const AppState &device);
// What that device holds other than was written, one line a difference:
// a 5600 by its write commands, a 52X by characters 1-52 of its image, and
// the update date code.
QStringList DeviceDifferences(const ParameterRecord &written, const AppState &device);

} // namespace qel
