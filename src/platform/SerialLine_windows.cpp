#include "QtSerialPort.h"

#include "WinSystem_windows.h"

#include <QStringList>

#include <utility>

namespace qel {

namespace {

// What waits unread is bounded, as in a serial driver: a line that floods
// while nothing reads it fills this, then the driver's own buffer, and no more.
constexpr qsizetype kReadBuffer = 4096;

// The line over the system's own calls. Reads never wait: what the driver
// holds is taken when the procedures look (bytesWaiting, readAllWaiting),
// which they do at every tick. (Not QSerialPort: its Windows side reads only
// when the system names the received-character event, and wine leaves that
// name out on a pseudo-terminal, so nothing would ever arrive there.)
class WinSerialPort : public SerialPort {
public:
    explicit WinSerialPort(const QString &path) : path_(path) {}
    ~WinSerialPort() override { WinSerialPort::close(); }

    bool open() override;
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }
    QString lastError() const override { return error_; }
    PortProblem openProblem() const override;
    bool setRts(bool on) override;
    int bytesWaiting() override;
    QByteArray readAllWaiting() override;
    void discardInput() override;
    bool write(const QByteArray &data) override;
    bool lineLost() const override { return lost_; }

private:
    // Takes what the driver holds into buffer_; false when the line is gone.
    bool pull();
    void lose(DWORD error);

    const QString path_;
    HANDLE handle_ = nullptr; // the hold's port while open
    QByteArray buffer_;
    QString error_;
    PortProblem problem_;
    DeviceHold hold_;
    bool lost_ = false;
};

bool WinSerialPort::open()
{
    if (handle_)
        return true;
    lost_ = false;
    error_.clear();
    buffer_.clear();
    problem_ = hold_.acquire(path_);
    if (!problem_.ok()) {
        error_ = problem_.text();
        return false;
    }
    HANDLE h = hold_.handle();
    const QStringList parts = settings_.split(QLatin1Char(','));
    const int baud = baudFromSettings(settings_);
    const QString parity = parts.value(1).trimmed().toUpper();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(h, &dcb);
    dcb.BaudRate = DWORD(baud > 0 ? baud : 9600);
    dcb.ByteSize = 8;
    dcb.Parity = parity == QLatin1String("E") ? EVENPARITY : parity == QLatin1String("O") ? ODDPARITY : NOPARITY;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.StopBits = parts.value(3).trimmed() == QLatin1String("2") ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fErrorChar = dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = rts_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    // Reads return at once with what the driver holds; a write may take as
    // long as its characters need on the line, and two seconds more.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutMultiplier = DWORD(10000 / qMax(dcb.BaudRate, DWORD(1)) + 1);
    t.WriteTotalTimeoutConstant = 2000;
    if (!::SetCommState(h, &dcb) || !::SetCommTimeouts(h, &t)) {
        problem_.cause = PortProblem::Other;
        problem_.path = path_;
        problem_.detail = win::lastErrorText();
        error_ = problem_.text();
        hold_.release();
        return false;
    }
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    handle_ = h;
    return true;
}

void WinSerialPort::close()
{
    handle_ = nullptr;
    buffer_.clear();
    hold_.release();
}

void WinSerialPort::lose(DWORD error)
{
    // The other side of the line went away (an adapter unplugged).
    lost_ = true;
    error_ = win::errorText(error);
    close();
}

bool WinSerialPort::setRts(bool on)
{
    rts_ = on;
    // A line without modem lines (wine's pseudo-terminal) refuses: harmless,
    // the state is ours.
    if (handle_)
        ::EscapeCommFunction(handle_, on ? SETRTS : CLRRTS);
    return true;
}

bool WinSerialPort::pull()
{
    if (!handle_)
        return false;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(handle_, &errors, &stat)) {
        lose(::GetLastError());
        return false;
    }
    const qsizetype room = kReadBuffer - buffer_.size();
    if (stat.cbInQue == 0 || room <= 0)
        return true;
    const qsizetype at = buffer_.size();
    buffer_.resize(at + qMin<qsizetype>(room, qsizetype(stat.cbInQue)));
    DWORD n = 0;
    if (!::ReadFile(handle_, buffer_.data() + at, DWORD(buffer_.size() - at), &n, nullptr)) {
        buffer_.truncate(at);
        lose(::GetLastError());
        return false;
    }
    buffer_.truncate(at + qsizetype(n));
    return true;
}

int WinSerialPort::bytesWaiting()
{
    pull();
    return int(buffer_.size());
}

QByteArray WinSerialPort::readAllWaiting()
{
    pull();
    return std::exchange(buffer_, {});
}

void WinSerialPort::discardInput()
{
    if (!handle_)
        return;
    ::PurgeComm(handle_, PURGE_RXCLEAR);
    buffer_.clear();
}

bool WinSerialPort::write(const QByteArray &data)
{
    if (!handle_)
        return false;
    for (qsizetype done = 0; done < data.size();) {
        DWORD n = 0;
        if (!::WriteFile(handle_, data.constData() + done, DWORD(data.size() - done), &n, nullptr)) {
            lose(::GetLastError());
            return false;
        }
        if (n == 0) // the write time-out: the line takes nothing
            return false;
        done += n;
    }
    return true;
}

PortProblem WinSerialPort::openProblem() const
{
    if (!lost_)
        return problem_;
    PortProblem p;
    p.cause = PortProblem::Lost;
    p.path = path_;
    p.detail = error_;
    return p;
}

} // namespace

QString PortMap::defaultPath(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

std::unique_ptr<SerialPort> createLocalPort(const QString &path)
{
    return std::make_unique<WinSerialPort>(path);
}

} // namespace qel
