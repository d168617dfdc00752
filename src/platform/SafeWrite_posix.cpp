#include "SafeWrite.h"

#include "FileName.h"
#include "Folder.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool SafeWrite::failSystem()
{
    return fail(systemError(errno));
}

bool SafeWrite::isOpen() const
{
    return fd_ >= 0;
}

bool SafeWrite::open()
{
    if (fd_ >= 0 || failed_)
        return fail(QStringLiteral("already open"));
    if (path_.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (folder_) {
        const QByteArray name = fileNameBytes(name_);
        if (name.isEmpty() || name.contains('/'))
            return fail(QStringLiteral("not a file name"));
        return createTemp("." + name + '.');
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
            return errno == ENXIO ? fail(QStringLiteral("no program reads from this pipe")) : failSystem();
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return failSystem();
        direct_ = true;
        return true;
    }
    // A file the user may not write is not replaced behind its back.
    if (exists && ::access(target_.constData(), W_OK) != 0)
        return failSystem();

    const QByteArray base = target_.mid(target_.lastIndexOf('/') + 1);
    if (!createTemp(dirOf(target_) + "/." + base + '.'))
        return false;
    // The new file keeps the old one's permissions.
    if (exists && ::fchmod(fd_, st.st_mode & 07777) != 0)
        return failSystem();
    return true;
}

bool SafeWrite::createTemp(const QByteArray &prefix)
{
    const int dirFd = folder_ ? folder_->fd_ : AT_FDCWD;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd_ = ::openat(dirFd, temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return failSystem();
    }
    return true;
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
        const ssize_t w = ::pwrite(fd_, data + done, size_t(size - done), off_t(at + done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return w < 0 ? failSystem() : fail(systemError(EIO));
        done += w;
    }
    return true;
}

bool SafeWrite::endAt(qint64 size)
{
    if (::ftruncate(fd_, size) != 0 || ::lseek(fd_, size, SEEK_SET) < 0)
        return failSystem();
    return true;
}

bool SafeWrite::commit()
{
    if (fd_ < 0 && !failed_)
        return fail(QStringLiteral("not open"));
    if (!failed_ && !direct_ && ::fsync(fd_) != 0)
        failSystem();
    if (fd_ >= 0 && ::close(fd_) != 0)
        failSystem();
    fd_ = -1;
    if (failed_) {
        cancel();
        return false;
    }
    if (direct_)
        return true;
    if (folder_)
        return placeInFolder();
    if (::rename(temp_.constData(), target_.constData()) != 0) {
        failSystem();
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
    const int folderFd = folder_->fd_;
    const QByteArray name = fileNameBytes(name_);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? name.left(dot) : name;
    const QByteArray ext = dot > 0 ? name.mid(dot) : QByteArray();
    for (int n = 1; n <= 10000; ++n) {
        const QByteArray target = n == 1 ? name : stem + '-' + QByteArray::number(n) + ext;
        int r;
        if (placing_ == Placing::Replace) {
            r = ::renameat(folderFd, temp_.constData(), folderFd, target.constData());
        } else {
            r = ::renameat2(folderFd, temp_.constData(), folderFd, target.constData(), RENAME_NOREPLACE);
            // A file system without the no-replace rename: a hard link is
            // refused just the same by any entry under the name.
            if (r != 0 && (errno == EINVAL || errno == ENOSYS)) {
                r = ::linkat(folderFd, temp_.constData(), folderFd, target.constData(), 0);
                if (r == 0)
                    ::unlinkat(folderFd, temp_.constData(), 0);
            }
        }
        if (r == 0) {
            temp_.clear();
            path_ = folder_->filePath(decodeFileName(target));
            ::fsync(folderFd); // the new name on the disk, where the folder allows it
            return true;
        }
        if (placing_ == Placing::Replace || errno != EEXIST)
            break;
    }
    failSystem();
    cancel();
    return false;
}

void SafeWrite::cancel()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        ::unlinkat(folder_ ? folder_->fd_ : AT_FDCWD, temp_.constData(), 0);
    temp_.clear();
}

} // namespace qel
