#include "StreamOutput.h"

#include "FileName.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel {

StreamOutput::~StreamOutput()
{
    if (own_ && fd_ >= 0)
        ::close(fd_);
}

bool StreamOutput::isOpen() const
{
    return fd_ >= 0;
}

bool StreamOutput::isStream(const QString &path)
{
    if (path == QLatin1String("-"))
        return true;
    struct stat st;
    return ::stat(fileNameBytes(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool StreamOutput::fail(const QString &why)
{
    error_ = why;
    return false;
}

bool StreamOutput::open(const QString &path)
{
    error_.clear();
    const QByteArray name = fileNameBytes(path);
    struct stat target, out;
    // Standard output under any of its names (/dev/stdout, /proc/self/fd/1):
    // a socket cannot be opened anew, and a pipe is the same pipe.
    if (path == QLatin1String("-")
        || (::stat(name.constData(), &target) == 0 && ::fstat(STDOUT_FILENO, &out) == 0
            && target.st_dev == out.st_dev && target.st_ino == out.st_ino)) {
        fd_ = STDOUT_FILENO;
        own_ = false;
        return true;
    }
    // Not blocking: a FIFO that nobody reads is refused at once (ENXIO)
    // instead of waiting for a reader; writes then wait in write().
    fd_ = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        const int e = errno;
        return fail(e == ENXIO ? QStringLiteral("no program reads from this pipe (start the reader first)")
                               : systemError(e));
    }
    own_ = true;
    return true;
}

bool StreamOutput::write(const QByteArray &bytes)
{
    if (fd_ < 0)
        return fail(error_.isEmpty() ? QStringLiteral("not open") : error_);
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        // Waits for room (a pipe that takes PIPE_BUF bytes does not block),
        // or for the stop signal.
        struct pollfd fds[2] = {{fd_, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
        const int n = ::poll(fds, stopFd_ >= 0 ? 2 : 1, waitMs_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(systemError(errno));
        if (n == 0)
            return fail(QStringLiteral("the reader took nothing for %1 s").arg(waitMs_ / 1000.0));
        if (fds[0].revents & (POLLERR | POLLHUP)) {
            readerGone_ = true;
            return fail(systemError(EPIPE));
        }
        // After the stop, what still has room goes out; a full pipe is left.
        if (!(fds[0].revents & POLLOUT))
            return fail(QStringLiteral("stopped by a signal while the reader took nothing"));
        const ssize_t w = ::write(fd_, data, size_t(qMin<qint64>(left, PIPE_BUF)));
        if (w < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (w < 0) {
            readerGone_ = errno == EPIPE;
            return fail(systemError(errno));
        }
        if (w == 0)
            return fail(systemError(EIO));
        data += w;
        left -= w;
    }
    return true;
}

} // namespace qel
