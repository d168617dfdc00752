// A file is whole on the disk before it takes the target's name: the safe
// writer flushes the new file (fsync) and only then renames it into place,
// so a power cut leaves the old file or the new one, never an empty one.
// The test watches the process's fsync and rename calls (defined here, they
// stand in for the C library's and pass each call on to the kernel).
#include "platform/Folder.h"
#include "platform/SafeWrite.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct Call {
    QByteArray what; // "fsync", "rename"
    QByteArray path; // the file flushed, or the one renamed
    QByteArray to;   // the new name
};
QList<Call> *watched = nullptr; // recorded while a test watches
int failFsyncWith = 0;          // an errno every fsync of a file fails with

QByteArray fdPath(int fd)
{
    char buf[4096];
    const ssize_t n = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), buf,
                                 sizeof buf);
    return n > 0 ? QByteArray(buf, int(n)) : QByteArray();
}

QByteArray atPath(int dirFd, const char *name)
{
    if (name[0] == '/')
        return name;
    return (dirFd == AT_FDCWD ? QDir::currentPath().toUtf8() : fdPath(dirFd)) + '/' + name;
}

int renamed(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    if (watched)
        watched->append({"rename", atPath(fromDir, from), atPath(toDir, to)});
    return int(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

} // namespace

extern "C" int fsync(int fd)
{
    const QByteArray path = fdPath(fd);
    if (watched)
        watched->append({"fsync", path, {}});
    if (failFsyncWith && QFileInfo(QString::fromUtf8(path)).isFile()) {
        errno = failFsyncWith;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char *from, const char *to)
{
    return renamed(AT_FDCWD, from, AT_FDCWD, to, 0);
}

extern "C" int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    return renamed(fromDir, from, toDir, to, 0);
}

extern "C" int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    return renamed(fromDir, from, toDir, to, flags);
}

using namespace qel;

class SafeWriteTest : public QObject {
    Q_OBJECT
private slots:
    void flushedBeforeRenamed_data()
    {
        QTest::addColumn<int>("form"); // 0: by path, 1: in a folder replacing, 2: in a folder under a new name
        QTest::addColumn<int>("fsyncError");
        QTest::newRow("by path") << 0 << 0;
        QTest::newRow("folder, replace") << 1 << 0;
        QTest::newRow("folder, new name") << 2 << 0;
        QTest::newRow("by path, the flush fails") << 0 << EIO;
        QTest::newRow("folder, the flush fails") << 1 << EIO;
    }

    void flushedBeforeRenamed()
    {
        QFETCH(int, form);
        QFETCH(int, fsyncError);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("a.pdt"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();

        Folder folder;
        QString error, path;
        QVERIFY2(folder.open(dir.path(), false, error), qPrintable(error));
        QList<Call> calls;
        watched = &calls;
        failFsyncWith = fsyncError;
        const QByteArray bytes(74, 'x');
        bool ok = false;
        if (form == 0)
            ok = writeFileWhole(target, bytes, error);
        else
            ok = writeFileIn(folder, QStringLiteral("a.pdt"),
                             form == 1 ? SafeWrite::Placing::Replace : SafeWrite::Placing::NewName, bytes,
                             path, error);
        watched = nullptr;
        failFsyncWith = 0;

        QDir d(dir.path());
        d.setFilter(QDir::Files | QDir::Hidden);
        if (fsyncError) {
            // A file the disk did not take whole is not put in place.
            QVERIFY(!ok);
            QVERIFY2(error.contains(QString::fromLocal8Bit(strerror(fsyncError))), qPrintable(error));
            QCOMPARE(d.entryList(), QStringList{QStringLiteral("a.pdt")});
            QFile f(target);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("old"));
            for (const Call &c : calls)
                QVERIFY2(c.what != "rename", c.path.constData());
            return;
        }
        QVERIFY2(ok, qPrintable(error));

        // The new file's own flush comes before any rename of it (a name
        // taken already is tried again under the next one).
        const auto placed = std::find_if(calls.rbegin(), calls.rend(), [](const Call &c) {
            return c.what == "rename";
        });
        QVERIFY(placed != calls.rend());
        QVERIFY(placed->to.endsWith(form == 2 ? "/a-2.pdt" : "/a.pdt"));
        bool flushed = false;
        int renames = 0;
        for (const Call &c : calls) {
            if (c.what == "rename")
                ++renames;
            else if (renames == 0 && c.path == placed->path)
                flushed = true;
        }
        QCOMPARE(renames, form == 2 ? 2 : 1);
        QVERIFY2(flushed, "the new file is not flushed before it is renamed into place");
    }
};

QTEST_APPLESS_MAIN(SafeWriteTest)
#include "test_safewrite.moc"
