// The jobs over a device history in a temporary folder, against the
// simulated converter on the virtual clock: which copy a restore writes
// (after a write, after a restore, --at a time equal to a copy's), when a
// read adds a copy, one serial number on two converters, what a cut write
// marks and names, and a check from backup files against a check that reads.
#include "TestRig.h"
#include "editor/SettingsCommands.h"
#include "jobs/Report.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimFault;

namespace {

jobs::Session sessionOn(Rig &rig, jobs::DeviceStore &store)
{
    return jobs::Session{*rig.ctx, *rig.engine, *rig.typeChange, store, QStringLiteral("COM1"), QString()};
}

// A converter of `type` whose full scale (F2) is `fullScale`.
std::unique_ptr<Rig> converter(int type, int serial, const QByteArray &fullScale)
{
    auto rig = std::make_unique<Rig>(type);
    rig->device.setSerial(serial);
    rig->device.record().setField(2, fullScale);
    return rig;
}

QByteArray fullScaleOf(const Rig &rig)
{
    return rig.device.record().field(2);
}

} // namespace

class TestJobs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void restoreUndoesTheLastWrite_data();
    void restoreUndoesTheLastWrite();
    void chooseTakesTheCopyHeldThen_data();
    void chooseTakesTheCopyHeldThen();
    void aReadAddsACopyOnlyWhenChanged();
    void oneSerialTwoConverters();
    void aCutWriteMarksAndNamesTheCopyRestoreTakes_data();
    void aCutWriteMarksAndNamesTheCopyRestoreTakes();
    void checkFromBackupFilesAsFromTheConverter_data();
    void checkFromBackupFilesAsFromTheConverter();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<jobs::HistoryStore> store_;
};

void TestJobs::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    store_ = std::make_unique<jobs::HistoryStore>(dir_->filePath(QStringLiteral("history")));
}

void TestJobs::restoreUndoesTheLastWrite_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("serial");
    QTest::newRow("5600") << 5600 << 20345;
    QTest::newRow("527") << 527 << 740;
}

// A write with --verify, then restore without --at: the copy kept before
// the write, not the latest (the write's read back). A second restore puts
// the write back: the copy the first restore kept before it wrote.
void TestJobs::restoreUndoesTheLastWrite()
{
    QFETCH(int, type);
    QFETCH(int, serial);
    auto rig = converter(type, serial, "01111");
    jobs::Session s = sessionOn(*rig, *store_);
    const jobs::ReadOutcome read = jobs::readAndKeep(s);
    QVERIFY(read.ok());
    QCOMPARE(read.kept.status, jobs::KeepResult::Added);

    rig->clock.advance(60000);
    jobs::WriteRequest request;
    request.record = read.record;
    request.record.setField(2, "02222");
    request.verify = true;
    const jobs::WriteOutcome written = jobs::writeWithUndo(s, request);
    QCOMPARE(written.status, jobs::WriteStatus::Verified);
    QCOMPARE(written.kept.path, read.kept.copy.path); // seen again, not kept twice
    QCOMPARE(fullScaleOf(*rig), QByteArray("02222"));
    QCOMPARE(store_->copies().size(), 2); // before, and the write's read back

    const QString serialText = QString::number(serial);
    rig->clock.advance(60000);
    jobs::WriteOutcome back = jobs::restore(s, serialText, {});
    QCOMPARE(back.status, jobs::WriteStatus::Verified);
    QCOMPARE(back.choice.copy.path, read.kept.copy.path);
    QCOMPARE(fullScaleOf(*rig), QByteArray("01111"));

    rig->clock.advance(60000);
    back = jobs::restore(s, serialText, {});
    QCOMPARE(back.status, jobs::WriteStatus::Verified);
    QCOMPARE(fullScaleOf(*rig), QByteArray("02222"));

    // Another converter's serial number: nothing written.
    rig->clock.advance(60000);
    back = jobs::restore(s, QString::number(serial + 1), {});
    QCOMPARE(back.status, jobs::WriteStatus::OtherSerial);
    QCOMPARE(fullScaleOf(*rig), QByteArray("02222"));
}

