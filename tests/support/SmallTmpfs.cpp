#include "SmallTmpfs.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace qel::test {

SmallTmpfs::SmallTmpfs(int kib)
{
    if (!dir_.isValid())
        return;
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                       options.constData())
               == 0;
}

SmallTmpfs::~SmallTmpfs()
{
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

bool SmallTmpfs::fill()
{
    const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'f');
    ssize_t n;
    while ((n = ::write(fd, block.constData(), size_t(block.size()))) > 0) {
    }
    const bool full = n < 0 && errno == ENOSPC;
    // Then byte by byte into the last partial page.
    while (full && ::write(fd, "f", 1) == 1) {
    }
    ::close(fd);
    return full;
}

} // namespace qel::test
