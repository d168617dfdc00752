#include "PortAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <locale.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qel {

namespace {

QString groupName(gid_t gid)
{
    char buf[4096];
    struct group g;
    struct group *found = nullptr;
    if (getgrgid_r(gid, &g, buf, sizeof buf, &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

QString userName(uid_t uid)
{
    char buf[4096];
    struct passwd pw;
    struct passwd *found = nullptr;
    if (getpwuid_r(uid, &pw, buf, sizeof buf, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The system's text for an error, in English whatever the locale (the
// tool's lines are English; a window shows them under its message too).
QString systemText(int err)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return QString::fromLocal8Bit(c ? strerror_l(err, c) : std::strerror(err));
}

// The UUCP lock files other programs may hold for the device:
// LCK..NAME, NAME the path below /dev with '/' as '_', in every lock
// folder in use (the same folder once, whatever its names).
QStringList lockFiles(const QString &resolvedPath)
{
    QString name = resolvedPath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QStringList files, folders;
    for (const char *dir : {"/run/lock", "/var/lock", "/var/lock/lockdev", "/var/spool/locks",
                            "/var/spool/uucp", "/etc/locks", "/tmp", "/var/tmp"}) {
        const QString folder = QFileInfo(QLatin1String(dir)).canonicalFilePath();
        if (folder.isEmpty() || folders.contains(folder))
            continue;
        folders << folder;
        const QString file = QStringLiteral("%1/LCK..%2").arg(folder, name);
        if (QFileInfo::exists(file))
            files << file;
    }
    return files;
}

// The process a lock file names: its id in ASCII first (as UUCP's "%10d\n"
// and Qt's own lock files begin), or an old binary one of four bytes. 0 when
// it names none (empty, unreadable, no number).
qint64 lockFileHolder(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = f.read(64);
    bool ok = false;
    const qint64 pid = head.simplified().split(' ').value(0).toLongLong(&ok);
    if (ok && pid > 0)
        return pid;
    if (head.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, head.constData(), 4);
        return binary > 0 ? binary : 0;
    }
    return 0;
}

// Whether another program's lock file stands in the way of the device:
// refused (with its holder, or its file when the holder is not known) for a
// live holder or a lock that names none; a stale lock (its process gone) is
// removed. True when the way is free.
bool othersLockFilesAllow(const QString &resolvedPath, PortProblem &p)
{
    for (const QString &file : lockFiles(resolvedPath)) {
        const qint64 pid = lockFileHolder(file);
        if (pid == ::getpid())
            continue;
        if (pid > 0 && !processAlive(pid)) {
            QFile::remove(file); // stale; if it cannot go, QSerialPort says so
            continue;
        }
        p.cause = PortProblem::Busy;
        p.pid = pid;
        if (pid == 0)
            p.lockFile = file;
        return false;
    }
    return true;
}

// The holder of a flock on the inode, from /proc/locks
// ("1: FLOCK  ADVISORY  WRITE 1234 00:19:7 0 EOF").
qint64 flockHolder(const struct stat &st)
{
    QFile f(QStringLiteral("/proc/locks"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray want = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':'
        + QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':'
        + QByteArray::number(qulonglong(st.st_ino));
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> w = line.simplified().split(' ');
        if (w.size() >= 6 && w[1] == "FLOCK" && w[5] == want && w[4].toLongLong() != ::getpid())
            return w[4].toLongLong();
    }
    return 0;
}

// Registry of this process's holds: one descriptor and lock a device.
struct Held {
    int fd = -1;
    int count = 0;
};
QHash<QString, Held> &holds()
{
    static QHash<QString, Held> h;
    return h;
}

} // namespace

qint64 devicePortHolder(const QString &resolvedPath)
{
    struct stat st;
    const QByteArray native = QFile::encodeName(resolvedPath);
    if (::stat(native.constData(), &st) == 0) {
        if (const qint64 pid = flockHolder(st))
            return pid;
    }
    for (const QString &file : lockFiles(resolvedPath)) {
        const qint64 pid = lockFileHolder(file);
        if (pid != ::getpid() && processAlive(pid))
            return pid;
    }
    return 0;
}

PortProblem DeviceHold::acquire(const QString &path)
{
    release();
    PortProblem p;
    p.path = path;
    const auto refused = [&p](PortProblem::Cause cause) {
        p.cause = cause;
        return p;
    };
    const QFileInfo info(path);
    const QString device = info.canonicalFilePath();
    const QByteArray native = QFile::encodeName(device);
    struct stat st;
    // A dangling link counts as missing too.
    if (!info.exists() || ::stat(native.constData(), &st) != 0)
        return refused(PortProblem::Missing);
    if (!S_ISCHR(st.st_mode))
        return refused(PortProblem::NotSerial);

    Held &mine = holds()[device];
    if (mine.count > 0) {
        ++mine.count;
        device_ = device;
        return {};
    }
    holds().remove(device);

    const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        switch (e) {
        case EACCES:
        case EPERM:
            p.cause = PortProblem::Permission;
            p.owner = userName(st.st_uid);
            p.mode = st.st_mode & 07777;
            // A group is named only where joining it lets the user in.
            if (st.st_gid != 0 && (st.st_mode & 060) == 060)
                p.group = groupName(st.st_gid);
            break;
        case EBUSY: // another program set the line exclusive
            p.cause = PortProblem::Busy;
            p.pid = devicePortHolder(device);
            break;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            p.cause = PortProblem::Missing;
            break;
        default:
            p.cause = PortProblem::Other;
            p.detail = systemText(e);
            break;
        }
        return p;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return refused(PortProblem::NotSerial);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) {
            p.cause = PortProblem::Busy;
            p.pid = devicePortHolder(device);
        } else {
            p.cause = PortProblem::Other;
            p.detail = systemText(e);
        }
        return p;
    }
    if (!othersLockFilesAllow(device, p)) {
        ::close(fd);
        return p;
    }
    holds().insert(device, Held{fd, 1});
    device_ = device;
    return {};
}

void DeviceHold::release()
{
    if (device_.isEmpty())
        return;
    auto it = holds().find(device_);
    if (it != holds().end() && --it->count <= 0) {
        ::close(it->fd); // closing the descriptor releases the flock
        holds().erase(it);
    }
    device_.clear();
}

} // namespace qel
