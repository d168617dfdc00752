#include "Folder.h"

#include "WinSystem_windows.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace qel {

namespace {

QDateTime fromFileTime(const FILETIME &t)
{
    const qint64 ticks = qint64(t.dwHighDateTime) << 32 | t.dwLowDateTime; // 100 ns since 1601
    return QDateTime::fromMSecsSinceEpoch((ticks - 116444736000000000LL) / 10000);
}

FILETIME toFileTime(const QDateTime &when)
{
    const qint64 ticks = when.toMSecsSinceEpoch() * 10000 + 116444736000000000LL;
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

// The folder opened as a handle that keeps it where it is: others may read
// and write in it, but not remove or rename it while it is open.
HANDLE openFolderHandle(const QString &path)
{
    return ::CreateFileW(win::wide(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The lock between processes of a folder: a mutex named after the folder's
// full path (as the system resolves it, in lower case), in the machine's
// namespace, open to every user.
HANDLE folderMutex(HANDLE folder, const QString &path)
{
    wchar_t buffer[4096];
    const DWORD n = folder ? ::GetFinalPathNameByHandleW(folder, buffer, 4096, FILE_NAME_NORMALIZED) : 0;
    const QString full = n > 0 && n < 4096 ? win::fromWide(buffer, int(n)) : path;
    const QByteArray key = QCryptographicHash::hash(full.toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return win::namedMutex(QStringLiteral("qel-settings-folder-") + QString::fromLatin1(key));
}

// Owns `mutex`, tried every 20 ms while the event loop runs for at most
// `waitMs`. A lock whose holder ended without letting go is had at once.
bool lockInTurn(HANDLE mutex, int waitMs)
{
    for (int waited = 0; mutex; waited += 20) {
        const DWORD r = ::WaitForSingleObject(mutex, 0);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
            return true;
        if (waited >= waitMs)
            break;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return false;
}

void unlock(void *&mutex)
{
    if (mutex) {
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }
    mutex = nullptr;
}

bool isFileName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && name != QLatin1String(".")
        && name != QLatin1String("..");
}

} // namespace

Folder::~Folder()
{
    close();
}

Folder::Folder(Folder &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), lock_(std::exchange(other.lock_, nullptr)),
      path_(std::move(other.path_))
{
}

Folder &Folder::operator=(Folder &&other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        lock_ = std::exchange(other.lock_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

void Folder::close()
{
    unlock(lock_);
    if (handle_)
        ::CloseHandle(handle_);
    handle_ = nullptr;
}

bool Folder::isOpen() const
{
    return handle_ != nullptr;
}

bool Folder::open(const QString &path, bool create, QString &error)
{
    close();
    if (path.isEmpty()) {
        error = QStringLiteral("no folder name");
        return false;
    }
    QString clean = path;
    clean.replace(u'\\', u'/');
    while (clean.size() > 1 && clean.endsWith(u'/') && !clean.endsWith(QLatin1String(":/")))
        clean.chop(1);
    if (create) {
        // Each missing step made in turn, from the top down.
        QStringList missing;
        for (QString step = clean; !step.isEmpty();) {
            const DWORD a = ::GetFileAttributesW(win::wide(step).c_str());
            if (a != INVALID_FILE_ATTRIBUTES)
                break;
            missing.prepend(step);
            const qsizetype slash = step.lastIndexOf(u'/');
            if (slash <= 0 || step.left(slash).endsWith(u':'))
                break;
            step = step.left(slash);
        }
        for (const QString &step : std::as_const(missing)) {
            if (!::CreateDirectoryW(win::wide(step).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
                error = QStringLiteral("%1: %2").arg(step, win::lastErrorText());
                return false;
            }
        }
    }
    HANDLE h = openFolderHandle(clean);
    if (h == INVALID_HANDLE_VALUE) {
        error = QStringLiteral("%1: %2").arg(path, win::lastErrorText());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(h);
        error = QStringLiteral("%1: %2").arg(path, win::errorText(ERROR_DIRECTORY));
        return false;
    }
    handle_ = h;
    path_ = clean;
    return true;
}

bool Folder::open(const Folder &parent, const QString &name, bool create, QString &error)
{
    close();
    if (!isFileName(name)) {
        error = QStringLiteral("%1: not a folder name").arg(parent.filePath(name));
        return false;
    }
    const QString path = parent.filePath(name);
    const std::wstring native = win::wide(path);
    const DWORD a = ::GetFileAttributesW(native.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = QStringLiteral("%1: a link inside the folder; not followed").arg(path);
        return false;
    }
    if (create && !::CreateDirectoryW(native.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        error = QStringLiteral("%1: %2").arg(path, win::lastErrorText());
        return false;
    }
    return open(path, false, error);
}

QList<Folder::Entry> Folder::entries() const
{
    QList<Entry> out;
    if (!handle_)
        return out;
    WIN32_FIND_DATAW d;
    HANDLE find = ::FindFirstFileExW(win::wide(path_ + QStringLiteral("/*")).c_str(), FindExInfoBasic, &d,
                                     FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return out;
    do {
        if (d.cFileName[0] == L'.' || (d.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
            continue;
        const bool folder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        out << Entry{win::fromWide(d.cFileName), fromFileTime(d.ftLastWriteTime),
                     folder ? 0 : qint64(d.nFileSizeHigh) << 32 | d.nFileSizeLow, folder};
    } while (::FindNextFileW(find, &d));
    ::FindClose(find);
    std::sort(out.begin(), out.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    return out;
}

bool Folder::readFile(const QString &name, qint64 most, QByteArray &bytes, QString &error) const
{
    const auto refused = [&](const QString &why) {
        error = QStringLiteral("%1: %2").arg(filePath(name), why);
        return false;
    };
    if (!isFileName(name))
        return refused(QStringLiteral("not a file name"));
    win::Handle h(::CreateFileW(win::wide(filePath(name)).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.valid())
        return refused(win::lastErrorText());
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileType(h.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h.get(), &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return refused(QStringLiteral("not a regular file"));
    const qint64 size = qint64(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    bytes = QByteArray(qMin<qint64>(most, size), Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), bytes.data() + got, DWORD(bytes.size() - got), &n, nullptr) || n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return true;
}

bool Folder::touch(const QString &name, const QDateTime &when, QString &error) const
{
    win::Handle h(::CreateFileW(win::wide(filePath(name)).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const FILETIME t = toFileTime(when);
    if (h.valid() && ::SetFileTime(h.get(), nullptr, nullptr, &t))
        return true;
    error = QStringLiteral("%1: %2").arg(filePath(name), win::lastErrorText());
    return false;
}

bool Folder::lock(int waitMs) const
{
    if (!handle_)
        return false;
    if (lock_)
        return true;
    HANDLE m = folderMutex(handle_, path_);
    if (!lockInTurn(m, waitMs)) {
        if (m)
            ::CloseHandle(m);
        return false;
    }
    lock_ = m;
    return true;
}

FolderLock::~FolderLock()
{
    release();
}

void FolderLock::release()
{
    if (held_)
        ::ReleaseMutex(handle_);
    if (handle_)
        ::CloseHandle(handle_);
    handle_ = nullptr;
    held_ = false;
}

bool FolderLock::take(const QString &path, int waitMs)
{
    release();
    win::Handle folder(openFolderHandle(path));
    handle_ = folderMutex(folder.valid() ? folder.get() : nullptr, path);
    held_ = lockInTurn(handle_, waitMs);
    return held_;
}

} // namespace qel
