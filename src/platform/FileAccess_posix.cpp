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

} // namespace qel
