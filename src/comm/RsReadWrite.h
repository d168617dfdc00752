#pragma once
// The communication engine: owns the engine's link and carries every read and
// write of the settings. It is never shown; windows and the command-line tool
// call its procedures.
//
// The procedures leave their results in the record and the state as the
// device protocol prescribes; they also return an outcome, which the screens
// ignore and the command-line tool turns into its exit code.

#include "Link.h"

#include <QByteArray>

namespace qel {

enum class CommResult {
    Ok,           // completed
    NoAnswer,     // nothing answered the program-mode check; nothing done
    TimedOut,     // a reply did not come in time (message 1 shown)
    Refused,      // the device refused a setting (message 2 shown)
    Unexpected,   // wrong replies repetition did not cure (message 3 shown); a
                  // malformed 52X image (its read error shown)
    Failed,       // attempts used up on a read (message 1 shown), or no image to write
    PortError,    // the port could not be opened (message 1 shown)
};

enum class ExitResult { Ok, TimedOut, Failed };

struct Generation;

class RsReadWrite {
public:
    explicit RsReadWrite(Context &ctx);

    SerialPort &MSComm1() { return link_.port(); }
    Link &link() { return link_; }
    Context &context() { return ctx_; }

    void Wait10ms(int ii) { link_.wait10ms(ii); }
    void CMD_Send(const QByteArray &send) { link_.send(send); }
    // One command transaction on the engine's open port. Returns ErrFlg:
    // true when a complete reply (ending in CR) arrived, false on time-out
    // after ReplyTimeoutTicks or a lost line (message 1 shown; Receive holds
    // what arrived).
    bool DataReadWrite(const QByteArray &send, QByteArray &Receive);
    // Message box for codes 1, 2, 3; other codes show nothing.
    // `problem`: why the port did not open; its line goes under the message,
    // and `note` under that.
    void DspRSErr(int ErrFlg, const PortProblem &problem = {}, const QString &note = {});
    // "E" + CR until echoed, at most three sends. After the third wrong echo:
    // message 3, the port closed, Failed (the operation ends; the program goes on).
    ExitResult ExitSettingMode();

    // Port opening per generation: port CommPortNo, the generation's settings,
    // open, raise RTS. A port that cannot be opened shows message 1 and
    // returns false.
    bool OpenPort5600();
    bool OpenPort52X();
    void ClosePort() { link_.close(); }

    // --- 5600 ---
    CommResult Read56XVer();
    CommResult ReadData56();
    CommResult WriteData56();

    // --- 52X ---
    CommResult Read52X();
    CommResult Writedata52();

private:
    // One step of a write: `command` is sent until `accept` comes back, at
    // most `maxSends` times; with `refusable`, "?" + CR ends the step at once.
    struct WriteStep {
        QByteArray command;
        QByteArray accept;
        int maxSends = 3;
        bool refusable = true;
    };
    enum class StepResult { Accepted, TimedOut, Refused, Wrong };
    // Sends the step until it is accepted or its sends run out. A time-out
    // (or a lost line) ends it at once; the caller shows message 1.
    StepResult runStep(const WriteStep &step);
    // A write's progress (LastWrite) starts: `total` setting commands.
    void beginWrite(int total);
    // A setting command of the write (its first field `field`), counted in
    // LastWrite when accepted.
    StepResult runSettingStep(const WriteStep &step, int field);
    // A write that did not go through: leave the setting mode where the
    // device still answers, report, close.
    CommResult abandonWrite(StepResult why);
    // Everything accepted: leave the setting mode, close.
    CommResult finishWrite();
    bool openPort(const char *settings);
    // Opened at the generation's settings and something listening (else
    // closed again); then waiting events let through once when asked.
    CommResult openForExchange(const Generation &g, bool letEventsThrough);

    Context &ctx_;
    Link link_;
    QByteArray lastReply_; // of the last step
};

} // namespace qel
