// STUB: replaced by detection and the program-mode check.
#include "TypeChange.h"
namespace qel {
TypeChange::TypeChange(Context &ctx, RsReadWrite &engine) : ctx_(ctx), engine_(engine), port_(ctx.platform.ports->create()) {}
TypeChange::~TypeChange() = default;
void TypeChange::TimerSet() { ctx_.ticks.restart(); }
void TypeChange::StopTimer() { ctx_.ticks.stop(); }
bool TypeChange::SetPortState(bool) { return false; }
bool TypeChange::CheckQmode(SerialPort &, int) { return false; }
TypeCheckResult TypeChange::TypeCheck() { return {}; }
void TypeChange::IdentFromImage() {}
}
