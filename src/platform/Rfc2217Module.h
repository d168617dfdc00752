#pragma once
// The RFC 2217 transport's table for NetworkPort.h: what the module
// qel-network.so hands out, and what a program or test linked with the
// transport (the target qelnet) gives useNetworkModule.

#include "NetworkPort.h"

namespace qel {

const NetworkModule *rfc2217Module();

} // namespace qel
