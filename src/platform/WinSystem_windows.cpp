#include "WinSystem_windows.h"

#include <atomic>

namespace qel::win {

std::wstring wide(const QString &text)
{
    QString native = text;
    native.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return native.toStdWString();
}

QString fromWide(const wchar_t *text, int length)
{
    return QString::fromWCharArray(text, length);
}

QString errorText(DWORD error)
{
    wchar_t *buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = ::FormatMessageW(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                               reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    if (n == 0) // the system has no English texts: its own language
        n = ::FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = n ? fromWide(buffer, int(n)).trimmed() : QStringLiteral("system error %1").arg(error);
    if (buffer)
        ::LocalFree(buffer);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

HANDLE namedMutex(const QString &name)
{
    SECURITY_DESCRIPTOR everyone;
    ::InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES sa{sizeof sa, &everyone, FALSE};
    HANDLE m = ::CreateMutexW(&sa, FALSE, (QStringLiteral("Global\\") + name).toStdWString().c_str());
    if (!m)
        m = ::CreateMutexW(&sa, FALSE, (QStringLiteral("Local\\") + name).toStdWString().c_str());
    return m;
}

namespace {

std::atomic<bool> gStopped{false};

// The program's main thread, taken while the program starts (this file's
// objects are made there): the thread whose waits a stop ends.
HANDLE mainThread()
{
    static HANDLE h = [] {
        HANDLE t = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &t, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        return t;
    }();
    return h;
}
const HANDLE gMainThread = mainThread();

} // namespace

void noteStop()
{
    gStopped = true;
    if (gMainThread)
        ::CancelSynchronousIo(gMainThread);
}

bool stopNoted()
{
    return gStopped;
}

QString lastErrorText()
{
    return errorText(::GetLastError());
}

} // namespace qel::win
