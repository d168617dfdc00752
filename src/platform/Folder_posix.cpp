#include "Folder.h"

#include "FileName.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qel {

namespace {

// Opens the folder `name` in `dirfd`; -1 with `why`. A symbolic link is
// followed unless it lies in a sticky folder everyone may write in and
// belongs neither to this user nor to that folder's owner. `readable`: a
// descriptor that lists and locks (else one that only leads on).
int openStep(int dirfd, const QByteArray &name, bool create, bool readable, QString &why)
{
    if (create && ::mkdirat(dirfd, name.constData(), 0777) != 0 && errno != EEXIST) {
        why = systemError(errno);
        return -1;
    }
    const int flags = O_DIRECTORY | O_CLOEXEC | (readable ? O_RDONLY : O_PATH);
    int fd = ::openat(dirfd, name.constData(), flags | O_NOFOLLOW);
    if (fd < 0 && errno == EACCES && readable) // a folder one may write in but not list
        fd = ::openat(dirfd, name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0)
        return fd;
    const int err = errno;
    struct stat link, dir;
    if (::fstatat(dirfd, name.constData(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode)) {
        why = systemError(err);
        return -1;
    }
    const bool shared = ::fstat(dirfd, &dir) == 0 && (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    if (shared && link.st_uid != ::geteuid() && link.st_uid != dir.st_uid) {
        why = QStringLiteral("a symbolic link that another user (uid %1) put in a folder everyone may "
                             "write in; not followed")
                  .arg(link.st_uid);
        return -1;
    }
    fd = ::openat(dirfd, name.constData(), flags);
    if (fd < 0)
        why = systemError(errno);
    return fd;
}

// Takes an exclusive flock on `fd`, tried every 20 ms while the event loop
// runs for at most `waitMs`.
bool lockInTurn(int fd, int waitMs)
{
    for (int waited = 0; fd >= 0; waited += 20) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (waited >= waitMs)
            break;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return false;
}

} // namespace

Folder::~Folder()
{
    close();
}

Folder::Folder(Folder &&other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_))
{
}

Folder &Folder::operator=(Folder &&other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

void Folder::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool Folder::open(const QString &path, bool create, QString &error)
{
    close();
    const QByteArray bytes = fileNameBytes(path);
    if (bytes.isEmpty()) {
        error = QStringLiteral("no folder name");
        return false;
    }
    int at = ::open(bytes.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) {
        error = QStringLiteral("%1: %2").arg(path, systemError(errno));
        return false;
    }
    QList<QByteArray> steps = bytes.split('/');
    steps.removeAll(QByteArray());
    steps.removeAll(QByteArrayLiteral("."));
    steps.append(QByteArrayLiteral(".")); // the last step reopens the folder readable
    QByteArray walked = bytes.startsWith('/') ? QByteArrayLiteral("/") : QByteArray();
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const bool last = i + 1 == steps.size();
        QString why;
        const int next = openStep(at, steps[i], create && !last, last, why);
        if (!last)
            walked += (walked.isEmpty() || walked.endsWith('/') ? "" : "/") + steps[i];
        ::close(at);
        if (next < 0) {
            error = QStringLiteral("%1: %2").arg(decodeFileName(walked.isEmpty() ? bytes : walked), why);
            return false;
        }
        at = next;
    }
    fd_ = at;
    path_ = path;
    while (path_.size() > 1 && path_.endsWith(u'/'))
        path_.chop(1);
    return true;
}

bool Folder::open(const Folder &parent, const QString &name, bool create, QString &error)
{
    close();
    const QByteArray bytes = fileNameBytes(name);
    QString why;
    const int fd = bytes.isEmpty() || bytes.contains('/') || bytes == "." || bytes == ".."
        ? (why = QStringLiteral("not a folder name"), -1)
        : openStep(parent.fd_, bytes, create, true, why);
    if (fd < 0) {
        error = QStringLiteral("%1: %2").arg(parent.filePath(name), why);
        return false;
    }
    fd_ = fd;
    path_ = parent.filePath(name);
    return true;
}

QList<Folder::Entry> Folder::entries() const
{
    QList<Entry> out;
    const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return out;
    }
    while (const dirent *d = ::readdir(dir)) {
        if (d->d_name[0] == '.')
            continue;
        struct stat st;
        if (::fstatat(fd_, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0
            || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
            continue;
        out << Entry{decodeFileName(QByteArray(d->d_name)),
                     QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000
                                                    + st.st_mtim.tv_nsec / 1000000),
                     qint64(st.st_size), S_ISDIR(st.st_mode)};
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    return out;
}

bool Folder::readFile(const QString &name, qint64 most, QByteArray &bytes, QString &error) const
{
    const int fd = ::openat(fd_, fileNameBytes(name).constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = QStringLiteral("%1: %2").arg(filePath(name),
                                             fd < 0 ? systemError(errno) : QStringLiteral("not a regular file"));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bytes = QByteArray(qMin<qint64>(most, st.st_size), Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    return true;
}

bool Folder::touch(const QString &name, const QDateTime &when, QString &error) const
{
    const qint64 ms = when.toMSecsSinceEpoch();
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long(ms % 1000) * 1000000L}};
    if (::utimensat(fd_, fileNameBytes(name).constData(), times, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    error = QStringLiteral("%1: %2").arg(filePath(name), systemError(errno));
    return false;
}

bool Folder::isOpen() const
{
    return fd_ >= 0;
}

bool Folder::lock(int waitMs) const
{
    return lockInTurn(fd_, waitMs);
}

FolderLock::~FolderLock()
{
    release();
}

void FolderLock::release()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the descriptor releases the flock
    fd_ = -1;
    held_ = false;
}

bool FolderLock::take(const QString &path, int waitMs)
{
    release();
    fd_ = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    held_ = lockInTurn(fd_, waitMs);
    return held_;
}

} // namespace qel
