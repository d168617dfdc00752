// Files qelctl writes, on targets that fight back: a full file system, a
// device that is always full, a huge sparse file. A file is written whole or
// not at all: on any fault the old file stays byte for byte, the message
// names the file and the reason, and the exit code is 3.
#include "QelctlRun.h"
#include "SimPty.h"
#include "SmallTmpfs.h"
#include "core/ParamRecord.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using qel::test::QelctlRun;
using qel::test::SimPty;
using qel::test::SmallTmpfs;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}


// A folder's names as bytes (QDir skips names that are not UTF-8).
QList<QByteArray> entries(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *d = ::opendir(folder.constData())) {
        while (const dirent *e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(d);
    }
    return names;
}

} // namespace

class TestQelctlFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void faultLeavesTheOldFile_data();
    void faultLeavesTheOldFile();
    void savingOverAHugeSparseFileKeepsItsTail();
    void fileNamesAreTheBytesTheShellGave_data();
    void fileNamesAreTheBytesTheShellGave();

private:
    QTemporaryDir dir_;
};

void TestQelctlFiles::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    QVERIFY(dir_.isValid());
}

void TestQelctlFiles::faultLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("command");   // read or print
    QTest::addColumn<QString>("target");    // "full-tmpfs" or a device path
    QTest::addColumn<QString>("reason");
    QTest::newRow("read -o onto a full disk") << "read" << "full-tmpfs" << "No space left on device";
    QTest::newRow("print -o onto a full disk") << "print" << "full-tmpfs" << "No space left on device";
    QTest::newRow("print -o /dev/full") << "print" << "/dev/full" << "No space left on device";
}

void TestQelctlFiles::faultLeavesTheOldFile()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QFETCH(QString, reason);

    SmallTmpfs fs;
    QString out = target;
    const QByteArray old = command == QLatin1String("read") ? QByteArray(74, 'x') + "old tail"
                                                             : QByteArray("%PDF-1.4 an old printout\n");
    if (target == QLatin1String("full-tmpfs")) {
        if (!fs.mounted())
            QSKIP("no tmpfs of its own (mounting needs root): the full-disk case is not run");
        out = fs.filePath(command == QLatin1String("read") ? QStringLiteral("old.pdt")
                                                           : QStringLiteral("old.pdf"));
        QVERIFY(writeFile(out, old));
        QVERIFY(fs.fill());
    }

    QelctlRun r;
    SimPty sim;
    if (command == QLatin1String("read")) {
        QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
        r = qel::test::runQelctl(sim.path(), {"read", "-o", out});
    } else {
        const QString pdt = dir_.filePath(QStringLiteral("print.pdt"));
        QVERIFY(writeFile(pdt, qel::ParameterRecord().bytes()));
        r = qel::test::runQelctl(QStringLiteral("/dev/null"), {"print", pdt, "-o", out});
    }
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(out) && r.err.contains(reason), qPrintable(r.err));
    if (target == QLatin1String("full-tmpfs")) {
        QCOMPARE(readFile(out), old);
        // Nothing left behind beside it.
        QCOMPARE(QDir(fs.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("filler"), QFileInfo(out).fileName()}));
    }
}

void TestQelctlFiles::savingOverAHugeSparseFileKeepsItsTail()
{
    // 64 GiB, all hole but the last bytes: the tail is kept without being
    // held in memory, and stays a hole.
    const QString file = dir_.filePath(QStringLiteral("huge.pdt"));
    const qint64 size = qint64(64) << 30;
    {
        const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        const bool made = ::ftruncate(fd, size) == 0 && ::pwrite(fd, "TAIL", 4, size - 4) == 4;
        ::close(fd);
        if (!made)
            QSKIP("this file system holds no 64 GiB sparse file");
    }
    SimPty sim;
    QVERIFY2(sim.start({"--type", "527"}), qPrintable(sim.errorText()));
    const QelctlRun r = qel::test::runQelctl(sim.path(), {"read", "-o", file});
    QVERIFY2(r.exit == 0, qPrintable(r.err));

    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), size);
    qel::ParameterRecord rec;
    rec.setBytes(f.read(74));
    QCOMPARE(rec.field(32), QByteArray("12345")); // the serial the device gave
    QVERIFY(f.seek(size - 8));
    QCOMPARE(f.read(8), QByteArray(4, '\0') + "TAIL");
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
    QVERIFY2(qint64(st.st_blocks) * 512 < (qint64(1) << 20), "the holes were filled in");
}

void TestQelctlFiles::fileNamesAreTheBytesTheShellGave_data()
{
    // $N is a Shift-JIS name (not UTF-8): "テスト". The file made or read is
    // that name, byte for byte, and so is the name in a message.
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("made"); // the file the command makes, "" for none
    QTest::addColumn<int>("exit");
    QTest::newRow("show") << "show \"$N.pdt\"" << QByteArray() << 0;
    QTest::newRow("write") << "write \"$N.pdt\"" << QByteArray() << 0;
    QTest::newRow("diff") << "diff \"$N.pdt\"" << QByteArray() << 0;
    QTest::newRow("read -o") << "read -o \"$N.out\"" << QByteArray(".out") << 0;
    QTest::newRow("print -o") << "print \"$N.pdt\" -o \"$N.pdf\"" << QByteArray(".pdf") << 0;
    QTest::newRow("missing") << "show \"$N.none\"" << QByteArray() << 3;
}

void TestQelctlFiles::fileNamesAreTheBytesTheShellGave()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, made);
    QFETCH(int, exit);
    const QByteArray sjis("\x83\x65\x83\x58\x83\x67");
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const auto clean = qScopeGuard([&] { // Qt cannot remove these names
        for (const QByteArray &n : entries(folder))
            ::unlink((folder + n).constData());
    });
    {
        const int fd = ::open((folder + sjis + ".pdt").constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        const QByteArray rec = qel::ParameterRecord().bytes();
        QCOMPARE(::write(fd, rec.constData(), size_t(rec.size())), ssize_t(rec.size()));
        ::close(fd);
    }
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));

    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("P"), sim.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("N=$(printf '\\203\\145\\203\\130\\203\\147'); exec \"$QELCTL\" --port \"$P\" ")
                 + arguments});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray said = p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == exit, said.constData());
    if (exit != 0)
        QVERIFY2(said.contains(sjis + ".none"), said.toHex(' ').constData());
    // Exactly the names given, nothing under another name.
    QList<QByteArray> want{sjis + ".pdt"};
    if (!made.isEmpty())
        want << sjis + made;
    QList<QByteArray> names = entries(folder);
    std::sort(want.begin(), want.end());
    std::sort(names.begin(), names.end());
    QCOMPARE(names, want);
}

QTEST_MAIN(TestQelctlFiles)
#include "test_qelctl_files.moc"
