#include "QtSerialPort.h"

#include "WinSystem_windows.h"

#include <QStringList>
#include <QWinEventNotifier>

#include <memory>
#include <utility>

namespace qel {

namespace {

// What waits unread is bounded, as in a serial driver: a line that floods
// while nothing reads it fills this, then the driver's own buffer, and no more.
constexpr qsizetype kReadBuffer = 4096;

// The line over the system's own calls. Reads never wait: what the driver
// holds is taken when the procedures look (bytesWaiting, readAllWaiting).
// A wait for the received-character event wakes the event loop as characters
// arrive, so that a reply is seen at once, not at the next tick; the event
// only wakes, it is not trusted to say what arrived (wine signals it without
// naming the event on a pseudo-terminal; the driver's queue tells). Not
// QSerialPort: its Windows side reads only when the event names itself, so
// nothing would ever arrive there under wine.
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
    // One overlapped call to its end; false with the system's error.
    bool finish(BOOL started, OVERLAPPED &ov, DWORD &n);
    // The wait for characters, begun anew after each wake; ended at close.
    void armWait();
    void endWait();

    const QString path_;
    HANDLE handle_ = nullptr; // the hold's port while open
    QByteArray buffer_;
    QString error_;
    PortProblem problem_;
    DeviceHold hold_;
    bool lost_ = false;
    win::Handle ioEvent_, waitEvent_;
    OVERLAPPED waitOv_{};
    DWORD eventMask_ = 0;
    bool waiting_ = false;
    std::unique_ptr<QWinEventNotifier> notifier_;
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
    if (!ioEvent_.valid())
        ioEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    armWait();
    return true;
}

void WinSerialPort::armWait()
{
    if (!waitEvent_.valid()) {
        waitEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        notifier_ = std::make_unique<QWinEventNotifier>(waitEvent_.get());
        QObject::connect(notifier_.get(), &QWinEventNotifier::activated, notifier_.get(), [this] {
            DWORD n = 0;
            if (waiting_ && !::GetOverlappedResult(handle_, &waitOv_, &n, FALSE)
                && ::GetLastError() == ERROR_IO_INCOMPLETE)
                return; // not over yet
            // The procedures look at the queue in this turn of the loop; the
            // wait begins again once they have taken it (pull), so that
            // characters left unread never wake the loop over and over.
            waiting_ = false;
            notifier_->setEnabled(false);
        });
    }
    if (!handle_ || waiting_)
        return;
    ::SetCommMask(handle_, EV_RXCHAR);
    waitOv_ = OVERLAPPED{};
    waitOv_.hEvent = waitEvent_.get();
    ::ResetEvent(waitEvent_.get());
    if (::WaitCommEvent(handle_, &eventMask_, &waitOv_) || ::GetLastError() == ERROR_IO_PENDING) {
        waiting_ = true;
        notifier_->setEnabled(true);
    } else {
        notifier_->setEnabled(false); // another port object waits on this line: the ticks serve
    }
}

void WinSerialPort::endWait()
{
    if (notifier_)
        notifier_->setEnabled(false);
    if (!waiting_ || !handle_)
        return;
    ::SetCommMask(handle_, 0); // ends the wait
    DWORD n = 0;
    ::GetOverlappedResult(handle_, &waitOv_, &n, TRUE);
    waiting_ = false;
}

void WinSerialPort::close()
{
    endWait();
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

bool WinSerialPort::finish(BOOL started, OVERLAPPED &ov, DWORD &n)
{
    if (started) // done at once: `n` holds the count
        return true;
    if (::GetLastError() != ERROR_IO_PENDING)
        return false;
    return ::GetOverlappedResult(handle_, &ov, &n, TRUE);
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
    if (stat.cbInQue == 0 || room <= 0) {
        if (stat.cbInQue == 0)
            armWait();
        return true;
    }
    const qsizetype at = buffer_.size();
    buffer_.resize(at + qMin<qsizetype>(room, qsizetype(stat.cbInQue)));
    OVERLAPPED ov{};
    ov.hEvent = ioEvent_.get();
    DWORD n = 0;
    if (!finish(::ReadFile(handle_, buffer_.data() + at, DWORD(buffer_.size() - at), &n, &ov), ov, n)) {
        buffer_.truncate(at);
        lose(::GetLastError());
        return false;
    }
    buffer_.truncate(at + qsizetype(n));
    if (qsizetype(n) >= qsizetype(stat.cbInQue))
        armWait();
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
        OVERLAPPED ov{};
        ov.hEvent = ioEvent_.get();
        DWORD n = 0;
        if (!finish(::WriteFile(handle_, data.constData() + done, DWORD(data.size() - done), &n, &ov), ov, n)) {
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
