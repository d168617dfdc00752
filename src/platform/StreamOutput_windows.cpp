#include "StreamOutput.h"

#include "FileAccess.h"
#include "WinSystem_windows.h"

#include <QRegularExpression>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qel {

namespace {

bool isNamedPipe(const QString &path)
{
    return path.startsWith(QLatin1String("\\\\.\\pipe\\"), Qt::CaseInsensitive)
        || path.startsWith(QLatin1String("//./pipe/"), Qt::CaseInsensitive);
}

// The names Windows keeps for its devices, in any folder and with any
// extension: NUL, CON, CONOUT$, PRN, AUX, COM1..COM9, LPT1..LPT9.
bool isDeviceName(const QString &path)
{
    static const QRegularExpression device(QStringLiteral("^(NUL|CON|CONOUT\\$|PRN|AUX|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString base = path.mid(qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1);
    return device.match(base).hasMatch();
}

// Cancels the calling thread's write when it has waited `ms` (the reader
// takes nothing), unless it is done first.
class WriteWatch {
public:
    explicit WriteWatch(int ms)
    {
        if (ms < 0)
            return;
        HANDLE self = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        thread_ = std::thread([this, self, ms] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) {
                expired_ = true;
                ::CancelSynchronousIo(self);
            }
            ::CloseHandle(self);
        });
    }
    ~WriteWatch()
    {
        if (!thread_.joinable())
            return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    bool expired() const { return expired_; }

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    bool expired_ = false;
};

} // namespace

StreamOutput::~StreamOutput()
{
    if (own_ && handle_)
        ::CloseHandle(handle_);
}

bool StreamOutput::isOpen() const
{
    return handle_ != nullptr;
}

bool StreamOutput::isStream(const QString &path)
{
    return path == QLatin1String("-") || isNamedPipe(path) || isDeviceName(path)
        || path.startsWith(QLatin1String("\\\\.\\")) || fileState(path).kind == FileState::Other;
}

bool StreamOutput::fail(const QString &why)
{
    error_ = why;
    return false;
}

bool StreamOutput::open(const QString &path)
{
    error_.clear();
    DWORD mode = 0;
    if (path == QLatin1String("-")) {
        handle_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        own_ = false;
        if (!handle_ || handle_ == INVALID_HANDLE_VALUE) {
            handle_ = nullptr;
            return fail(QStringLiteral("no standard output"));
        }
    } else {
        HANDLE h = ::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = ::GetLastError();
            return fail(isNamedPipe(path) && (e == ERROR_FILE_NOT_FOUND || e == ERROR_PIPE_BUSY)
                            ? QStringLiteral("no program reads from this pipe (start the reader first)")
                            : win::errorText(e));
        }
        handle_ = h;
        own_ = true;
    }
    console_ = ::GetConsoleMode(handle_, &mode);
    return true;
}

bool StreamOutput::write(const QByteArray &bytes)
{
    if (!handle_)
        return fail(error_.isEmpty() ? QStringLiteral("not open") : error_);
    if (console_) {
        // A console shows its own characters: the text goes in as such,
        // whatever the console's code page.
        const std::wstring text = QString::fromUtf8(bytes).toStdWString();
        for (size_t done = 0; done < text.size();) {
            DWORD n = 0;
            if (!::WriteConsoleW(handle_, text.data() + done, DWORD(text.size() - done), &n, nullptr) || n == 0)
                return fail(win::lastErrorText());
            done += n;
        }
        return true;
    }
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        DWORD n = 0;
        BOOL ok;
        bool expired;
        {
            WriteWatch watch(waitMs_);
            ok = ::WriteFile(handle_, data, DWORD(qMin<qint64>(left, 1 << 20)), &n, nullptr);
            expired = watch.expired();
        }
        if (!ok) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_OPERATION_ABORTED && expired)
                return fail(QStringLiteral("the reader took nothing for %1 s").arg(waitMs_ / 1000.0));
            if (e == ERROR_OPERATION_ABORTED)
                return fail(QStringLiteral("stopped by a signal while the reader took nothing"));
            if (e == ERROR_NO_DATA || e == ERROR_BROKEN_PIPE)
                return fail(QStringLiteral("Broken pipe"));
            return fail(win::errorText(e));
        }
        if (n == 0)
            return fail(QStringLiteral("Input/output error"));
        data += n;
        left -= n;
    }
    return true;
}

} // namespace qel