void TestJobs::chooseTakesTheCopyHeldThen_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("at");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("copy");
    // Copies of 5600-20345 first seen at 10:00:00, 10:05:00 (and -2 in the
    // same second) and 10:10:00; 10:05:00 is the one marked before a write.
    QTest::newRow("default: the marked one") << "5600" << "" << int(jobs::CopyChoice::Found) << "20261207-100500";
    QTest::newRow("a time equal to a copy's") << "5600" << "2026-12-07 10:05:00" << int(jobs::CopyChoice::Found)
                                              << "20261207-100500-2";
    QTest::newRow("in ISO form") << "5600" << "2026-12-07T10:10:00" << int(jobs::CopyChoice::Found)
                                 << "20261207-101000";
    QTest::newRow("a second before") << "5600" << "2026-12-07 10:04:59" << int(jobs::CopyChoice::Found)
                                     << "20261207-100000";
    QTest::newRow("to the minute") << "5600" << "2026-12-07 10:05" << int(jobs::CopyChoice::Found)
                                   << "20261207-100500-2";
    QTest::newRow("a copy's name") << "5600" << "20261207-100500" << int(jobs::CopyChoice::Found)
                                   << "20261207-100500";
    QTest::newRow("before the first") << "5600" << "2026-12-07 09:59:59" << int(jobs::CopyChoice::NoneAtTime) << "";
    QTest::newRow("no time") << "5600" << "yesterday" << int(jobs::CopyChoice::BadTime) << "";
    QTest::newRow("another type") << "521" << "" << int(jobs::CopyChoice::OtherTypeOnly) << "";
}

// The one rule of every restore: a copy of the converter's type and serial
// number; `at` the latest first seen at or before it; else the marked one.
void TestJobs::chooseTakesTheCopyHeldThen()
{
    QFETCH(QString, type);
    QFETCH(QString, at);
    QFETCH(int, status);
    QFETCH(QString, copy);
    ParameterRecord rec;
    rec.setField(32, "20345");
    const QDateTime ten(QDate(2026, 12, 7), QTime(10, 0));
    KeptCopy marked;
    for (const auto &[seconds, fullScale] :
         {std::pair<int, const char *>{0, "01000"}, {300, "02000"}, {300, "03000"}, {600, "04000"}}) {
        rec.setField(2, fullScale);
        const jobs::KeepResult k = store_->keep({Type5600, rec, ten.addSecs(seconds)});
        QCOMPARE(k.status, jobs::KeepResult::Added);
        if (QByteArray(fullScale) == "02000")
            marked = k.copy;
    }
    // Another converter's copy, later than all: never chosen.
    rec.setField(32, "20346");
    store_->keep({Type5600, rec, ten.addSecs(900)});
    QString error;
    QVERIFY2(store_->markBeforeWrite(marked, error), qPrintable(error));

    const jobs::CopyChoice c = store_->choose(type, QStringLiteral("20345"), at);
    QCOMPARE(int(c.status), status);
    QCOMPARE(c.copy.name, copy.isEmpty() ? QString() : copy + QStringLiteral(".pdt"));
    if (c.status == jobs::CopyChoice::OtherTypeOnly)
        QCOMPARE(c.otherTypes, QStringList{QStringLiteral("5600")});
}

// An unchanged converter read again adds no copy (its last seen moves on);
// a changed one adds one; a read that fails keeps nothing.
void TestJobs::aReadAddsACopyOnlyWhenChanged()
{
    auto rig = converter(5600, 20345, "01111");
    jobs::Session s = sessionOn(*rig, *store_);
    QCOMPARE(jobs::readAndKeep(s).kept.status, jobs::KeepResult::Added);
    rig->clock.advance(120000);
    const jobs::ReadOutcome again = jobs::readAndKeep(s);
    QCOMPARE(again.kept.status, jobs::KeepResult::SeenAgain);
    QList<HistoryEntry> copies = store_->copies();
    QCOMPARE(copies.size(), 1);
    QVERIFY(copies[0].lastSeen >= copies[0].when.addSecs(120));

    rig->device.record().setField(2, "03333");
    rig->clock.advance(60000);
    QCOMPARE(jobs::readAndKeep(s).kept.status, jobs::KeepResult::Added);
    QCOMPARE(store_->copies(QStringLiteral("20345")).size(), 2);

    rig->device.record().setField(2, "04444");
    rig->device.addFault(fault("RP02", SimFault::Wrong, -1, "123\r"));
    const jobs::ReadOutcome failed = jobs::readAndKeep(s);
    QCOMPARE(failed.status, jobs::ReadStatus::Incomplete);
    QCOMPARE(failed.kept.status, jobs::KeepResult::Off);
    QCOMPARE(store_->copies().size(), 2);
}

