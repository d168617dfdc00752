#pragma once
// The Read and Write buttons' work (ReadingIn, WritingOut), shared by the
// settings screen and the command-line tool. The screen is reached through
// EditorView; the tool passes none.

#include "comm/RsReadWrite.h"
#include "typechange/TypeChange.h"

namespace qel {

// The screen's side of the commands; the base shows nothing (the tool).
class EditorView {
public:
    virtual ~EditorView() = default;
    virtual void CommandButtun(bool /*ii*/) {}
    virtual void setStatus(const QString &) {} // Label1
    virtual void VerDsp() {}
    virtual void ModeTypeDsp() {}
    virtual void DspData() {}
    virtual void setUpdateLabel(const QString &) {} // Label13
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

    CommandOutcome ReadingIn();
    CommandOutcome WritingOut();

private:
    Context &ctx_;
    RsReadWrite &engine_;
    TypeChange &typeChange_;
    EditorView noView_;
    EditorView *view_;
};

} // namespace qel
