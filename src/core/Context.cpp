#include "Context.h"

namespace qel {

TickCounter::TickCounter(Clock &clock, AppState &state)
    : state_(state), timer_(clock.createTimer())
{
    timer_->onTimeout = [this] {
        state_.TickCount += 1;
        if (state_.TickCount >= 1000)
            state_.TickCount = 1000;
    };
}

void TickCounter::restart()
{
    timer_->stop();
    state_.TickCount = 0;
    timer_->start(10);
}

void TickCounter::stop()
{
    timer_->stop();
}

bool TickCounter::isActive() const
{
    return timer_->isActive();
}

Context::Context(const Platform &p) : platform(p), ticks(*p.clock, state) {}

} // namespace qel
