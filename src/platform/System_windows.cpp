#include "System.h"

#include "WinSystem_windows.h"

#include <QFileInfo>

#include <fcntl.h>
#include <io.h>
#include <cerrno>
#include <cstdlib>
#include <shellapi.h>

namespace qel {

QStringList commandArguments(int, char **)
{
    QStringList args;
    int n = 0;
    if (wchar_t **w = ::CommandLineToArgvW(::GetCommandLineW(), &n)) {
        for (int i = 1; i < n; ++i)
            args << win::fromWide(w[i]);
        ::LocalFree(w);
    }
    return args;
}

void prepareProcess()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void useEnglishSystemTexts()
{
}

bool writeStd(FILE *to, const QByteArray &bytes)
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(to)));
    DWORD mode = 0;
    if (h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode)) {
        std::fflush(to);
        const std::wstring text = QString::fromUtf8(bytes).toStdWString();
        for (size_t done = 0; done < text.size();) {
            DWORD n = 0;
            if (!::WriteConsoleW(h, text.data() + done, DWORD(text.size() - done), &n, nullptr) || n == 0)
                return false;
            done += n;
        }
        return true;
    }
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size())
        && std::fflush(to) == 0;
}

bool lastWriteFoundNoReader()
{
    const DWORD e = ::GetLastError();
    return e == ERROR_BROKEN_PIPE || e == ERROR_NO_DATA || errno == EPIPE;
}

void endAsClosedPipe()
{
    std::fflush(stderr);
    std::_Exit(141);
}

QString programFolder()
{
    wchar_t buffer[32768];
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    return QFileInfo(win::fromWide(buffer, int(n))).path();
}

} // namespace qel
