#pragma once
// The application-wide state that the windows and the device procedures share.
// One object, owned by the Context; nothing else keeps a copy.

#include "DeviceTypes.h"
#include "ParamRecord.h"

#include <QByteArray>
#include <QString>

namespace qel {

// A main-window command left for the monitor to carry out between two
// readings (the buttons' "読み出し", "書き込み" and "ﾀｲﾌﾟ変更").
enum class Pending { None, Read, Write, TypeChange };

// How far the last write of the settings got: the 5600's settings go one
// command each (fifteen, the update date last), a 52X's whole image in one.
// What a write that stopped part-way tells is made from this.
struct WriteProgress {
    enum Stop {
        Done,       // every command accepted (or no write yet)
        NotStarted, // stopped before the first setting was sent: nothing written
        NoReply,    // a command got no complete reply in time
        LineLost,   // the line (or the device server's session) went away
        Refused,    // the device answered "?"
        WrongReply, // replies repetition did not cure
        ModeExit,   // every setting accepted; leaving the setting mode failed
    };
    int total = 0;     // setting commands of the write
    int accepted = 0;  // of them accepted, in order
    int lastField = 0; // the first field of the last one accepted
    int stopField = 0; // the first field of the command it stopped at (F31: the update date; 0: none)
    Stop stop = Done;
    QString where;     // LineLost: "PATH: why" or "HOST:PORT: why"
    QByteArray reply;  // WrongReply: the last reply
};

struct AppState {
    ParameterRecord ParamRecord;      // defaults in F1..F30, blanks in F31..F34
    int CommPortNo = 0;               // 1..4 (COM1..COM4); 0: never chosen
    int DeviceType = TypeNone;        // 1 = 521, 4 = 5600, 7 = 527, other = none
    bool Is5600Series = false;        // family shown as QEL-5600 (else QEL-5200)
    int ReplyTimeoutTicks = 0;        // ticks DataReadWrite waits for a reply
    int TickCount = 0;                // 10 ms ticks, held at 1000
    QByteArray MemoryImage = QByteArray(64, ' '); // the 52X image as hex text
    bool MemoryImageFromDevice = false; // MemoryImage was read from a device in this run
    bool MonitorActive = false;
    Pending PendingCommand = Pending::None;
    QString LastDataPath;
    WriteProgress LastWrite;          // how far the last write got
};

} // namespace qel
