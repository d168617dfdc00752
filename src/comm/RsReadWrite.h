#pragma once
// The communication engine: owns the engine's serial port and carries every
// read and write of the settings. It is never shown; windows and the
// command-line tool call its procedures.
//
// The procedures leave their results in the record and the state as the
// device protocol prescribes; they also return an outcome, which the screens
// ignore and the command-line tool turns into its exit code.

#include "core/Context.h"

#include <QByteArray>
#include <memory>

namespace qel {

class TypeChange;

enum class CommResult {
    Ok,           // completed
    NoAnswer,     // nothing answered the program-mode check; nothing done
    TimedOut,     // a reply did not come in time (message 1 shown)
    Refused,      // the device refused a setting (message 2 shown)
    Unexpected,   // wrong replies repetition did not cure (message 3 shown)
    Failed,       // attempts used up on a read (message 1 shown), or no image to write
    PortError,    // the port could not be opened (message 1 shown)
};

enum class ExitResult { Ok, TimedOut, Failed };

class RsReadWrite {
public:
    explicit RsReadWrite(Context &ctx);
    ~RsReadWrite();

    void setTypeChange(TypeChange *tc) { typeChange_ = tc; }
    SerialPort &MSComm1() { return *port_; }
    Context &context() { return ctx_; }

    // --- the link (tick waits, send, transaction, errors) ---
    void StartTickTimer();
    void Wait10ms(int ii);
    // 20 ms pause (restarts the tick count), discard input, write.
    void CMD_Send(SerialPort &port, const QByteArray &send);
    // One command transaction on the engine's open port. Returns ErrFlg:
    // true when a complete reply (ending in CR) arrived, false on time-out
    // after ReplyTimeoutTicks (message 1 shown; Receive holds what arrived).
    bool DataReadWrite(const QByteArray &send, QByteArray &Receive);
    // Message box for codes 1, 2, 3; other codes show nothing.
    void DspRSErr(int ErrFlg);
    // true: open the port, raise RTS; false: drop RTS, close. Returns whether
    // the port is open afterwards (true) / closed (false) as asked.
    bool SetPortState(bool state);
    // "E" + CR until echoed, at most three sends. After the third wrong echo:
    // message 3, the port closed, Failed (the operation ends; the program goes on).
    ExitResult ExitSettingMode();

    // Port opening per generation: port CommPortNo, settings text, text input,
    // input length 0, open, raise RTS. A port that cannot be opened shows
    // message 1 and returns false.
    bool OpenPort5600();
    bool OpenPort52X();
    void ClosePort() { SetPortState(false); }

    // --- 5600 ---
    CommResult Read56XVer();
    CommResult ReadData56();
    CommResult WriteData56();

    // --- 52X ---
    CommResult Read52X();
    CommResult Writedata52();

private:
    bool openPort(const QString &settings);

    Context &ctx_;
    std::unique_ptr<SerialPort> port_;
    TypeChange *typeChange_ = nullptr;
};

// The settings texts of the two generations.
inline const char *kSettings5600 = "9600,N,8,1";
inline const char *kSettings52X = "1200,N,8,1";

} // namespace qel
