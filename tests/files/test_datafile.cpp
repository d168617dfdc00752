// The settings data file: format, save/load through the dialogs, the folder
// rule, LastDataPath, and every refused load or failed save.
#include "TestRig.h"
#include "files/DataFile.h"
#include "files/FileCommands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#ifndef Q_OS_WIN
#include "SmallTmpfs.h"
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace qel;
using namespace qel::test;

namespace {

// A record in which every field differs from its default.
ParameterRecord sampleRecord()
{
    ParameterRecord r;
    const char *values[] = {"1",     "12345", "E",     "-",    "3",     "S",     "42",
                            "00250", "016",   "08",    "1",    "1",     "7",     "2",
                            "00500", "E",     "-",     "1",    "S",     "00020", "E",
                            "+",     "2",     "H",     "1",    "09999", "E",     "-",
                            "4",     "S",     "1707",  "20001", "11111", "01.00"};
    for (int f = 1; f <= ParameterRecord::FieldCount; ++f)
        r.setField(f, values[f - 1]);
    return r;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(data), data.size());
}

struct FileRig : Rig {
    QTemporaryDir dir;
    QTemporaryDir programDir;
    FileCommands fc{*ctx};
    FileRig() { fc.setProgramFolder(programDir.path()); }
    QString path(const QString &name) const { return dir.filePath(name); }
};

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT
private slots:
    void saveThenLoadGivesTheSameRecord();
    void saveOntoLongerFileKeepsItsTail();
    void refusedLoadsLeaveRecordUntouched_data();
    void refusedLoadsLeaveRecordUntouched();
    void failedSavesAreReported();
    void folderRule_data();
    void folderRule();
    void dialogsAndLastDataPath();
    void dialogsStartWhereTheUserCanWrite();
};

void TestDataFile::saveThenLoadGivesTheSameRecord()
{
    FileRig rig;
    rig.rec() = sampleRecord();
    const QString file = rig.path(QStringLiteral("a.pdt"));
    rig.dialogs->files = {file, file};
    QVERIFY(rig.fc.DataFileSave());
    QCOMPARE(readAll(file), sampleRecord().bytes());
    QCOMPARE(readAll(file).size(), 74);
    QVERIFY(rig.rec() == sampleRecord()); // the save changes nothing

    SetDefaultRecord(rig.rec());
    rig.rec().setField(32, "00000");
    QVERIFY(rig.fc.DataFileLoad());
    QCOMPARE(rig.rec().bytes(), sampleRecord().bytes()); // identity fields too
    QVERIFY(rig.boxes.shown.isEmpty());

    // Saving again over the same file keeps it 74 bytes.
    rig.dialogs->files = {file};
    rig.rec().setField(1, "0");
    QVERIFY(rig.fc.DataFileSave());
    QCOMPARE(readAll(file), rig.rec().bytes());

#ifndef Q_OS_WIN
    // A backslash is a character of the name: "x\\c.pdt" is saved and loaded
    // as that file, and "x/c.pdt" beside it is left alone (Linux).
    QVERIFY(QDir(rig.dir.path()).mkpath(QStringLiteral("x")));
    const QString other = rig.path(QStringLiteral("x/c.pdt"));
    writeFile(other, QByteArray(74, 'o'));
    const QString slashed = rig.path(QStringLiteral("x\\c.pdt"));
    rig.dialogs->files = {slashed, slashed};
    QVERIFY(rig.fc.DataFileSave());
    QCOMPARE(readAll(slashed), rig.rec().bytes());
    QCOMPARE(readAll(other), QByteArray(74, 'o'));
    SetDefaultRecord(rig.rec());
    QVERIFY(rig.fc.DataFileLoad());
    QCOMPARE(readAll(slashed), rig.rec().bytes());
    QCOMPARE(rig.st().LastDataPath, rig.dir.path());
#endif
}

