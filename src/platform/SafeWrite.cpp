#include "SafeWrite.h"

#include "FileName.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qel {

namespace {

QByteArray dirOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The file a path names once its symbolic links are followed; the path
// itself when it is no link or the chain does not end.
QByteArray followLinks(const QByteArray &path)
{
    QByteArray p = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(p.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(p.constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size())
            return path;
        target.truncate(n);
        p = target.startsWith('/') ? target : dirOf(p) + '/' + target;
    }
    return path;
}

} // namespace

SafeWrite::SafeWrite(const QString &path) : path_(path) {}

SafeWrite::SafeWrite(int folderFd, const QString &folderPath, const QString &name, Placing placing)
    : path_(folderPath + u'/' + name), folderFd_(folderFd), placing_(placing),
      folderPath_(folderPath), name_(name)
{
}

SafeWrite::~SafeWrite()
{
    cancel();
}

bool SafeWrite::fail(const QString &why)
{
    if (!failed_)
        error_ = why;
    failed_ = true;
    return false;
}

bool SafeWrite::failErrno()
{
    return fail(systemError(errno));
}

bool SafeWrite::open()
{
    if (fd_ >= 0 || failed_)
        return fail(QStringLiteral("already open"));
    if (path_.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (folderFd_ >= 0) {
        const QByteArray name = fileNameBytes(name_);
        if (name.isEmpty() || name.contains('/'))
            return fail(QStringLiteral("not a file name"));
        return createTemp(folderFd_, "." + name + '.');
    }
    target_ = followLinks(fileNameBytes(path_));

    struct stat st;
    const bool exists = ::stat(target_.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return fail(systemError(EISDIR));
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe: nothing to rename over, the bytes go straight
        // in. Opened without blocking, so that a FIFO nobody reads is refused
        // at once instead of waiting for a reader; then written blocking.
        fd_ = ::open(target_.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return errno == ENXIO ? fail(QStringLiteral("no program reads from this pipe")) : failErrno();
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return failErrno();
        direct_ = true;
        return true;
    }
    // A file the user may not write is not replaced behind its back.
    if (exists && ::access(target_.constData(), W_OK) != 0)
        return failErrno();

    const QByteArray base = target_.mid(target_.lastIndexOf('/') + 1);
    if (!createTemp(AT_FDCWD, dirOf(target_) + "/." + base + '.'))
        return false;
    // The new file keeps the old one's permissions.
    if (exists && ::fchmod(fd_, st.st_mode & 07777) != 0)
        return failErrno();
    return true;
}

bool SafeWrite::createTemp(int dirFd, const QByteArray &prefix)
{
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd_ = ::openat(dirFd, temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return failErrno();
    }
    return true;
}

bool SafeWrite::write(const QByteArray &bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool SafeWrite::write(const char *data, qint64 size)
{
    if (failed_)
        return false;
    if (fd_ < 0)
        return fail(QStringLiteral("not open"));
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failErrno();
        if (n == 0)
            return fail(systemError(EIO));
        data += n;
        size -= n;
        size_ += n;
    }
    return true;
}

bool SafeWrite::copyFrom(int fromFd, qint64 offset, qint64 length)
{
    if (failed_)
        return false;
    if (fd_ < 0)
        return fail(QStringLiteral("not open"));
    std::vector<char> buf(256 * 1024);
    const qint64 end = offset + length;
    const qint64 base = size_ - offset; // where a source offset lands in this file

    // Copies [from, to) of the source to the same place here.
    const auto copy = [&](qint64 from, qint64 to) {
        while (from < to) {
            const ssize_t n = ::pread(fromFd, buf.data(), size_t(qMin<qint64>(to - from, qint64(buf.size()))), from);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return failErrno();
            if (n == 0)
                return fail(QStringLiteral("the file became shorter while it was read"));
            if (direct_) {
                if (!write(buf.data(), n))
                    return false;
            } else {
                for (ssize_t done = 0; done < n;) {
                    const ssize_t w = ::pwrite(fd_, buf.data() + done, size_t(n - done), base + from + done);
                    if (w < 0 && errno == EINTR)
                        continue;
                    if (w <= 0)
                        return w < 0 ? failErrno() : fail(systemError(EIO));
                    done += w;
                }
            }
            from += n;
        }
        return true;
    };

    if (direct_) // a stream: every byte in order
        return copy(offset, end);

    bool sparse = true;
    for (qint64 pos = offset; pos < end;) {
        qint64 data = pos, hole = end;
        if (sparse) {
            const off_t d = ::lseek(fromFd, pos, SEEK_DATA);
            if (d < 0 && errno == ENXIO) {
                break; // the rest is a hole
            } else if (d < 0) {
                sparse = false; // the file system cannot tell: copy it all
            } else {
                data = d;
                const off_t h = ::lseek(fromFd, data, SEEK_HOLE);
                hole = h < 0 ? end : qMin<qint64>(h, end);
            }
        }
        if (data >= end)
            break;
        if (!copy(data, hole))
            return false;
        pos = hole;
    }
    // Holes up to the end, and appending goes on after the copied range.
    if (::ftruncate(fd_, base + end) != 0 || ::lseek(fd_, base + end, SEEK_SET) < 0)
        return failErrno();
    size_ = base + end;
    return true;
}

bool SafeWrite::commit()
{
    if (fd_ < 0 && !failed_)
        return fail(QStringLiteral("not open"));
    if (!failed_ && !direct_ && ::fsync(fd_) != 0)
        failErrno();
    if (fd_ >= 0 && ::close(fd_) != 0)
        failErrno();
    fd_ = -1;
    if (failed_) {
        cancel();
        return false;
    }
    if (direct_)
        return true;
    if (folderFd_ >= 0)
        return placeInFolder();
    if (::rename(temp_.constData(), target_.constData()) != 0) {
        failErrno();
        cancel();
        return false;
    }
    temp_.clear();
    // The rename itself on the disk (where the file system allows it).
    const int dfd = ::open(dirOf(target_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool SafeWrite::placeInFolder()
{
    const QByteArray name = fileNameBytes(name_);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? name.left(dot) : name;
    const QByteArray ext = dot > 0 ? name.mid(dot) : QByteArray();
    for (int n = 1; n <= 10000; ++n) {
        const QByteArray target = n == 1 ? name : stem + '-' + QByteArray::number(n) + ext;
        int r;
        if (placing_ == Placing::Replace) {
            r = ::renameat(folderFd_, temp_.constData(), folderFd_, target.constData());
        } else {
            r = ::renameat2(folderFd_, temp_.constData(), folderFd_, target.constData(), RENAME_NOREPLACE);
            // A file system without the no-replace rename: a hard link is
            // refused just the same by any entry under the name.
            if (r != 0 && (errno == EINVAL || errno == ENOSYS)) {
                r = ::linkat(folderFd_, temp_.constData(), folderFd_, target.constData(), 0);
                if (r == 0)
                    ::unlinkat(folderFd_, temp_.constData(), 0);
            }
        }
        if (r == 0) {
            temp_.clear();
            path_ = folderPath_ + u'/' + decodeFileName(target);
            ::fsync(folderFd_); // the new name on the disk, where the folder allows it
            return true;
        }
        if (placing_ == Placing::Replace || errno != EEXIST)
            break;
    }
    failErrno();
    cancel();
    return false;
}

void SafeWrite::cancel()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        ::unlinkat(folderFd_ >= 0 ? folderFd_ : AT_FDCWD, temp_.constData(), 0);
    temp_.clear();
}

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString &error)
{
    SafeWrite f(path);
    if (f.open() && f.write(bytes) && f.commit())
        return true;
    error = f.errorString();
    return false;
}

bool writeFileIn(int folderFd, const QString &folderPath, const QString &name,
                 SafeWrite::Placing placing, const QByteArray &bytes, QString &path, QString &error)
{
    SafeWrite f(folderFd, folderPath, name, placing);
    if (f.open() && f.write(bytes) && f.commit()) {
        path = f.path();
        return true;
    }
    error = QStringLiteral("%1: %2").arg(f.path(), f.errorString());
    return false;
}

} // namespace qel
