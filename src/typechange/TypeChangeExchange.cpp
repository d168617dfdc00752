// STUB: replaced by the operation type change exchange.
#include "TypeChange.h"
namespace qel {
TypeChange::ChangeResult TypeChange::ChangeType(char) { return {}; }
}
