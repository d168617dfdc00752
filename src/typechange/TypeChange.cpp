// Device type detection and the program-mode check ("Q").
//
// The 5600 answers at 9600 baud, the 52X (types 521, 527) at 1200 baud.
// Detection leaves any setting mode with "E" at each speed, then asks "Q";
// whatever comes back means a device is there. A 52X then hands over its
// memory image, whose last word tells 521 from 527.
#include "TypeChange.h"

#include <QCoreApplication>

#include "comm/MemoryImage.h"

namespace qel {

namespace {

const QByteArray kLeaveMode("E\r");

} // namespace

TypeChange::TypeChange(Context &ctx, RsReadWrite &engine)
    : ctx_(ctx), engine_(engine), link_(ctx)
{
}

TypeChange::~TypeChange() = default;

bool TypeChange::SetPortState(bool state)
{
    if (!state) {
        link_.close();
        return false;
    }
    // A port that does not open is told once, by the caller's message with
    // the cause under it; the technician then chooses (Retry opens the port
    // window) instead of being sent round the port window again and again.
    if (link_.raise()) {
        openProblem_ = {};
        return true;
    }
    openProblem_ = link_.port().openProblem();
    return false;
}

bool TypeChange::CheckQmode(int max_ww)
{
    if (link_.isOpen())
        return link_.presence(max_ww);
    int limit = 0; // no type: the settings left as they are, a single look
    QString settings = link_.port().settings();
    if (const Generation *g = generationOf(ctx_.state.DeviceType)) {
        settings = QString::fromLatin1(g->lineSettings);
        limit = g->presenceTicks;
    }
    link_.configure(settings);
    if (!SetPortState(true))
        return false;
    const bool answered = link_.presence(limit);
    SetPortState(false);
    return answered;
}

bool TypeChange::configureAndOpen(const char *settings)
{
    link_.configure(QString::fromLatin1(settings));
    return SetPortState(true);
}

void TypeChange::probeLeaveMode(int limit)
{
    // Any setting mode left over is ended; the echo is not examined.
    QByteArray reply;
    link_.exchange(kLeaveMode, reply, {limit});
}

TypeCheckResult TypeChange::TypeCheck()
{
    AppState &st = ctx_.state;
    for (;;) {
        if (st.CommPortNo == 0)
            st.CommPortNo = 1;
        st.ReplyTimeoutTicks = 100;
        openProblem_ = {};

        // Each generation at its speed, the 5600 first: any setting mode
        // left, then "Q"; what answers tells its type.
        for (const Generation *g : generations()) {
            SetPortState(false);
            if (!configureAndOpen(g->lineSettings))
                break;
            probeLeaveMode(g->probeTicks);
            if (CheckQmode(g->detectTicks)) {
                SetPortState(false);
                return {g->identify(engine_), false, g};
            }
        }
        SetPortState(false);

        // Nothing answered at either speed, or the port did not open (then
        // one more line says why).
        const QString text = QCoreApplication::translate("qel::TypeChange", "QEL-5600と通信ができません\n電源、通信線を確認してください。");
        const MsgResult answer = ctx_.boxes().showPortProblem(
            text, openProblem_,
            QCoreApplication::translate("qel::TypeChange", "ＱＥＬ－５６００　通信エラー"), MsgIcon::Question,
            MsgButtons::AbortRetryIgnore);
        if (answer == MsgResult::Abort) {
            if (ctx_.platform.terminate)
                ctx_.platform.terminate();
            return {TypeNone, true};
        }
        if (answer == MsgResult::Retry) {
            // A port the user does not change is simply tried again.
            if (ctx_.platform.dialogs)
                ctx_.platform.dialogs->choosePort();
            continue;
        }
        SetDefaultRecord(st.ParamRecord);
        return {TypeNone, false};
    }
}

void TypeChange::IdentFromImage()
{
    DecodeImageIdentity(ctx_.state.MemoryImage, ctx_.state.ParamRecord);
}

} // namespace qel
