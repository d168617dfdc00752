// The in-process line. Every port object a window creates reaches the same
// simulated converter when its port number is the device's; what the device
// sends back is put, at its due time on the virtual clock, into the input
// buffer of whichever port is open on that line at that moment.

#include "SimPort.h"

#include <algorithm>
#include <utility>

namespace qel::sim {

struct SimPortFactory::Impl {
    Impl(VirtualClock &c, const SimDevice &dev) : clock(c), device(dev) {}
    VirtualClock &clock;
    SimDevice device; // shares its state with the caller's device
    int *devicePort = nullptr;
    QSet<int> *failingPorts = nullptr;
    bool unplugged = false;
    bool pumping = false;
    QList<Sent> sent;
    QList<SimPort *> ports;

    SimPort *openOn(int number) const;
    void deliver(const QByteArray &bytes);
    // The line pulled: the open port loses it, opening fails until plugged again.
    void unplug();
    std::weak_ptr<Impl> self;
    // fn(line) delayMs from now, unless the line is gone by then.
    template <typename Fn>
    void later(qint64 delayMs, Fn fn)
    {
        clock.schedule(delayMs, [weak = self, fn] {
            if (auto l = weak.lock())
                fn(*l);
        });
    }
    // While the device streams on its own, a chunk every interval goes to
    // the port open on its line.
    void startPump();
    void schedulePump();
};

class SimPort : public SerialPort {
public:
    explicit SimPort(std::shared_ptr<SimPortFactory::Impl> line) : line_(std::move(line))
    {
        line_->ports.append(this);
    }
    ~SimPort() override { line_->ports.removeAll(this); }

    bool open() override
    {
        if (open_)
            return true;
        const QString name = QStringLiteral("COM%1").arg(number_);
        const auto fail = [&](const char *why, PortProblem::Cause cause) {
            error_ = name + QStringLiteral(": ") + QLatin1String(why);
            problem_ = {};
            problem_.cause = cause;
            problem_.path = name;
            return false;
        };
        if (line_->failingPorts->contains(number_))
            return fail("No such file or directory", PortProblem::Missing);
        if (number_ == *line_->devicePort && line_->unplugged)
            return fail("No such device", PortProblem::Missing);
        if (line_->openOn(number_))
            return fail("Device or resource busy", PortProblem::Busy);
        problem_ = {};
        open_ = true;
        lost_ = false;
        error_.clear();
        input_.clear();
        line_->startPump();
        return true;
    }
    void close() override
    {
        open_ = false;
        input_.clear();
    }
    bool isOpen() const override { return open_; }
    QString lastError() const override { return error_; }
    PortProblem openProblem() const override { return problem_; }
    bool setRts(bool on) override
    {
        rts_ = on;
        return true;
    }
    int bytesWaiting() override { return open_ ? int(input_.size()) : 0; }
    QByteArray readAllWaiting() override { return open_ ? std::exchange(input_, {}) : QByteArray(); }
    void discardInput() override { input_.clear(); }

    bool write(const QByteArray &data) override
    {
        if (!open_)
            return false;
        auto &L = *line_;
        L.sent.append({L.clock.nowMs(), settings_, data});
        if (number_ != *L.devicePort || L.unplugged)
            return true; // a dead line swallows everything
        const QList<SimReply> replies = L.device.receive(data, baudFromSettings(settings_));
        qint64 at = 0;
        for (const SimReply &r : replies) {
            at += r.delayMs;
            if (r.dropLine)
                L.later(at, [](SimPortFactory::Impl &l) { l.unplug(); });
            else
                L.later(at, [bytes = r.bytes](SimPortFactory::Impl &l) { l.deliver(bytes); });
        }
        L.startPump();
        return true;
    }
    bool lineLost() const override { return lost_; }

    // The line went away: like the Qt port, it reports the loss and closes.
    void loseLine()
    {
        lost_ = true;
        close();
        error_ = QStringLiteral("COM%1: Input/output error").arg(number_);
        problem_ = {};
        problem_.cause = PortProblem::Lost;
        problem_.path = QStringLiteral("COM%1").arg(number_);
        problem_.detail = QStringLiteral("Input/output error");
    }
    void receive(const QByteArray &bytes) { input_ += bytes; }

private:
    std::shared_ptr<SimPortFactory::Impl> line_;
    QString error_;
    PortProblem problem_;
    bool open_ = false;
    bool lost_ = false;
    QByteArray input_;
};

SimPort *SimPortFactory::Impl::openOn(int number) const
{
    for (SimPort *p : ports)
        if (p->isOpen() && p->portNumber() == number)
            return p;
    return nullptr;
}

void SimPortFactory::Impl::deliver(const QByteArray &bytes)
{
    if (unplugged)
        return;
    if (SimPort *p = openOn(*devicePort))
        p->receive(bytes);
}

void SimPortFactory::Impl::unplug()
{
    unplugged = true;
    if (SimPort *p = openOn(*devicePort))
        p->loseLine();
}

void SimPortFactory::Impl::startPump()
{
    if (pumping || device.stream() == SimDevice::Stream::Off || unplugged
        || !openOn(*devicePort))
        return;
    pumping = true;
    schedulePump();
}

void SimPortFactory::Impl::schedulePump()
{
    later(device.streamIntervalMs(), [](Impl &l) {
        SimPort *p = l.openOn(*l.devicePort);
        if (l.device.stream() == SimDevice::Stream::Off || l.unplugged || !p) {
            l.pumping = false;
            return;
        }
        p->receive(l.device.nextStreamChunk());
        l.schedulePump();
    });
}

SimPortFactory::SimPortFactory(VirtualClock &clock, SimDevice &device)
    : d(std::make_shared<Impl>(clock, device))
{
    d->devicePort = &devicePort;
    d->failingPorts = &failingPorts;
    d->self = d;
}

std::unique_ptr<SerialPort> SimPortFactory::create()
{
    return std::make_unique<SimPort>(d);
}

void SimPortFactory::setUnplugged(bool on)
{
    if (on)
        d->unplug();
    else
        d->unplugged = false;
}

const QList<SimPortFactory::Sent> &SimPortFactory::sent() const { return d->sent; }

int SimPortFactory::openPorts() const
{
    return int(std::count_if(d->ports.begin(), d->ports.end(), [](SimPort *p) { return p->isOpen(); }));
}

void SimPortFactory::sendFromDevice(qint64 delayMs, const QByteArray &bytes)
{
    d->later(delayMs, [bytes](Impl &l) { l.deliver(bytes); });
}

} // namespace qel::sim
