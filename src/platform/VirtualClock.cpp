#include "VirtualClock.h"

namespace qel {

class VirtualTimer : public Timer {
public:
    VirtualTimer(VirtualClock *clock, std::shared_ptr<bool> alive)
        : clock_(clock), alive_(std::move(alive)) {}
    ~VirtualTimer() override { stop(); }

    void start(int ms) override
    {
        stop();
        interval_ = ms < 1 ? 1 : ms;
        active_ = true;
        arm();
    }
    void stop() override
    {
        if (active_ && *alive_)
            clock_->remove(pending_);
        active_ = false;
    }
    bool isActive() const override { return active_; }

private:
    void arm()
    {
        pending_ = clock_->add(clock_->now_ + interval_, [this] {
            // Re-arm first: the handler may stop or restart the timer.
            arm();
            onTimeout();
        });
    }

    VirtualClock *clock_;
    std::shared_ptr<bool> alive_;
    int interval_ = 10;
    bool active_ = false;
    quint64 pending_ = 0;
};

VirtualClock::VirtualClock() : alive_(std::make_shared<bool>(true)) {}

VirtualClock::~VirtualClock()
{
    *alive_ = false;
}

std::unique_ptr<Timer> VirtualClock::createTimer()
{
    return std::make_unique<VirtualTimer>(this, alive_);
}

quint64 VirtualClock::add(qint64 at, std::function<void()> fn)
{
    const quint64 id = ++seq_;
    const Key key{at, id};
    queue_.emplace(key, std::move(fn));
    index_.emplace(id, key);
    return id;
}

void VirtualClock::remove(quint64 id)
{
    auto it = index_.find(id);
    if (it == index_.end())
        return;
    queue_.erase(it->second);
    index_.erase(it);
}

void VirtualClock::schedule(qint64 delayMs, std::function<void()> fn)
{
    add(now_ + (delayMs < 0 ? 0 : delayMs), std::move(fn));
}

void VirtualClock::yield()
{
    ++yields_;
    if (onYield && onYield())
        return;
    if (queue_.empty()) {
        ++emptyYields_;
        return;
    }
    runFirst();
}

void VirtualClock::advance(qint64 ms)
{
    const qint64 until = now_ + ms;
    while (!queue_.empty() && queue_.begin()->first.first <= until)
        runFirst();
    now_ = until;
}

void VirtualClock::runFirst()
{
    auto it = queue_.begin();
    const Key key = it->first;
    auto fn = std::move(it->second);
    queue_.erase(it);
    index_.erase(key.second);
    if (key.first > now_)
        now_ = key.first;
    fn();
}

} // namespace qel
