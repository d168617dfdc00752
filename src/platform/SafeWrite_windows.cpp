#include "SafeWrite.h"

#include "FileName.h"
#include "Folder.h"
#include "WinSystem_windows.h"

#include <QRandomGenerator>

#include <cerrno>

namespace qel {

namespace {

QString dirOf(const QString &path)
{
    const qsizetype slash = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return slash < 0 ? QStringLiteral(".") : path.left(slash);
}

QString text(const QByteArray &utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

bool SafeWrite::failSystem()
{
    return fail(win::lastErrorText());
}

bool SafeWrite::isOpen() const
{
    return handle_ != nullptr;
}

bool SafeWrite::open()
{
    if (handle_ || failed_)
        return fail(QStringLiteral("already open"));
    if (path_.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (folder_) {
        if (name_.isEmpty() || name_.contains(u'/') || name_.contains(u'\\'))
            return fail(QStringLiteral("not a file name"));
        return createTemp(QByteArray(".") + name_.toUtf8() + '.');
    }
    target_ = path_.toUtf8();
    const std::wstring target = win::wide(path_);
    WIN32_FILE_ATTRIBUTE_DATA a;
    const bool exists = ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &a);
    if (exists && (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(systemError(EISDIR));
    if (exists || path_.startsWith(QLatin1String("\\\\.\\")) || path_.startsWith(QLatin1String("//./"))) {
        // A device or a pipe (NUL, \\.\pipe\NAME): nothing to rename over,
        // the bytes go straight in.
        HANDLE h = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_PIPE_BUSY)
                return fail(QStringLiteral("no program reads from this pipe"));
            // A file the user may not write is not replaced behind its back.
            return failSystem();
        }
        if (::GetFileType(h) != FILE_TYPE_DISK) {
            handle_ = h;
            direct_ = true;
            return true;
        }
        ::CloseHandle(h);
        if (a.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            return fail(systemError(EACCES));
    }
    const QString base = path_.mid(qMax(path_.lastIndexOf(u'/'), path_.lastIndexOf(u'\\')) + 1);
    return createTemp((dirOf(path_) + QStringLiteral("/.") + base + u'.').toUtf8());
}

bool SafeWrite::createTemp(const QByteArray &prefix)
{
    const QString dir = folder_ ? folder_->path() + u'/' : QString();
    for (int attempt = 0; attempt < 100 && !handle_; ++attempt) {
        temp_ = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        HANDLE h = ::CreateFileW(win::wide(dir + text(temp_)).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            handle_ = h;
        else if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!handle_) {
        const DWORD e = ::GetLastError();
        temp_.clear();
        return fail(win::errorText(e));
    }
    if (folder_)
        temp_ = (dir + text(temp_)).toUtf8();
    return true;
}

bool SafeWrite::write(const char *data, qint64 size)
{
    if (failed_)
        return false;
    if (!handle_)
        return fail(QStringLiteral("not open"));
    while (size > 0) {
        DWORD n = 0;
        if (!::WriteFile(handle_, data, DWORD(qMin<qint64>(size, 1 << 30)), &n, nullptr))
            return failSystem();
        if (n == 0)
            return fail(systemError(EIO));
        data += n;
        size -= n;
        size_ += n;
    }
    return true;
}

bool SafeWrite::writeAt(qint64 at, const char *data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        OVERLAPPED where{};
        where.Offset = DWORD(at + done);
        where.OffsetHigh = DWORD((at + done) >> 32);
        DWORD n = 0;
        if (!::WriteFile(handle_, data + done, DWORD(qMin<qint64>(size - done, 1 << 30)), &n, &where))
            return failSystem();
        if (n == 0)
            return fail(systemError(EIO));
        done += n;
    }
    return true;
}

bool SafeWrite::endAt(qint64 size)
{
    LARGE_INTEGER to;
    to.QuadPart = size;
    if (!::SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle_))
        return failSystem();
    return true;
}

bool SafeWrite::commit()
{
    if (!handle_ && !failed_)
        return fail(QStringLiteral("not open"));
    if (!failed_ && !direct_ && !::FlushFileBuffers(handle_))
        failSystem();
    if (handle_ && !::CloseHandle(handle_))
        failSystem();
    handle_ = nullptr;
    if (failed_) {
        cancel();
        return false;
    }
    if (direct_)
        return true;
    if (folder_)
        return placeInFolder();
    if (!::MoveFileExW(win::wide(text(temp_)).c_str(), win::wide(text(target_)).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failSystem();
        cancel();
        return false;
    }
    temp_.clear();
    return true;
}

bool SafeWrite::placeInFolder()
{
    const qsizetype dot = name_.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name_.left(dot) : name_;
    const QString ext = dot > 0 ? name_.mid(dot) : QString();
    for (int n = 1; n <= 10000; ++n) {
        const QString target = n == 1 ? name_ : stem + u'-' + QString::number(n) + ext;
        // A new name never replaces anything: the move fails where any
        // entry holds the name.
        const DWORD how = MOVEFILE_WRITE_THROUGH | (placing_ == Placing::Replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (::MoveFileExW(win::wide(text(temp_)).c_str(), win::wide(folder_->filePath(target)).c_str(), how)) {
            temp_.clear();
            path_ = folder_->filePath(target);
            return true;
        }
        const DWORD e = ::GetLastError();
        if (placing_ == Placing::Replace || (e != ERROR_ALREADY_EXISTS && e != ERROR_FILE_EXISTS))
            break;
    }
    failSystem();
    cancel();
    return false;
}

void SafeWrite::cancel()
{
    if (handle_)
        ::CloseHandle(handle_);
    handle_ = nullptr;
    if (!temp_.isEmpty())
        ::DeleteFileW(win::wide(text(temp_)).c_str());
    temp_.clear();
}

} // namespace qel
