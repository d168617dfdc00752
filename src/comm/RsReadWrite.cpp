#include "RsReadWrite.h"

#include "Generation.h"

#include <QCoreApplication>

namespace qel {

RsReadWrite::RsReadWrite(Context &ctx) : ctx_(ctx), link_(ctx) {}

bool RsReadWrite::DataReadWrite(const QByteArray &send, QByteArray &Receive)
{
    // The tick count restarts inside CMD_Send: the time-out runs from the
    // start of the 20 ms pause before the command goes out.
    CMD_Send(send);
    if (link_.collect(Receive, {ctx_.state.ReplyTimeoutTicks}) == Collected::Complete)
        return true;
    // A port that lost its line says under the message where and why (a
    // device server's session, with its host and port).
    DspRSErr(1, link_.port().openProblem());
    return false;
}

void RsReadWrite::DspRSErr(int ErrFlg, const PortProblem &problem, const QString &note)
{
    // Title and text of codes 1, 2 and 3, in the program's language (the
    // tool keeps them Japanese).
    static const char *const kMessages[3][2] = {
        {QT_TRANSLATE_NOOP("qel::RsReadWrite", "ＱＥＬ－５６００　通信エラー"),
         QT_TRANSLATE_NOOP("qel::RsReadWrite", "QEL-5600と通信ができません。\n電源、通信線を確認してください。")},
        {QT_TRANSLATE_NOOP("qel::RsReadWrite", "ＱＥＬ－５６００　設定エラー"),
         QT_TRANSLATE_NOOP("qel::RsReadWrite", "設定範囲外です。\n設定値を確認してください。")},
        {QT_TRANSLATE_NOOP("qel::RsReadWrite", "ＱＥＬ－５６００　設定エラー"),
         QT_TRANSLATE_NOOP("qel::RsReadWrite", "予期せぬエラーが発生しました。")}};
    if (ErrFlg < 1 || ErrFlg > 3)
        return;
    const auto tr = [](const char *text) { return QCoreApplication::translate("qel::RsReadWrite", text); };
    ctx_.boxes().showPortProblem(tr(kMessages[ErrFlg - 1][1]), problem, tr(kMessages[ErrFlg - 1][0]),
                                 MsgIcon::Question, MsgButtons::Ok, note);
}

ExitResult RsReadWrite::ExitSettingMode()
{
    switch (runStep({"E\r", "E\r", 3, false})) {
    case StepResult::Accepted:
        return ExitResult::Ok;
    case StepResult::TimedOut:
        DspRSErr(1, link_.port().openProblem());
        return ExitResult::TimedOut; // no further attempt
    default:
        DspRSErr(3);
        ClosePort();
        return ExitResult::Failed;
    }
}

RsReadWrite::StepResult RsReadWrite::runStep(const WriteStep &step)
{
    for (int sends = 1;; ++sends) {
        // The time-out runs from the start of the 20 ms pause before the command.
        CMD_Send(step.command);
        if (link_.collect(lastReply_, {ctx_.state.ReplyTimeoutTicks}) != Collected::Complete)
            return StepResult::TimedOut;
        if (lastReply_ == step.accept)
            return StepResult::Accepted;
        if (step.refusable && lastReply_ == "?\r")
            return StepResult::Refused;
        if (sends >= step.maxSends)
            return StepResult::Wrong;
    }
}

void RsReadWrite::beginWrite(int total)
{
    ctx_.state.LastWrite = {};
    ctx_.state.LastWrite.total = total;
    ctx_.state.LastWrite.stop = WriteProgress::NotStarted;
}

RsReadWrite::StepResult RsReadWrite::runSettingStep(const WriteStep &step, int field)
{
    WriteProgress &p = ctx_.state.LastWrite;
    p.stopField = field;
    const StepResult r = runStep(step);
    if (r == StepResult::Accepted) {
        ++p.accepted;
        p.lastField = field;
        p.stopField = 0;
    }
    return r;
}

CommResult RsReadWrite::abandonWrite(StepResult why)
{
    // Why it stopped, for the lines under the message.
    WriteProgress &p = ctx_.state.LastWrite;
    const PortProblem problem = link_.port().openProblem();
    switch (why) {
    case StepResult::TimedOut:
        p.stop = link_.lost() ? WriteProgress::LineLost : WriteProgress::NoReply;
        p.where = problem.ok() ? QString() : problem.text();
        break;
    case StepResult::Refused:
        p.stop = WriteProgress::Refused;
        break;
    default:
        p.stop = WriteProgress::WrongReply;
        p.reply = lastReply_;
        break;
    }
    const QString note = ctx_.platform.writeStopNote ? ctx_.platform.writeStopNote(ctx_.state) : QString();
    if (why == StepResult::TimedOut) {
        // Message 1: nothing more is sent, the device may stay in its setting mode.
        DspRSErr(1, problem, note);
        ClosePort();
        return CommResult::TimedOut;
    }
    if (ExitSettingMode() == ExitResult::Failed)
        return CommResult::Unexpected; // message 3 shown, port closed
    const bool refused = why == StepResult::Refused;
    DspRSErr(refused ? 2 : 3, {}, note);
    ClosePort();
    return refused ? CommResult::Refused : CommResult::Unexpected;
}

CommResult RsReadWrite::finishWrite()
{
    WriteProgress &p = ctx_.state.LastWrite;
    const ExitResult r = ExitSettingMode();
    p.stop = r == ExitResult::Ok ? WriteProgress::Done : WriteProgress::ModeExit;
    if (r == ExitResult::Failed)
        return CommResult::Unexpected; // message 3 shown, port closed
    ClosePort();
    return r == ExitResult::Ok ? CommResult::Ok : CommResult::TimedOut;
}

bool RsReadWrite::openPort(const char *settings)
{
    if (link_.open(settings))
        return true;
    DspRSErr(1, link_.port().openProblem());
    return false;
}

bool RsReadWrite::OpenPort5600()
{
    return openPort(generation5600().lineSettings);
}

bool RsReadWrite::OpenPort52X()
{
    return openPort(generation52X().lineSettings);
}

CommResult RsReadWrite::openForExchange(const Generation &g, bool letEventsThrough)
{
    if (!openPort(g.lineSettings))
        return CommResult::PortError;
    // Program-mode check on this open port: is anything listening at all?
    if (!link_.presence(g.exchangeTicks)) {
        ClosePort();
        return CommResult::NoAnswer;
    }
    if (letEventsThrough)
        ctx_.processPending();
    return CommResult::Ok;
}

} // namespace qel
