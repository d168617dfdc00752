#include "SettingsCommands.h"

#include <QCoreApplication>

#include "comm/LineText.h"
#include "core/Codes.h"

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

    if (const Generation *g = generationOf(st.DeviceType)) {
        view_->setStatus(QString::fromLatin1(g->readStatus));
        out.transferred = true;
        out.result = g->readSettings(engine_);
        view_->setStatus(QString());
    }

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

    const Generation *g = generationOf(st.DeviceType);
    if (!typeChange_.CheckQmode(100)) {
        const QString refusal =
            g ? QCoreApplication::translate("qel::SettingsCommands", g->writeRefusal) : QString();
        const QString text = refusal + QCoreApplication::translate("qel::SettingsCommands", "\n一度パラメータを読み込んで下さい");
        ctx_.boxes().showPortProblem(text, typeChange_.lastOpenProblem(), applicationTitle(), MsgIcon::None,
                                     MsgButtons::Ok);
    } else if (g) {
        view_->setStatus(QCoreApplication::translate("qel::SettingsCommands", "書き込み中"));
        out.transferred = true;
        out.result = g->writeSettings(engine_);
        view_->setUpdateLabel(DateDeCord(st.ParamRecord.field(31)));
        view_->setStatus(QString());
    }

    view_->CommandButtun(true);
    return out;
}

} // namespace qel
