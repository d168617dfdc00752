#include "LinePort.h"

#include "QtSerialPort.h"
#include "Rfc2217Port.h"

namespace qel {

std::unique_ptr<SerialPort> createTransport(const QString &path)
{
    if (Rfc2217Port::isUrl(path))
        return std::make_unique<Rfc2217Port>(path);
    return std::make_unique<QtSerialPort>(path);
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