void TestDataFile::saveOntoLongerFileKeepsItsTail()
{
    FileRig rig;
    const QString file = rig.path(QStringLiteral("long.pdt"));
    QByteArray old(74, 'x');
    old += "TAIL-0123456789\r\n";
    old += QByteArray(3000, '\0');
    writeFile(file, old);

    QString error;
    QVERIFY2(saveDataFile(file, sampleRecord(), error), qPrintable(error));
    const QByteArray now = readAll(file);
    QCOMPARE(now.size(), old.size());
    QCOMPARE(now.left(74), sampleRecord().bytes());
    QCOMPARE(now.mid(74), old.mid(74));
    QVERIFY(QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden).size() == 1);

    // Loading the longer file reads only its first 74 bytes.
    ParameterRecord r;
    QVERIFY(loadDataFile(file, r, error));
    QVERIFY(r == sampleRecord());
}

void TestDataFile::refusedLoadsLeaveRecordUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("empty") << "empty";
    QTest::newRow("short") << "short";
    QTest::newRow("directory") << "directory";
#ifndef Q_OS_WIN
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("unreadable") << "unreadable";
#endif
}

void TestDataFile::refusedLoadsLeaveRecordUntouched()
{
    QFETCH(QString, kind);
    FileRig rig;
    const QString file = rig.path(QStringLiteral("bad.pdt"));
    if (kind == QLatin1String("empty"))
        writeFile(file, {});
    else if (kind == QLatin1String("short"))
        writeFile(file, sampleRecord().bytes().left(73));
    else if (kind == QLatin1String("directory"))
        QVERIFY(QDir().mkpath(file));
#ifndef Q_OS_WIN
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else if (kind == QLatin1String("unreadable")) {
        writeFile(file, sampleRecord().bytes());
        QFile::setPermissions(file, QFileDevice::WriteOwner);
        if (::access(QFile::encodeName(file).constData(), R_OK) == 0)
            QSKIP("running with rights that read any file");
    }
#endif

    rig.rec().setField(32, "12345");
    const ParameterRecord before = rig.rec();
    rig.dialogs->files = {file};
    QVERIFY(!rig.fc.DataFileLoad());
    QVERIFY(rig.rec() == before);
    QCOMPARE(rig.boxes.shown.size(), 1);
    const ShownBox &b = rig.boxes.shown[0];
    QCOMPARE(b.title, applicationTitle());
    QCOMPARE(b.icon, MsgIcon::Exclamation);
    QCOMPARE(b.buttons, MsgButtons::Ok);
    QVERIFY2(b.text.contains(QDir::toNativeSeparators(file)), qPrintable(b.text));
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFileInfo::exists(file)); // loading never creates a file
}

void TestDataFile::failedSavesAreReported()
{
    FileRig rig;
    rig.rec() = sampleRecord();
    const QString noFolder = rig.path(QStringLiteral("no/such/folder/a.pdt"));
    const QString folder = rig.path(QStringLiteral("taken.pdt"));
    QVERIFY(QDir().mkpath(folder));

    for (const QString &target : {noFolder, folder}) {
        rig.boxes.shown.clear();
        rig.dialogs->files = {target};
        QVERIFY(!rig.fc.DataFileSave());
        QVERIFY(rig.rec() == sampleRecord());
        QCOMPARE(rig.boxes.shown.size(), 1);
        QCOMPARE(rig.boxes.shown[0].icon, MsgIcon::Exclamation);
        QVERIFY(rig.boxes.shown[0].text.contains(QDir::toNativeSeparators(target)));
    }
    QVERIFY(!QFileInfo::exists(noFolder));
    QVERIFY(QFileInfo(folder).isDir());

#ifdef Q_OS_WIN
    // A read-only file is not replaced behind the user's back.
    const QString readOnly = rig.path(QStringLiteral("read-only.pdt"));
    writeFile(readOnly, QByteArray(100, 'y'));
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    QString refused;
    QVERIFY(!saveDataFile(readOnly, sampleRecord(), refused));
    QVERIFY2(refused.contains(QDir::toNativeSeparators(readOnly)), qPrintable(refused));
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(readAll(readOnly), QByteArray(100, 'y'));
    QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tmp")),
             QStringList());
