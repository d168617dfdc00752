#include "QtSerialPort.h"

#include <QSerialPort>
#include <QStringList>

#include <cerrno>
#include <cstring>

namespace qel {

namespace {

constexpr qint64 kReadBuffer = 4096;

// The line over QSerialPort.
class QtSerialPort : public QObject, public SerialPort {
public:
    // The local device at `path` (the port number's path, resolved by LinePort).
    explicit QtSerialPort(const QString &path);
    ~QtSerialPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString lastError() const override { return error_; }
    // Also a line lost under the open port, by its path.
    PortProblem openProblem() const override;
    bool setRts(bool on) override;
    int bytesWaiting() override;
    QByteArray readAllWaiting() override;
    void discardInput() override;
    bool write(const QByteArray &data) override;
    bool lineLost() const override { return lost_; }

private:
    void onError(QSerialPort::SerialPortError e);

    const QString path_;
    QSerialPort port_;
    QString error_;
    PortProblem problem_;
    DeviceHold hold_; // the device locked while the port is open
    bool lost_ = false;
};

} // namespace

QString PortMap::defaultPath(int n)
{
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

std::unique_ptr<SerialPort> createLocalPort(const QString &path)
{
    return std::make_unique<QtSerialPort>(path);
}

QtSerialPort::QtSerialPort(const QString &path) : path_(path)
{
    QObject::connect(&port_, &QSerialPort::errorOccurred, this,
                     [this](QSerialPort::SerialPortError e) { onError(e); });
}

QtSerialPort::~QtSerialPort()
{
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::open()
{
    if (port_.isOpen())
        return true;
    lost_ = false;
    error_.clear();
    problem_ = hold_.acquire(path_);
    if (!problem_.ok()) {
        error_ = problem_.text();
        return false;
    }
    // Opened by its resolved name, so that Qt's own lock file (LCK..ttyUSB0)
    // is the one every other path to the device meets as well.
    port_.setPortName(hold_.device());
    // What waits unread is bounded, as in a serial driver: a line that floods
    // while nothing reads it (a message box open) fills this, then the
    // driver's own buffer, and no more.
    port_.setReadBufferSize(kReadBuffer);
    if (!port_.open(QIODevice::ReadWrite)) {
        problem_.path = path_;
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            problem_.cause = PortProblem::Missing;
            break;
        case QSerialPort::PermissionError:
            // The node opened for the lock above: what refuses is the lock
            // file of another program on the device.
            problem_.cause = PortProblem::Busy;
            problem_.pid = devicePortHolder(hold_.device());
            break;
        default:
            problem_.cause = PortProblem::Other;
            problem_.detail = port_.errorString();
            break;
        }
        error_ = problem_.text();
        port_.clearError();
        hold_.release();
        return false;
    }
    const QStringList parts = settings_.split(QLatin1Char(','));
    const int baud = baudFromSettings(settings_);
    port_.setBaudRate(baud > 0 ? baud : 9600);
    port_.setDataBits(QSerialPort::Data8);
    // A pseudo-terminal refuses parity settings; that is no fault of the line.
    const QString parity = parts.value(1).trimmed().toUpper();
    port_.setParity(parity == QLatin1String("E")   ? QSerialPort::EvenParity
                    : parity == QLatin1String("O") ? QSerialPort::OddParity
                                                   : QSerialPort::NoParity);
    port_.setStopBits(parts.value(3).trimmed() == QLatin1String("2") ? QSerialPort::TwoStop
                                                                     : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    return true;
}

void QtSerialPort::close()
{
    if (port_.isOpen())
        port_.close();
    port_.clearError();
    hold_.release();
}

bool QtSerialPort::isOpen() const
{
    return port_.isOpen();
}

bool QtSerialPort::setRts(bool on)
{
    rts_ = on;
    if (port_.isOpen()) {
        // On a pseudo-terminal the ioctl is refused: harmless, the state is ours.
        port_.setRequestToSend(on);
        port_.clearError();
    }
    return true;
}

int QtSerialPort::bytesWaiting()
{
    if (!port_.isOpen())
        return 0;
    return int(port_.bytesAvailable());
}

QByteArray QtSerialPort::readAllWaiting()
{
    if (!port_.isOpen())
        return {};
    return port_.readAll();
}

void QtSerialPort::discardInput()
{
    if (!port_.isOpen())
        return;
    port_.clear(QSerialPort::Input);
    port_.readAll();
    port_.clearError();
}

bool QtSerialPort::write(const QByteArray &data)
{
    if (!port_.isOpen())
        return false;
    const bool ok = port_.write(data) == data.size();
    port_.flush();
    return ok;
}

PortProblem QtSerialPort::openProblem() const
{
    if (!lost_)
        return problem_;
    PortProblem p;
    p.cause = PortProblem::Lost;
    p.path = path_;
    p.detail = error_;
    return p;
}

void QtSerialPort::onError(QSerialPort::SerialPortError e)
{
    // The other side of the line went away (a pty closed, a USB adapter
    // unplugged): close at the first report, or the error repeats endlessly.
    if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError
        || e == QSerialPort::WriteError) {
        lost_ = true;
        error_ = port_.errorString();
        // A pseudo-terminal whose other side closed answers the next ioctl
        // with ENOTTY: "Inappropriate ioctl for device" says nothing true
        // about a line that went away, so the cause stands alone.
        if (error_ == QString::fromLocal8Bit(std::strerror(ENOTTY)))
            error_.clear();
        if (port_.isOpen())
            port_.close();
        hold_.release();
    }
}

} // namespace qel
