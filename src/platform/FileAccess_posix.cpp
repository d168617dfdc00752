#include "FileAccess.h"

#include "FileName.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel {

FileState fileState(const QString &path)
{
    // By the name's own bytes: a name that is not UTF-8 is found too.
    struct stat st;
    if (::stat(fileNameBytes(path).constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return {FileState::Unknown, 0, systemError(errno)};
    }
    if (S_ISDIR(st.st_mode))
        return {FileState::Folder, 0, {}};
    if (!S_ISREG(st.st_mode))
        return {FileState::Other, 0, {}};
    return {FileState::Regular, qint64(st.st_size), {}};
}

bool readUpTo(const QString &path, qint64 most, QByteArray &bytes, QString &error)
{
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = systemError(errno);
        return false;
    }
    bytes.clear();
    char buf[65536];
    while (bytes.size() < most) {
        const ssize_t n = ::read(fd, buf, size_t(qMin<qint64>(sizeof buf, most - bytes.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = systemError(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        bytes.append(buf, n);
    }
    ::close(fd);
    return true;
}

ReadOnlyFile::~ReadOnlyFile()
{
    close();
}

void ReadOnlyFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool ReadOnlyFile::open(const QString &path, QString &error)
{
    close();
    fd_ = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st;
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        close();
        errno = EINVAL;
        error = QStringLiteral("not a regular file");
        return false;
    }
    if (fd_ < 0) {
        error = systemError(errno);
        return false;
    }
    return true;
}

bool ReadOnlyFile::isOpen() const
{
    return fd_ >= 0;
}

qint64 ReadOnlyFile::readAt(qint64 offset, char *data, qint64 size, QString &error) const
{
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd_, data + got, size_t(size - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = systemError(errno);
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

bool ReadOnlyFile::nextData(qint64 offset, qint64 &data, qint64 &hole) const
{
    const off_t d = ::lseek(fd_, offset, SEEK_DATA);
    if (d < 0 && errno == ENXIO) {
        data = -1; // the rest is a hole
        return true;
    }
    if (d < 0)
        return false; // the file system cannot tell
    data = d;
    const off_t h = ::lseek(fd_, d, SEEK_HOLE);
    hole = h < 0 ? -1 : h;
    return true;
}

AppendFile::~AppendFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool AppendFile::open(const QString &path, QString &error)
{
    fd_ = ::open(fileNameBytes(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0)
        error = systemError(errno);
    return fd_ >= 0;
}

bool AppendFile::isOpen() const
{
    return fd_ >= 0;
}

bool AppendFile::append(const QByteArray &bytes, QString &error)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = systemError(n < 0 ? errno : EIO);
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace qel
