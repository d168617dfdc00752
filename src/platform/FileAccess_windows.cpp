#include "FileAccess.h"

#include "WinSystem_windows.h"

namespace qel {

FileState fileState(const QString &path)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!::GetFileAttributesExW(win::wide(path).c_str(), GetFileExInfoStandard, &a)) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME)
            return {};
        return {FileState::Unknown, 0, win::errorText(e)};
    }
    if (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {FileState::Folder, 0, {}};
    if (a.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
        return {FileState::Other, 0, {}};
    return {FileState::Regular, qint64(a.nFileSizeHigh) << 32 | a.nFileSizeLow, {}};
}

bool readUpTo(const QString &path, qint64 most, QByteArray &bytes, QString &error)
{
    win::Handle h(::CreateFileW(win::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        error = win::lastErrorText();
        return false;
    }
    bytes.clear();
    char buf[65536];
    while (bytes.size() < most) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buf, DWORD(qMin<qint64>(sizeof buf, most - bytes.size())), &n, nullptr)) {
            if (::GetLastError() == ERROR_BROKEN_PIPE || ::GetLastError() == ERROR_HANDLE_EOF)
                break;
            error = win::lastErrorText();
            return false;
        }
        if (n == 0)
            break;
        bytes.append(buf, n);
    }
    return true;
}

ReadOnlyFile::~ReadOnlyFile()
{
    close();
}

void ReadOnlyFile::close()
{
    if (handle_)
        ::CloseHandle(handle_);
    handle_ = nullptr;
}

bool ReadOnlyFile::open(const QString &path, QString &error)
{
    close();
    HANDLE h = ::CreateFileW(win::wide(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = win::lastErrorText();
        return false;
    }
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        error = QStringLiteral("not a regular file");
        return false;
    }
    handle_ = h;
    return true;
}

bool ReadOnlyFile::isOpen() const
{
    return handle_ != nullptr;
}

qint64 ReadOnlyFile::readAt(qint64 offset, char *data, qint64 size, QString &error) const
{
    qint64 got = 0;
    while (got < size) {
        OVERLAPPED at{};
        const qint64 pos = offset + got;
        at.Offset = DWORD(pos);
        at.OffsetHigh = DWORD(pos >> 32);
        DWORD n = 0;
        const DWORD want = DWORD(qMin<qint64>(size - got, 1 << 30));
        if (!::ReadFile(handle_, data + got, want, &n, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            error = win::lastErrorText();
            return -1;
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

QByteArray ReadOnlyFile::readHead(qint64 most, QString &error) const
{
    QByteArray bytes(most, Qt::Uninitialized);
    const qint64 n = readAt(0, bytes.data(), most, error);
    bytes.truncate(qMax<qint64>(n, 0));
    return bytes;
}

bool ReadOnlyFile::nextData(qint64, qint64 &, qint64 &) const
{
    return false; // copied whole: holes are rare on Windows
}

AppendFile::~AppendFile()
{
    if (handle_)
        ::CloseHandle(handle_);
}

bool AppendFile::open(const QString &path, QString &error)
{
    const std::wstring name = win::wide(path);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // Made anew or emptied, then opened again for appending only: every
    // write then lands at the end, whoever else appends.
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
        ::CloseHandle(h);
        h = ::CreateFileW(name.c_str(), disk ? FILE_APPEND_DATA | SYNCHRONIZE : GENERIC_WRITE, share, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) {
        error = win::lastErrorText();
        return false;
    }
    handle_ = h;
    return true;
}

bool AppendFile::isOpen() const
{
    return handle_ != nullptr;
}

bool AppendFile::append(const QByteArray &bytes, QString &error)
{
    for (qsizetype done = 0; done < bytes.size();) {
        DWORD n = 0;
        if (!::WriteFile(handle_, bytes.constData() + done, DWORD(bytes.size() - done), &n, nullptr) || n == 0) {
            error = win::lastErrorText();
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace qel
