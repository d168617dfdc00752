#include "RsReadWrite.h"

namespace qel {

namespace {

const QString kCommTitle = QStringLiteral("ＱＥＬ－５６００　通信エラー");
const QString kSetTitle = QStringLiteral("ＱＥＬ－５６００　設定エラー");

} // namespace

RsReadWrite::RsReadWrite(Context &ctx) : ctx_(ctx), port_(ctx.platform.ports->create()) {}

RsReadWrite::~RsReadWrite() = default;

void RsReadWrite::StartTickTimer()
{
    ctx_.ticks.restart();
}

void RsReadWrite::Wait10ms(int ii)
{
    StartTickTimer();
    do {
        ctx_.yield();
    } while (ctx_.state.TickCount < ii);
}

void RsReadWrite::CMD_Send(SerialPort &port, const QByteArray &send)
{
    Wait10ms(2);
    port.discardInput();
    port.write(send);
}

bool RsReadWrite::DataReadWrite(const QByteArray &send, QByteArray &Receive)
{
    bool ErrFlg = true;
    // The tick count restarts inside CMD_Send: the time-out runs from the
    // start of the 20 ms pause before the command goes out.
    CMD_Send(*port_, send);
    Receive.clear();
    for (;;) {
        ctx_.yield();
        if (port_->bytesWaiting() >= 1) {
            const QByteArray chunk = port_->readAllWaiting();
            Receive += chunk;
            if (chunk.endsWith('\r'))
                break;
        }
        // A line that went away (device unplugged) answers nothing more: no
        // point in waiting out the time.
        if (ctx_.state.TickCount < ctx_.state.ReplyTimeoutTicks && !port_->lineLost())
            continue;
        ErrFlg = false;
        DspRSErr(1);
        break;
    }
    return ErrFlg;
}

void RsReadWrite::DspRSErr(int ErrFlg)
{
    QString title, text;
    switch (ErrFlg) {
    case 1:
        title = kCommTitle;
        text = QStringLiteral("QEL-5600と通信ができません。\n電源、通信線を確認してください。");
        break;
    case 2:
        title = kSetTitle;
        text = QStringLiteral("設定範囲外です。\n設定値を確認してください。");
        break;
    case 3:
        title = kSetTitle;
        text = QStringLiteral("予期せぬエラーが発生しました。");
        break;
    default:
        return;
    }
    ctx_.boxes().show(text, title, MsgIcon::Question, MsgButtons::Ok);
}

bool RsReadWrite::SetPortState(bool state)
{
    if (state)
        return openRaisingRts(*port_);
    closeDroppingRts(*port_);
    return false;
}

ExitResult RsReadWrite::ExitSettingMode()
{
    int attempts = 0;
    for (;;) {
        QByteArray reply;
        if (!DataReadWrite(QByteArray("E\r"), reply))
            return ExitResult::TimedOut; // message 1 shown; no further attempt
        if (reply == "E\r")
            return ExitResult::Ok;
        attempts += 1;
        if (attempts > 2)
            break;
    }
    DspRSErr(3);
    SetPortState(false);
    return ExitResult::Failed;
}

bool RsReadWrite::openPort(const QString &settings)
{
    port_->setPortNumber(ctx_.state.CommPortNo);
    port_->setSettings(settings);
    port_->setInputModeText();
    port_->setInputLength(0);
    if (SetPortState(true))
        return true;
    DspRSErr(1);
    return false;
}

bool RsReadWrite::OpenPort5600()
{
    return openPort(QString::fromLatin1(kSettings5600));
}

bool RsReadWrite::OpenPort52X()
{
    return openPort(QString::fromLatin1(kSettings52X));
}

} // namespace qel
