#pragma once
// The type-change screen's logic: device type detection (TypeCheck), the
// program-mode check (CheckQmode) that precedes every device exchange, and
// the operation type change itself. It owns a serial port of its own; its
// dialog face (TypeChangeDialog) only shows options and calls these.

#include "comm/Generation.h"
#include "core/Context.h"

namespace qel {

struct TypeCheckResult {
    int code = 0;         // 4, 1, 7, or 0 when nothing answered
    bool aborted = false; // the user pressed Abort: the program is to end
    const Generation *generation = nullptr; // what answered; nullptr: nothing
};

class TypeChange {
public:
    TypeChange(Context &ctx, RsReadWrite &engine);
    ~TypeChange();

    SerialPort &MSComm1() { return link_.port(); }

    // true: open (false when the port does not open: lastOpenProblem() says
    // why); false: drop RTS, close.
    bool SetPortState(bool state);
    // Why the last open of this screen's port failed (None after a good one).
    const PortProblem &lastOpenProblem() const { return openProblem_; }
    // The presence check on the screen's own port: true when anything at all
    // came back to "Q". An open port is asked within max_ww ticks; a closed
    // one is opened at the speed of DeviceType, asked within that type's
    // limit (one look for no type) and closed again.
    bool CheckQmode(int max_ww);
    // Detection at 9600, then at 1200 baud; sets DeviceType, Is5600Series,
    // ReplyTimeoutTicks; the Abort/Retry/Ignore box when nothing answers.
    TypeCheckResult TypeCheck();
    // F31..F34 from the identification words of MemoryImage.
    void IdentFromImage();

    // The change (Command1_Click of the dialog) with the type digit '1', '7'
    // or '4'. Returns the type detected afterwards (DeviceType) and whether
    // the user aborted. `refused` is set when a genuine 52X was asked for 5600.
    struct ChangeResult {
        int detected = 0;
        bool refused = false;
        bool aborted = false;
        bool noEcho = false; // "Z" never echoed (message 1 shown)
    };
    ChangeResult ChangeType(char typeDigit);

private:
    bool configureAndOpen(const char *settings);
    // "E" + CR on the own port, the echo collected up to `limit` ticks and dropped.
    void probeLeaveMode(int limit);

    Context &ctx_;
    RsReadWrite &engine_;
    Link link_;
    PortProblem openProblem_;
};

} // namespace qel
