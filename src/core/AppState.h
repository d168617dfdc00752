#pragma once
// The application-wide state that the windows and the device procedures share.
// One object, owned by the Context; nothing else keeps a copy.

#include "ParamRecord.h"

#include <QByteArray>
#include <QString>

namespace qel {

// A main-window command left for the monitor to carry out between two
// readings (the buttons' "読み出し", "書き込み" and "ﾀｲﾌﾟ変更").
enum class Pending { None, Read, Write, TypeChange };

// DeviceType values.
enum : int { TypeNone = 0, Type521 = 1, Type5600 = 4, Type527 = 7 };

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
};

} // namespace qel
