#pragma once
// The one place the device side is put together, in order: the context over
// the platform, the engine over the context, the type-change logic over both.
// The program, qelctl, the benchmarks and the test rigs each build one.

#include "comm/RsReadWrite.h"
#include "core/Context.h"
#include "typechange/TypeChange.h"

namespace qel {

struct Wiring {
    explicit Wiring(const Platform &p) : ctx(p), engine(ctx), typeChange(ctx, engine) {}

    Context ctx;
    RsReadWrite engine;
    TypeChange typeChange;
};

} // namespace qel