// Two converters with one type and serial number, as unprogrammed units
// are, read in the same second again and again: each record is kept, each
// copy whole, and neither replaces the other.
void TestJobs::oneSerialTwoConverters()
{
    auto a = converter(5600, 21111, "01111"), b = converter(5600, 21111, "02222");
    jobs::Session sa = sessionOn(*a, *store_), sb = sessionOn(*b, *store_);
    QSet<QByteArray> kept;
    for (int round = 0; round < 3; ++round) {
        for (jobs::Session *s : {&sa, &sb}) {
            const jobs::ReadOutcome r = jobs::readAndKeep(*s);
            QVERIFY(r.kept.kept());
            QCOMPARE(r.kept.copy.type, QStringLiteral("5600"));
            QCOMPARE(r.kept.copy.serial, QStringLiteral("21111"));
        }
    }
    for (const HistoryEntry &e : store_->copies(QStringLiteral("21111"))) {
        ParameterRecord rec;
        FileProblem problem;
        QVERIFY2(store_->load(e, rec, problem), qPrintable(problem.text()));
        kept << rec.field(2);
    }
    QCOMPARE(kept, (QSet<QByteArray>{"01111", "02222"}));
}

void TestJobs::aCutWriteMarksAndNamesTheCopyRestoreTakes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("at");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("reached");
    QTest::newRow("5600 line dropped after two settings") << 5600 << QByteArray("WP03") << int(SimFault::Drop) << true;
    QTest::newRow("5600 refused at the first setting") << 5600 << QByteArray("WP01") << int(SimFault::Refuse) << false;
    QTest::newRow("527 image without reply") << 527 << QByteArray("W") << int(SimFault::Silence) << true;
    QTest::newRow("527 image refused") << 527 << QByteArray("W") << int(SimFault::Refuse) << false;
}

// A write that stopped after reaching the converter marks what it replaced
// and names, in qelctl's lines and under the window's message alike, the
// copy every restore of that converter takes; one that reached nothing
// moves no mark and names none.
void TestJobs::aCutWriteMarksAndNamesTheCopyRestoreTakes()
{
    QFETCH(int, type);
    QFETCH(QByteArray, at);
    QFETCH(int, kind);
    QFETCH(bool, reached);
    auto rig = converter(type, type == 5600 ? 20345 : 740, "01111");
    jobs::Session s = sessionOn(*rig, *store_);
    s.portArgument = QStringLiteral("/dev/ttyUSB0");
    const jobs::ReadOutcome read = jobs::readAndKeep(s);
    QVERIFY(read.ok());
    // An older copy marked by an earlier write: only a write that reached
    // the converter moves the mark on.
    ParameterRecord older = read.record;
    older.setField(2, "00500");
    const jobs::KeepResult earlier = store_->keep({read.deviceType, older, s.now().addDays(-1)});
    QString error;
    QVERIFY(store_->markBeforeWrite(earlier.copy, error));

    rig->clock.advance(60000);
    jobs::WriteRequest request;
    request.record = read.record;
    request.record.setField(2, "02222");
    request.record.setField(7, "5");
    rig->device.addFault(fault(at.constData(), SimFault::Kind(kind)));
    const jobs::WriteOutcome o = jobs::writeWithUndo(s, request);
    QCOMPARE(o.status, jobs::WriteStatus::Stopped);
    QCOMPARE(o.kept.path, read.kept.copy.path);
    const QString serial = read.kept.copy.serial;
    const jobs::CopyChoice c = store_->choose(read.kept.copy.type, serial);
    QCOMPARE(c.copy.path, reached ? read.kept.copy.path : earlier.copy.path);
    const QString undo = QStringLiteral("qelctl --port /dev/ttyUSB0 restore %1 --at %2")
                             .arg(serial, QFileInfo(read.kept.copy.path).completeBaseName());
    QCOMPARE(o.stopLines.last().endsWith(undo), reached);

    // The window, on the converter as it was: its write replaces its last
    // read, and its note names the same copy.
    auto again = converter(type, serial.toInt(), "01111");
    jobs::Session w = sessionOn(*again, *store_);
    QVERIFY(jobs::detect(w).answered());
    jobs::EditorHistory window(*store_, s.portArgument, {});
    QCOMPARE(window.keep({read.deviceType, read.record, s.now()}).copy.path, read.kept.copy.path);
    QVERIFY(store_->markBeforeWrite(earlier.copy, error));
    again->st().ParamRecord = request.record;
    window.beginWrite(again->st());
    QString note;
    again->ctx->platform.writeStopNote = [&](const AppState &st) { return note = window.stopNote(st); };
    again->device.addFault(fault(at.constData(), SimFault::Kind(kind)));
    SettingsCommands(*again->ctx, *again->engine, *again->typeChange).WritingOut();
    window.endWrite(again->st());
    QCOMPARE(note.endsWith(QStringLiteral("戻すには: ") + undo), reached);
    QCOMPARE(store_->choose(read.kept.copy.type, serial).copy.path, reached ? read.kept.copy.path : earlier.copy.path);
}