#else
    // A file whose old tail cannot be read is left as it was.
    const QString locked = rig.path(QStringLiteral("locked.pdt"));
    writeFile(locked, QByteArray(100, 'y'));
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (::access(QFile::encodeName(locked).constData(), R_OK) != 0) {
        QString error;
        QVERIFY(!saveDataFile(locked, sampleRecord(), error));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(readAll(locked), QByteArray(100, 'y'));
    }

    // A full disk: the write error is not lost on the way to the rename.
    SmallTmpfs fs;
    if (!fs.mounted())
        QSKIP("no tmpfs of its own (mounting needs root): the full-disk save is not run");
    const QString onFull = fs.filePath(QStringLiteral("full.pdt"));
    writeFile(onFull, QByteArray(74, 'z'));
    QVERIFY(fs.fill());
    rig.boxes.shown.clear();
    rig.dialogs->files = {onFull};
    QVERIFY(!rig.fc.DataFileSave());
    QCOMPARE(readAll(onFull), QByteArray(74, 'z'));
    QCOMPARE(rig.boxes.shown.size(), 1);
    QVERIFY2(rig.boxes.shown[0].text.contains(onFull)
                 && rig.boxes.shown[0].text.contains(QStringLiteral("No space left on device")),
             qPrintable(rig.boxes.shown[0].text));
#endif
}

void TestDataFile::folderRule_data()
{
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("folder");
    QTest::newRow("posix") << "/data/sub/a.pdt" << "a.pdt" << "/data/sub";
    QTest::newRow("posix root") << "/a.pdt" << "a.pdt" << "";
    // A backslash is a character of the name, never a separator.
    QTest::newRow("backslash in the name") << "/data/a\\b.pdt" << "a\\b.pdt" << "/data";
    QTest::newRow("backslash in the folder") << "/da\\ta/x y.PDT" << "x y.PDT" << "/da\\ta";
}

void TestDataFile::folderRule()
{
    QFETCH(QString, full);
    QFETCH(QString, title);
    QFETCH(QString, folder);
    QString t, f;
    FileCommands::splitFileName(full, t, f);
    QCOMPARE(t, title);
    QCOMPARE(f, folder);
    QCOMPARE(FileCommands::joinFileName(f, t), full);
}

