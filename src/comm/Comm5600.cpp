// STUB: replaced by the 5600 procedures.
#include "RsReadWrite.h"
namespace qel {
CommResult RsReadWrite::Read56XVer() { return CommResult::NoAnswer; }
CommResult RsReadWrite::ReadData56() { return CommResult::NoAnswer; }
CommResult RsReadWrite::WriteData56() { return CommResult::NoAnswer; }
}
