#pragma once
// The Read and Write buttons' work (ReadingIn, WritingOut), shared by the
// settings screen and the command-line tool. The screen is reached through
// EditorView; the tool passes none.

#include "comm/RsReadWrite.h"
#include "typechange/TypeChange.h"

namespace qel {

class EditorView {
public:
    virtual ~EditorView() = default;
    virtual void CommandButtun(bool ii) = 0;
    virtual void setStatus(const QString &text) = 0; // Label1
    virtual void VerDsp() = 0;
    virtual void ModeTypeDsp() = 0;
    virtual void DspData() = 0;
    virtual void setUpdateLabel(const QString &text) = 0; // Label13
};

struct CommandOutcome {
    bool transferred = false; // a device procedure ran
    CommResult result = CommResult::NoAnswer;
    bool aborted = false;     // the user chose Abort in the detection box
};

class SettingsCommands {
public:
    SettingsCommands(Context &ctx, RsReadWrite &engine, TypeChange &typeChange,
                     EditorView *view = nullptr);
    void setView(EditorView *view) { view_ = view; }

    CommandOutcome ReadingIn();
    CommandOutcome WritingOut();

private:
    Context &ctx_;
    RsReadWrite &engine_;
    TypeChange &typeChange_;
    EditorView *view_;
};

} // namespace qel
