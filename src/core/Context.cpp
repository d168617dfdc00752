#include "Context.h"

#include <algorithm>

namespace qel {

WaitTicker::WaitTicker(Context &ctx, std::function<void()> onTick)
    : ctx_(ctx), onTick_(std::move(onTick)), timer_(ctx.platform.clock->createTimer())
{
    timer_->onTimeout = [this] { tick(); };
    ctx_.tickers_.push_back(this);
}

WaitTicker::~WaitTicker()
{
    auto &v = ctx_.tickers_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void WaitTicker::restart()
{
    timer_->stop();
    resting_ = realign_ = false;
    nextDue_ = ctx_.platform.clock->nowMs() + 10;
    timer_->start(10);
}

void WaitTicker::stop()
{
    timer_->stop();
    resting_ = realign_ = false;
}

bool WaitTicker::isActive() const
{
    return resting_ || timer_->isActive();
}

void WaitTicker::tick()
{
    const qint64 now = ctx_.platform.clock->nowMs();
    nextDue_ += 10;
    if (nextDue_ <= now)
        nextDue_ = now + 10; // a late event does not bring a burst after it
    if (realign_) {
        realign_ = false;
        timer_->start(10);
    }
    onTick_();
    if (!ctx_.waiting() && timer_->isActive()) {
        timer_->stop();
        resting_ = true;
    }
}

void WaitTicker::wake()
{
    if (resting_)
        catchUp();
}

void WaitTicker::catchUp()
{
    const qint64 now = ctx_.platform.clock->nowMs();
    if (!resting_ && nextDue_ > now)
        return;
    resting_ = false;
    if (nextDue_ <= now) {
        // The counts stop at 1000: more than that many missed ticks change nothing.
        const qint64 missed = (now - nextDue_) / 10 + 1;
        for (qint64 i = 0; i < std::min<qint64>(missed, 1001); ++i)
            onTick_();
        nextDue_ += missed * 10;
    }
    // On again, in the phase of the ticks counted: the late event of a tick
    // counted here never comes.
    const int first = int(nextDue_ - now);
    realign_ = first != 10;
    timer_->start(first);
}

TickCounter::TickCounter(Context &ctx, AppState &state)
    : ctx_(ctx), state_(state),
      ticker_(ctx, [this] {
          state_.TickCount += 1;
          if (state_.TickCount >= 1000)
              state_.TickCount = 1000;
      }),
      alarm_(ctx.platform.clock->createTimer())
{
    alarm_->onTimeout = [this] { alarm_->stop(); };
}

void TickCounter::restart()
{
    state_.TickCount = 0;
    ticker_.restart();
}

void TickCounter::stop()
{
    ticker_.stop();
}

bool TickCounter::isActive() const
{
    return ticker_.isActive();
}

void TickCounter::pause(int ii)
{
    restart();
    Clock &clock = *ctx_.platform.clock;
    const qint64 deadline = clock.nowMs() + 10 * qint64(ii);
    if (ii > 0)
        alarm_->start(10 * ii);
    do {
        ctx_.yield();
    } while (state_.TickCount < ii && clock.nowMs() < deadline);
    alarm_->stop();
    // Ended by its deadline: the ticks due by now count, late or not.
    if (state_.TickCount < ii)
        ticker_.catchUp();
}

Context::Context(const Platform &p) : platform(p), ticks(*this, state) {}

void Context::wakeTickers()
{
    for (WaitTicker *t : tickers_)
        t->wake();
}

void Context::yield()
{
    wakeTickers();
    ++waiting_;
    platform.clock->yield();
    --waiting_;
}

void Context::processPending()
{
    wakeTickers();
    ++waiting_;
    platform.clock->processPending();
    --waiting_;
}

} // namespace qel
