#pragma once
// The type-change screen's logic: device type detection (TypeCheck), the
// program-mode check (CheckQmode) that precedes every device exchange, and
// the operation type change itself. It owns a serial port of its own; its
// dialog face (TypeChangeDialog) only shows options and calls these.

#include "comm/RsReadWrite.h"
#include "core/Context.h"

#include <memory>

namespace qel {

struct TypeCheckResult {
    int code = 0;         // 4, 1, 7, or 0 when nothing answered
    bool aborted = false; // the user pressed Abort: the program is to end
};

class TypeChange {
public:
    TypeChange(Context &ctx, RsReadWrite &engine);
    ~TypeChange();

    SerialPort &MSComm1() { return *port_; }

    // Restarts the shared tick count (the same single tick source as the engine's).
    void TimerSet();
    void StopTimer();
    // true: open (on failure the port selection is shown and the open tried
    // again; the user may give up, then false); false: drop RTS, close.
    bool SetPortState(bool state);
    // true when anything at all came back to "Q".
    bool CheckQmode(SerialPort &port, int max_ww);
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
    // Opens a configured port and raises RTS; on failure the port dialog is
    // shown and the open tried again on CommPortNo. false: the user gave up.
    bool openPort(SerialPort &port);
    void closePort(SerialPort &port);
    // Collects into `reply` until a chunk ends with CR or TickCount >= limit
    // (at least one pass).
    void collect(SerialPort &port, int limit, QByteArray &reply);
    bool configureAndOpen(const char *settings);
    // "E" + CR on the own port, the echo collected up to `limit` ticks and dropped.
    void probeLeaveMode(int limit);

    Context &ctx_;
    RsReadWrite &engine_;
    std::unique_ptr<SerialPort> port_;
};

} // namespace qel
