#include "LinePort.h"

#include "NetworkPort.h"
#include "QtSerialPort.h"
#include "WireTrace.h"

namespace qel {

namespace {

// A network port while the network transport cannot be loaded: every open
// fails, saying why.
class NoTransport : public SerialPort {
public:
    NoTransport(const QString &path, const QString &why) : path_(path), why_(why) {}
    bool open() override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    QString lastError() const override { return openProblem().text(); }
    PortProblem openProblem() const override
    {
        PortProblem p;
        p.cause = PortProblem::Other;
        p.path = path_;
        p.detail = QStringLiteral("the network transport is not available (%1)").arg(why_);
        return p;
    }
    bool setRts(bool on) override
    {
        rts_ = on;
        return true;
    }
    int bytesWaiting() override { return 0; }
    QByteArray readAllWaiting() override { return {}; }
    void discardInput() override {}
    bool write(const QByteArray &) override { return false; }

private:
    QString path_, why_;
};

} // namespace

std::unique_ptr<SerialPort> createTransport(const QString &path)
{
    if (isNetworkUrl(path)) {
        QString why;
        if (const NetworkModule *net = networkModule(why))
            return std::unique_ptr<SerialPort>(net->createPort(path));
        return std::make_unique<NoTransport>(path, why);
    }
    return createLocalPort(path);
}

QString LinePort::devicePath() const
{
    return map_ ? map_->devicePath(number_) : PortMap::defaultPath(number_);
}

void LinePort::setPortNumber(int n)
{
    number_ = n;
    if (line_)
        line_->setPortNumber(n);
}

void LinePort::setSettings(const QString &s)
{
    settings_ = s;
    if (line_)
        line_->setSettings(s);
}

bool LinePort::open()
{
    if (isOpen())
        return true;
    const QString path = devicePath();
    if (!line_ || path != linePath_) {
        line_ = createTransport(path);
        if (WireTrace *trace = WireTrace::active())
            line_ = tracedPort(std::move(line_), path, *trace);
        linePath_ = path;
    }
    line_->setPortNumber(number_);
    line_->setSettings(settings_);
    line_->setRts(rts_);
    return line_->open();
}

void LinePort::close()
{
    if (line_)
        line_->close();
}

bool LinePort::setRts(bool on)
{
    rts_ = on;
    return line_ ? line_->setRts(on) : true;
}

void LinePort::discardInput()
{
    if (line_)
        line_->discardInput();
}

} // namespace qel
