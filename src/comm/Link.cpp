#include "Link.h"

namespace qel {

Link::Link(Context &ctx)
    : ctx_(ctx), port_(ctx.platform.ports->create()), alarm_(ctx.clock().createTimer())
{
    alarm_->onTimeout = [this] { alarm_->stop(); };
}

Link::~Link()
{
    if (port_->isOpen())
        close();
}

void Link::configure(const QString &settings)
{
    port_->setPortNumber(ctx_.state.CommPortNo);
    port_->setSettings(settings);
}

bool Link::raise()
{
    if (!port_->open())
        return false;
    port_->setRts(true);
    return true;
}

void Link::close()
{
    port_->setRts(false);
    port_->close();
}

void Link::wait10ms(int ii)
{
    // Restarts the tick count; ends after ii ticks or at its deadline.
    ctx_.ticks.pause(ii);
}

void Link::send(const QByteArray &cmd)
{
    wait10ms(2);
    port_->discardInput();
    port_->write(cmd);
}

Collected Link::collect(QByteArray &reply, const Until &until)
{
    const int &ticks = until.counter ? *until.counter : ctx_.state.TickCount;
    Clock &clock = ctx_.clock();
    // Late tick events (a machine under load) may stretch a limit, but to no
    // more than twice its time and 0.1 s.
    const int limitMs = 20 * until.limit + 100;
    const qint64 deadline = clock.nowMs() + limitMs;
    alarm_->start(limitMs);
    const auto end = [this](Collected c) {
        alarm_->stop();
        return c;
    };
    reply.clear();
    for (;;) {
        ctx_.yield();
        if (until.stop && until.stop())
            return end(Collected::Stopped);
        const int waiting = port_->bytesWaiting();
        if (until.count > 0 ? waiting >= until.count : waiting >= 1) {
            const QByteArray chunk = port_->readAllWaiting();
            reply += chunk;
            // Noise, not a reply: taken no further, and waited for no longer.
            if (reply.size() > kMaxReply) {
                reply.truncate(kMaxReply);
                return end(Collected::TimedOut);
            }
            if (until.count > 0 || chunk.endsWith('\r'))
                return end(Collected::Complete);
        }
        // A line that went away answers nothing more: no point in waiting out the time.
        if (lost())
            return end(Collected::Lost);
        if (ticks >= until.limit || clock.nowMs() >= deadline)
            return end(Collected::TimedOut);
    }
}

Collected Link::exchange(const QByteArray &cmd, QByteArray &reply, Until until)
{
    send(cmd);
    ctx_.ticks.restart(); // the limit runs from the write
    return collect(reply, until);
}

bool Link::presence(int limit)
{
    QByteArray reply;
    exchange(QByteArray("Q"), reply, {limit});
    return !reply.isEmpty();
}

} // namespace qel
