// The file seams as the history and the backups use them, on each system
// (this test runs on Linux and, under wine, on Windows): a file is put in
// place whole or not at all, a new name never replaces what another process
// has just made, and a folder's lock holds between processes.
#include "platform/FileAccess.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using namespace qel;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// What is left in the folder besides the given names: a temporary file
// that was not cleaned up.
QStringList leftovers(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).filter(QStringLiteral(".tmp"));
}

} // namespace

class TestFolder : public QObject {
    Q_OBJECT
private slots:
    void placing_data()
    {
        QTest::addColumn<bool>("newName");
        QTest::addColumn<QStringList>("taken");   // names already there (a trailing / a folder)
        QTest::addColumn<QString>("expected");    // the name the file takes
        QTest::newRow("replace") << false << QStringList{"a.pdt"} << "a.pdt";
        QTest::newRow("new name, free") << true << QStringList{} << "a.pdt";
        QTest::newRow("new name, file there") << true << QStringList{"a.pdt"} << "a-2.pdt";
        QTest::newRow("new name, file and folder there") << true << QStringList{"a.pdt", "a-2.pdt/"} << "a-3.pdt";
    }

    void placing()
    {
        QFETCH(bool, newName);
        QFETCH(QStringList, taken);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString &t : taken) {
            if (t.endsWith(u'/'))
                QVERIFY(QDir(dir.path()).mkdir(t.chopped(1)));
            else
                writeRaw(dir.filePath(t), "old");
        }
        Folder folder;
        QString error, path;
        QVERIFY2(folder.open(dir.path(), false, error), qPrintable(error));
        const QByteArray bytes(74, 'n');
        QVERIFY2(writeFileIn(folder, QStringLiteral("a.pdt"),
                             newName ? SafeWrite::Placing::NewName : SafeWrite::Placing::Replace, bytes, path,
                             error),
                 qPrintable(error));
        QCOMPARE(QFileInfo(path).fileName(), expected);
        QCOMPARE(readAll(dir.filePath(expected)), bytes);
        for (const QString &t : taken)
            if (!t.endsWith(u'/') && t != expected)
                QCOMPARE(readAll(dir.filePath(t)), QByteArray("old")); // nothing else replaced
        QCOMPARE(leftovers(dir.path()), QStringList());
    }

    // A write that cannot be finished leaves the old file as it was and no
    // temporary file behind; it says why.
    void failedWriteLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder in the way") << "folder";
        QTest::newRow("no such folder") << "missing folder";
        QTest::newRow("read-only file") << "read-only";
    }

    void failedWriteLeavesTheOldFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString target = dir.filePath(QStringLiteral("a.pdt"));
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a.pdt")));
        } else if (kind == QLatin1String("missing folder")) {
            target = dir.filePath(QStringLiteral("no/a.pdt"));
        } else {
            writeRaw(target, "old");
            QFile::setPermissions(target, QFileDevice::ReadOwner);
            if (QFileInfo(target).isWritable())
                QSKIP("running with rights that write any file");
        }
        QString error;
        QVERIFY(!writeFileWhole(target, QByteArray(74, 'n'), error));
        QVERIFY(!error.isEmpty());
        if (kind == QLatin1String("read-only")) {
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QCOMPARE(readAll(target), QByteArray("old"));
        }
        QCOMPARE(leftovers(dir.path()), QStringList());
    }

    // What the history reads of its folders: regular files and folders by
    // name, nothing hidden; a file's head; its time set back.
    void entriesReadAndTouch()
    {
        QTemporaryDir dir;
        writeRaw(dir.filePath(QStringLiteral("b.pdt")), QByteArray(80, 'b'));
        writeRaw(dir.filePath(QStringLiteral(".hidden")), "h");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("5600-20345")));
        Folder folder, sub;
        QString error;
        QVERIFY(folder.open(dir.path(), false, error));
        QVERIFY2(sub.open(folder, QStringLiteral("5600-20345"), false, error), qPrintable(error));
        QVERIFY(!sub.open(folder, QStringLiteral("../x"), false, error));
        const QList<Folder::Entry> e = folder.entries();
        QCOMPARE(e.size(), 2);
        QCOMPARE(e[0].name, QStringLiteral("5600-20345"));
        QVERIFY(e[0].isFolder);
        QCOMPARE(e[1].name, QStringLiteral("b.pdt"));
        QCOMPARE(e[1].size, 80);
        QByteArray head;
        QVERIFY(folder.readFile(QStringLiteral("b.pdt"), 74, head, error));
        QCOMPARE(head, QByteArray(74, 'b'));
        QVERIFY(!folder.readFile(QStringLiteral("5600-20345"), 74, head, error));

        const QDateTime when = QDateTime::fromString(QStringLiteral("2024-03-31T01:30:00Z"), Qt::ISODate);
        QVERIFY2(folder.touch(QStringLiteral("b.pdt"), when, error), qPrintable(error));
        QCOMPARE(folder.entries()[1].modified.toMSecsSinceEpoch(), when.toMSecsSinceEpoch());
        QCOMPARE(readAll(dir.filePath(QStringLiteral("b.pdt"))), QByteArray(80, 'b'));

        const FileState st = fileState(dir.filePath(QStringLiteral("b.pdt")));
        QCOMPARE(st.kind, FileState::Regular);
        QCOMPARE(st.size, 80);
        QCOMPARE(fileState(dir.path()).kind, FileState::Folder);
        QCOMPARE(fileState(dir.filePath(QStringLiteral("none"))).kind, FileState::Missing);
    }

    // A second process waits for the folder while the first holds it, and
    // has it once the first lets go (or ends).
    void lockHoldsBetweenProcesses()
    {
        QTemporaryDir dir;
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), dir.path()});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        FolderLock lock;
        QVERIFY(!lock.take(dir.path(), 300));
        Folder folder;
        QString error;
        QVERIFY(folder.open(dir.path(), false, error));
        QVERIFY(!folder.lock(100));

        holder.closeWriteChannel(); // the holder lets go and ends
        QVERIFY(holder.waitForFinished(20000));
        QVERIFY(lock.take(dir.path(), 5000));
    }
};

// `--hold DIR`: takes DIR's lock, says "held", and keeps it until its input ends.
int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--hold") {
        QCoreApplication app(argc, argv);
        FolderLock lock;
        if (!lock.take(QString::fromLocal8Bit(argv[2]), 10000))
            return 1;
        std::fputs("held\n", stdout);
        std::fflush(stdout);
        while (std::fgetc(stdin) != EOF) {
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestFolder t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_folder.moc"
