// STUB: replaced by the 52X procedures.
#include "RsReadWrite.h"
namespace qel {
CommResult RsReadWrite::Read52X() { return CommResult::NoAnswer; }
CommResult RsReadWrite::Writedata52() { return CommResult::NoAnswer; }
}