void TestJobs::checkFromBackupFilesAsFromTheConverter_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("changed");
    QTest::newRow("5600 same") << 5600 << false;
    QTest::newRow("5600 differs") << 5600 << true;
    QTest::newRow("521 same") << 521 << false;
    QTest::newRow("527 differs") << 527 << true;
}

// check --from compares a backup file as check compares the converter it
// came from (a 52X as its image holds a record); the results come back
// whole from their JSON, as a fleet's processes hand them on.
void TestJobs::checkFromBackupFilesAsFromTheConverter()
{
    QFETCH(int, type);
    QFETCH(bool, changed);
    auto rig = converter(type, type == 5600 ? 23001 : 1502, "01111");
    jobs::Session s = sessionOn(*rig, *store_);
    const QString backups = dir_->filePath(QStringLiteral("backup")), approved = dir_->filePath(QStringLiteral("approved"));
    const jobs::BackupResult saved = jobs::backup(s, backups);
    QVERIFY2(!saved.file.isEmpty(), qPrintable(saved.fileError + saved.error));
    ParameterRecord want = rig->device.record();
    if (changed)
        want.setField(2, "02500");
    QVERIFY(QDir().mkpath(approved));
    FileProblem problem;
    QVERIFY(saveDataFile(QStringLiteral("%1/%2.pdt").arg(approved, saved.serial.value_or(QString())), want, problem));

    const jobs::CheckResult read = jobs::check(s, approved);
    QString error;
    const QStringList files = jobs::latestBackups(backups, error);
    QCOMPARE(files, QStringList{saved.file});
    AppState device;
    QVERIFY(jobs::backupState(saved.file, device, problem));
    jobs::CheckResult fromFile;
    fromFile.file = saved.file;
    fromFile = jobs::compareWithApproved(approved, device, fromFile);

    QCOMPARE(read.status, changed ? jobs::CheckStatus::Differs : jobs::CheckStatus::Same);
    QCOMPARE(fromFile.status, read.status);
    QCOMPARE(jobs::toJson(fromFile.differences, QStringLiteral("approved")),
             jobs::toJson(read.differences, QStringLiteral("approved")));
    QCOMPARE(fromFile.type, read.type);
    for (const QJsonObject &o : {jobs::toJson(read), jobs::toJson(fromFile), jobs::toJson(saved)}) {
        jobs::CheckResult c;
        jobs::BackupResult b;
        jobs::fromJson(o, c);
        jobs::fromJson(o, b);
        QCOMPARE(o.contains("status") ? jobs::toJson(c) : jobs::toJson(b), o);
    }
}

QTEST_GUILESS_MAIN(TestJobs)
#include "test_jobs.moc"
