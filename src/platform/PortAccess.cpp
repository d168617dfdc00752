#include "PortAccess.h"

#include <QCoreApplication>

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qel {

namespace {

bool looksLikeUsb(const QString &path)
{
    return path.contains(QLatin1String("ttyUSB")) || path.contains(QLatin1String("ttyACM"))
        || path.contains(QLatin1String("/dev/serial/"));
}

QString groupName(gid_t gid)
{
    char buf[4096];
    struct group g;
    struct group *found = nullptr;
    if (getgrgid_r(gid, &g, buf, sizeof buf, &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
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
        if (w.size() >= 6 && w[1] == "FLOCK" && w[5] == want)
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

// "PATH: cause", the cause in English (`ja` false) or in the program's
// language through the translation of its Japanese text.
QString describe(const PortProblem &p, bool ja)
{
    const auto pick = [ja](const char *en, const char *jaText) {
        return ja ? QCoreApplication::translate("qel::PortProblem", jaText) : QString::fromUtf8(en);
    };
    QString cause;
    switch (p.cause) {
    case PortProblem::None:
        return {};
    case PortProblem::Missing:
        cause = looksLikeUsb(p.path)
            ? pick("no such device (is the adapter plugged in?)",
                   QT_TRANSLATE_NOOP("qel::PortProblem", "デバイスがありません（USBアダプタが接続されているか確認してください）"))
            : pick("no such device", QT_TRANSLATE_NOOP("qel::PortProblem", "デバイスがありません"));
        break;
    case PortProblem::Permission:
        cause = pick("permission denied: the device belongs to group %1; add yourself "
                     "with 'sudo usermod -aG %1 $USER', then log in again",
                     QT_TRANSLATE_NOOP("qel::PortProblem",
                                       "アクセス権がありません（グループ %1 に追加してください: "
                                       "sudo usermod -aG %1 $USER の後、ログインし直す）"))
                    .arg(p.group);
        break;
    case PortProblem::Busy:
        cause = p.pid > 0
            ? pick("in use by another program (process %1)",
                   QT_TRANSLATE_NOOP("qel::PortProblem", "他のプログラムが使用中です（プロセス %1）"))
                  .arg(p.pid)
            : pick("in use by another program", QT_TRANSLATE_NOOP("qel::PortProblem", "他のプログラムが使用中です"));
        break;
    case PortProblem::NotSerial:
        cause = pick("not a serial device", QT_TRANSLATE_NOOP("qel::PortProblem", "シリアルデバイスではありません"));
        break;
    case PortProblem::Other:
        cause = p.detail;
        break;
    case PortProblem::Lost:
        // The line went away under an open port (a pulled adapter, a hung-up line).
        cause = pick("the line went away (%1)", QT_TRANSLATE_NOOP("qel::PortProblem", "回線が切れました（%1）"))
                    .arg(p.detail);
        break;
    }
    return QStringLiteral("%1: %2").arg(p.path, cause);
}

} // namespace

QString PortProblem::text() const
{
    return describe(*this, false);
}

QString PortProblem::textJa() const
{
    return describe(*this, true);
}

qint64 devicePortHolder(const QString &resolvedPath)
{
    struct stat st;
    const QByteArray native = QFile::encodeName(resolvedPath);
    if (::stat(native.constData(), &st) == 0) {
        if (const qint64 pid = flockHolder(st))
            return pid;
    }
    // UUCP-style lock files: LCK..ttyUSB0 (a path below /dev with '/' as '_').
    QString name = resolvedPath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/run/lock", "/var/lock", "/var/spool/locks", "/var/spool/uucp", "/tmp"}) {
        QFile f(QStringLiteral("%1/LCK..%2").arg(QLatin1String(dir), name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        // The process id in ASCII first (also how Qt's own lock files begin).
        bool ok = false;
        const qint64 pid = f.read(64).simplified().split(' ').value(0).toLongLong(&ok);
        if (ok && processAlive(pid))
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
            p.detail = QString::fromLocal8Bit(std::strerror(e));
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
            p.detail = QString::fromLocal8Bit(std::strerror(e));
        }
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