void TestDataFile::dialogsAndLastDataPath()
{
    FileRig rig;
    const QString file = rig.path(QStringLiteral("a.pdt"));
    writeFile(file, sampleRecord().bytes());
    const QString program = QDir(rig.programDir.path()).canonicalPath();
    QDir::setCurrent(QDir::tempPath());

    // Load: its dialog, then LastDataPath is the chosen folder.
    rig.dialogs->files = {file};
    QVERIFY(rig.fc.DataFileLoad());
    FileDialogRequest req = rig.dialogs->fileRequests.last();
    QCOMPARE(req.title, QStringLiteral(" ＱＥＬ－５６００データファイルの選択(読込)"));
    QCOMPARE(req.filter, QStringLiteral("Data Files(*.pdt)|*.pdt|All Files(*.*)|*.*"));
    QVERIFY(req.hideReadOnly);
    QVERIFY(!req.confirmOverwrite);
    QVERIFY(req.startFolder.isEmpty());
    QCOMPARE(rig.st().LastDataPath, rig.dir.path());
    QCOMPARE(QDir::current().canonicalPath(), program);

    // The next load dialog starts there; a bare name is taken from there.
    QDir::setCurrent(QDir::tempPath());
    rig.dialogs->files = {QStringLiteral("a.pdt")};
    QVERIFY(rig.fc.DataFileLoad());
    QCOMPARE(rig.dialogs->fileRequests.last().startFolder, rig.dir.path());
    QCOMPARE(QDir(rig.st().LastDataPath).canonicalPath(), QDir(rig.dir.path()).canonicalPath());
    QCOMPARE(QDir::current().canonicalPath(), program);

    // Save: its own dialog; LastDataPath stays.
    rig.dialogs->files = {rig.path(QStringLiteral("b.pdt"))};
    QVERIFY(rig.fc.DataFileSave());
    req = rig.dialogs->fileRequests.last();
    QCOMPARE(req.title, QStringLiteral(" 保存ファイル名"));
    QCOMPARE(req.filter, QStringLiteral("5600 Files(*.pdt)|*.pdt|All Files(*.*)|*.*"));
    QCOMPARE(req.defaultExtension, QStringLiteral("PDT"));
    QVERIFY(req.confirmOverwrite);
    QVERIFY(req.startFolder.isEmpty());
    QVERIFY(!rig.st().LastDataPath.isEmpty());

    // A cancelled load empties LastDataPath: the next one starts in the
    // program's folder. Nothing else changes.
    const ParameterRecord before = rig.rec();
    rig.dialogs->files = {QString()};
    QVERIFY(!rig.fc.DataFileLoad());
    QVERIFY(rig.st().LastDataPath.isEmpty());
    QVERIFY(rig.rec() == before);
    QCOMPARE(QDir::current().canonicalPath(), program);
    rig.dialogs->files = {QString()};
    QVERIFY(!rig.fc.DataFileLoad());
    QVERIFY(rig.dialogs->fileRequests.last().startFolder.isEmpty());

    // A cancelled save empties it too.
    rig.st().LastDataPath = rig.dir.path();
    rig.dialogs->files = {QString()};
    QVERIFY(!rig.fc.DataFileSave());
    QVERIFY(rig.st().LastDataPath.isEmpty());

    // A last folder that has gone away counts as a failed dialog.
    rig.st().LastDataPath = rig.path(QStringLiteral("gone"));
    const int shown = rig.dialogs->fileRequests.size();
    QVERIFY(!rig.fc.DataFileLoad());
    QCOMPARE(rig.dialogs->fileRequests.size(), shown);
    QVERIFY(rig.st().LastDataPath.isEmpty());
    QVERIFY(rig.boxes.shown.isEmpty());
}

void TestDataFile::dialogsStartWhereTheUserCanWrite()
{
    // Installed: the program's folder cannot be written to. Both dialogs
    // start at home, then in the folder last used (kept across runs).
    FileRig rig;
    rig.fc.setProgramFolder(QStringLiteral("/nonexistent/usr/bin"));
    writeFile(rig.path(QStringLiteral("a.pdt")), QByteArray(74, '0'));
    rig.dialogs->files = {rig.path(QStringLiteral("a.pdt")), rig.path(QStringLiteral("b.pdt"))};
    QVERIFY(rig.fc.DataFileLoad());
    QCOMPARE(rig.dialogs->fileRequests.last().startFolder, QDir::homePath());
    QVERIFY(rig.fc.DataFileSave());
    QCOMPARE(rig.dialogs->fileRequests.last().startFolder, rig.dir.path());

    FileRig next; // the next run, same store contents
    next.fc.setProgramFolder(QStringLiteral("/nonexistent/usr/bin"));
    next.store.values = rig.store.values;
    next.dialogs->files = {QString()};
    QVERIFY(!next.fc.DataFileSave());
    QCOMPARE(next.dialogs->fileRequests.last().startFolder, rig.dir.path());
    // A stored folder that is gone: home again.
    next.store.values.insert(QStringLiteral("QEL-5600/DataFile/Folder"), QStringLiteral("/nonexistent/gone"));
    next.dialogs->files = {QString()};
    QVERIFY(!next.fc.DataFileLoad());
    QCOMPARE(next.dialogs->fileRequests.last().startFolder, QDir::homePath());
}

QTEST_MAIN(TestDataFile)
#include "test_datafile.moc"
