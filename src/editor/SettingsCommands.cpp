#include "SettingsCommands.h"

#include <QCoreApplication>

#include "core/Codes.h"
#include "comm/LineText.h"
#include "comm/MemoryImage.h"

namespace qel {

SettingsCommands::SettingsCommands(Context &ctx, RsReadWrite &engine, TypeChange &typeChange,
                                   EditorView *view)
    : ctx_(ctx), engine_(engine), typeChange_(typeChange), view_(view ? view : &noView_)
{
}

CommandOutcome SettingsCommands::ReadingIn()
{
    CommandOutcome out;
    AppState &st = ctx_.state;
    view_->CommandButtun(false);

    // Presence check on the type-change screen's (closed) port.
    if (!typeChange_.CheckQmode(100)) {
        const TypeCheckResult r = typeChange_.TypeCheck();
        if (r.aborted) {
            out.aborted = true;
            view_->CommandButtun(true);
            return out;
        }
    }

    const bool is52X = st.DeviceType == Type521 || st.DeviceType == Type527;
    if (is52X || st.DeviceType == Type5600) {
        view_->setStatus(is52X ? QStringLiteral("Read 52X ") : QStringLiteral("Read 5600"));
        out.transferred = true;
        out.result = is52X ? engine_.Read52X() : engine_.ReadData56();
        // A failed 52X read redraws from the image held so far; a malformed
        // image leaves the record as it was.
        if (is52X && out.result != CommResult::Unexpected)
            DecodeMemoryImage(st);
        view_->setStatus(QString());
    }

    if (out.transferred && out.result == CommResult::Ok && ctx_.platform.settingsRead)
        ctx_.platform.settingsRead(st);

    view_->VerDsp();
    view_->ModeTypeDsp();
    view_->DspData();
    view_->CommandButtun(true);
    return out;
}

CommandOutcome SettingsCommands::WritingOut()
{
    CommandOutcome out;
    AppState &st = ctx_.state;
    view_->CommandButtun(false);

    // A setting no command may carry (a control character, a byte of 0x80
    // and above, as a file can hold) refuses the write before anything is sent.
    char bad = 0;
    if (const int f = unsendableField(st.ParamRecord, &bad)) {
        ctx_.boxes().show(unsendableMessage(f, bad), applicationTitle(), MsgIcon::Exclamation,
                          MsgButtons::Ok);
        out.result = CommResult::Failed;
        view_->CommandButtun(true);
        return out;
    }

    if (!typeChange_.CheckQmode(100)) {
        QString refusal;
        if (st.DeviceType == Type5600)
            refusal = QCoreApplication::translate("qel::SettingsCommands", "QEL-52XにはQEL-5600のパラメータは書き込めません");
        else if (st.DeviceType == Type521 || st.DeviceType == Type527)
            refusal = QCoreApplication::translate("qel::SettingsCommands", "QEL-5600にはQEL-52Xのパラメータは書き込めません");
        const QString text = refusal + QCoreApplication::translate("qel::SettingsCommands", "\n一度パラメータを読み込んで下さい");
        ctx_.boxes().showPortProblem(text, typeChange_.lastOpenProblem(), applicationTitle(), MsgIcon::None,
                                     MsgButtons::Ok);
    } else if (st.DeviceType == Type5600 || st.DeviceType == Type521
               || st.DeviceType == Type527) {
        view_->setStatus(QCoreApplication::translate("qel::SettingsCommands", "書き込み中"));
        out.transferred = true;
        out.result = st.DeviceType == Type5600 ? engine_.WriteData56() : engine_.Writedata52();
        view_->setUpdateLabel(DateDeCord(st.ParamRecord.field(31)));
        view_->setStatus(QString());
    }

    view_->CommandButtun(true);
    return out;
}

} // namespace qel
