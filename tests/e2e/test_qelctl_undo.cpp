// Undoing a change to a converter, through qelctl on pseudo-terminals: every
// converter's read gets a file of its own, however many share a serial
// number or a second; a shared folder's planted links lead nowhere; a write
// keeps what it replaces, says where it stopped when the line drops, and
// `restore` puts the converter back byte for byte; --no-keep sends what the
// write always sent.
#include "QelctlRun.h"
#include "SimPty.h"
#include "comm/Comm5600.h"
#include "core/ParamRecord.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using qel::ParameterRecord;
using qel::test::QelctlRun;
using qel::test::SimPty;

namespace {

// The day every write here stamps: the simulated converter's own update
// date, so a converter written back holds its record byte for byte.
const char *kToday = "2024-06-10";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Every file under `dir`, hidden ones included, by path.
QStringList filesUnder(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

// A settings record with a full scale of its own.
ParameterRecord settingsWith(const QByteArray &fullScale)
{
    ParameterRecord rec;
    rec.setField(2, fullScale);
    return rec;
}

} // namespace

class TestQelctlUndo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void oneSerialTwoConverters();
    void plantedLinksInASharedFolder();
    void cutWriteIsUndoneByRestore_data();
    void cutWriteIsUndoneByRestore();
    void noKeepSendsWhatWriteAlwaysSent_data();
    void noKeepSendsWhatWriteAlwaysSent();

private:
    QelctlRun run(const QStringList &args, const QString &port = {});
    QStringList backupAll(const QString &dir, QStringList ports);
    QString settingsFile(const QString &name, const ParameterRecord &rec);
    QTemporaryDir dir_;
    QString data_; // XDG_DATA_HOME of the runs, new for every test
};

QelctlRun TestQelctlUndo::run(const QStringList &args, const QString &port)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_);
    env.insert(QStringLiteral("QEL_TODAY"), QString::fromLatin1(kToday));
    return qel::test::runQelctl(port, args, env);
}

QString TestQelctlUndo::settingsFile(const QString &name, const ParameterRecord &rec)
{
    const QString path = dir_.filePath(name);
    if (!writeAll(path, rec.bytes()))
        return {};
    return path;
}

void TestQelctlUndo::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    QVERIFY(dir_.isValid());
}

void TestQelctlUndo::init()
{
    static int n = 0;
    data_ = dir_.filePath(QStringLiteral("data-%1").arg(++n));
}

// Backs up the converters on `ports` into `dir`, all at once; those that
// missed their answer (thirty simulators and thirty qelctl processes on two
// loaded cores now and then leave a simulator without the processor for the
// 50 ms a 5600 has to answer detection) are backed up again, at most three
// rounds. Anything else that fails fails the test. The files written.
QStringList TestQelctlUndo::backupAll(const QString &dir, QStringList ports)
{
    QStringList files;
    for (int round = 0; round < 3 && !ports.isEmpty(); ++round) {
        QStringList args{"backup", dir};
        for (const QString &p : ports)
            args << "--port" << p;
        const QelctlRun r = run(args);
        QStringList missed;
        for (const QString &p : ports)
            if (r.err.contains(p + QStringLiteral(": no converter answered"))
                || r.err.contains(p + QStringLiteral(": the read did not complete")))
                missed << p;
        if (r.exit != (missed.isEmpty() ? 0 : 1) || r.lines.size() != ports.size() - missed.size()) {
            qWarning("backup: exit %d, %d of %d saved: %s", r.exit, int(r.lines.size()), int(ports.size()),
                     qPrintable(r.err));
            return {};
        }
        files << r.lines;
        ports = missed;
    }
    return ports.isEmpty() ? files : QStringList();
}

// Two converters with one type and serial number, as unprogrammed units
// are: a backup of both keeps both files, and thirty reads at once of
// converters holding one or the other record keep every record.
void TestQelctlUndo::oneSerialTwoConverters()
{
    const ParameterRecord a = settingsWith("01111"), b = settingsWith("02222");
    const QString fileA = settingsFile("a.pdt", a), fileB = settingsFile("b.pdt", b);
    std::vector<std::unique_ptr<SimPty>> sims;
    QStringList ports;
    for (int i = 0; i < 30; ++i) {
        sims.push_back(std::make_unique<SimPty>());
        QVERIFY2(sims.back()->start({"--type", "5600", "--serial", "21111", "--settings", i % 2 ? fileB : fileA}),
                 qPrintable(sims.back()->errorText()));
        ports << sims.back()->path();
    }

    // Two: both files, each its converter's record.
    const QString two = dir_.filePath(QStringLiteral("two"));
    QStringList saved = backupAll(two, ports.mid(0, 2));
    QCOMPARE(QSet<QString>(saved.begin(), saved.end()).size(), 2);
    QCOMPARE(QDir(two).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QSet<QByteArray> fullScales;
    for (const QString &line : saved)
        fullScales << readAll(line).mid(1, 5);
    QCOMPARE(fullScales, (QSet<QByteArray>{"01111", "02222"}));

    // Thirty at once: thirty files, and both records in the history, each
    // copy whole.
    const QString thirty = dir_.filePath(QStringLiteral("thirty"));
    saved = backupAll(thirty, ports);
    QCOMPARE(QSet<QString>(saved.begin(), saved.end()).size(), 30);
    QCOMPARE(QDir(thirty).entryList(QDir::Files | QDir::Hidden).size(), 30);
    QSet<QByteArray> kept;
    for (const QString &copy : filesUnder(data_ + QStringLiteral("/qel-settings/history/5600-21111"))) {
        if (!copy.endsWith(QLatin1String(".pdt")))
            continue;
        const QByteArray bytes = readAll(copy);
        QCOMPARE(bytes.size(), 74);
        kept << bytes.mid(1, 5);
    }
    QCOMPARE(kept, (QSet<QByteArray>{"01111", "02222"}));
}

// Another user's symbolic links in a folder everyone may write in (mode
// 1777): one under the name of the file a backup is about to make, one
// as the backup's own folder, one as the history's folder. Nothing is
// created where they point.
void TestQelctlUndo::plantedLinksInASharedFolder()
{
    const QString shared = dir_.filePath(QStringLiteral("shared"));
    const QString outside = dir_.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(shared) && QDir().mkpath(outside));
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
    const auto plant = [&](const QString &link, const QString &target) {
        const QByteArray l = QFile::encodeName(link);
        return ::symlink(QFile::encodeName(target).constData(), l.constData()) == 0
            && (::geteuid() != 0 || ::lchown(l.constData(), 65534, 65534) == 0);
    };
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--serial", "23333"}), qPrintable(sim.errorText()));

    // The coming file's name, for every second the backup may take: the
    // file takes -2 in the shared folder instead.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 20; ++s) {
        const QString stamp = now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QVERIFY(plant(QStringLiteral("%1/5600-23333-%2.pdt").arg(shared, stamp),
                      QStringLiteral("%1/taken-%2.pdt").arg(outside).arg(s)));
    }
    QelctlRun r = run({"backup", shared}, sim.path());
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines.size(), 1);
    QVERIFY2(r.lines[0].startsWith(shared + QStringLiteral("/5600-23333-")) && r.lines[0].endsWith("-2.pdt"),
             qPrintable(r.lines[0]));
    QFileInfo made(r.lines[0]);
    QVERIFY(made.isFile() && !made.isSymLink());
    QCOMPARE(made.size(), 74);
    QCOMPARE(filesUnder(outside), QStringList());

    if (::geteuid() != 0)
        QSKIP("the folder links need another user's links (root plants them)");
    // Another user's link as a folder: neither the backup's folder nor the
    // history's is followed.
    QVERIFY(plant(shared + QStringLiteral("/plant-a"), outside));
    r = run({"backup", shared + QStringLiteral("/plant-a")}, sim.path());
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(QStringLiteral("not followed")), qPrintable(r.err));
    QVERIFY(plant(shared + QStringLiteral("/qel-settings"), outside));
    const QString saved = data_;
    data_ = shared;
    r = run({"read", "-o", dir_.filePath(QStringLiteral("planted.pdt"))}, sim.path());
    data_ = saved;
    QCOMPARE(r.exit, 0); // the read itself stands
    QVERIFY2(r.err.contains(QStringLiteral("was not kept")) && r.err.contains(QStringLiteral("not followed")),
             qPrintable(r.err));
    QCOMPARE(filesUnder(outside), QStringList());
}

void TestQelctlUndo::cutWriteIsUndoneByRestore_data()
{
    QTest::addColumn<QByteArray>("dropAt");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("holds");
    QTest::newRow("after two settings")
        << QByteArray("WP03") << "the write stopped after setting 2 of 15, Full scale (F2-F6), at Bias (F7): "
        << "the converter now holds part of the new settings: the first 2 of 15, perhaps Bias (F7) too";
    QTest::newRow("after ten settings")
        << QByteArray("WP22")
        << "the write stopped after setting 10 of 15, Event-in function (F14), at Upper scale (F15-F19): "
        << "the converter now holds part of the new settings: the first 10 of 15";
    QTest::newRow("after the last setting")
        << QByteArray("WP41")
        << "the write stopped after setting 14 of 15, Set value (F26-F30), at Update date (F31): "
        << "the converter holds every new setting; its update date may be the old one";
}

// A line pulled in the middle of a write: the message names the step, the
// line and the copy kept before the write; the command it gives puts the
// converter back byte for byte.
void TestQelctlUndo::cutWriteIsUndoneByRestore()
{
    QFETCH(QByteArray, dropAt);
    QFETCH(QString, said);
    QFETCH(QString, holds);
    const QString link = dir_.filePath(QStringLiteral("line-") + QString::fromLatin1(dropAt));
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--serial", "23000", "--link", link, "--fault",
                        QString::fromLatin1(dropAt) + ":drop:x1"}),
             qPrintable(sim.errorText()));
    const QByteArray before = sim.state();
    QCOMPARE(before.size(), 74);

    ParameterRecord changed;
    changed.setBytes(before);
    for (const auto &[f, v] : {std::pair<int, const char *>{1, "1"}, {2, "02000"}, {7, "5"}, {8, "00002"},
                               {14, "1"}, {15, "00200"}, {26, "00002"}})
        changed.setField(f, v);
    QelctlRun r = run({"write", settingsFile("new.pdt", changed)}, link);
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains(QStringLiteral("qelctl: ") + said + link + QStringLiteral(": the line went away")),
             qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("qelctl: ") + holds), qPrintable(r.err));
    // The cause once, and no system text that says nothing true of it.
    QCOMPARE(r.err.count(QStringLiteral("the line went away")), 1);
    QVERIFY2(!r.err.contains(QStringLiteral("Inappropriate ioctl")), qPrintable(r.err));
    const QRegularExpression undo(QStringLiteral("previous settings are in (\\S+); to put them back: "
                                                 "qelctl --port (\\S+) restore 23000 --at (\\S+)\\n"));
    const QRegularExpressionMatch m = undo.match(r.err);
    QVERIFY2(m.hasMatch(), qPrintable(r.err));
    QCOMPARE(m.captured(2), link);
    QCOMPARE(readAll(m.captured(1)), before);
    QVERIFY(sim.state() != before); // part of the new settings went in

    // What the message says to run.
    r = run({"restore", "23000", "--at", m.captured(3)}, link);
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines.size(), 1);
    QVERIFY2(r.lines[0].startsWith(QStringLiteral("restored %1 (first seen ").arg(m.captured(1))), qPrintable(r.lines[0]));
    QCOMPARE(sim.state(), before);

    // The history: the copy a write kept before it wrote is marked, and
    // what changed between the last two is listed by name.
    r = run({"history", "23000", "--json"});
    QCOMPARE(r.exit, 0);
    const QJsonArray copies = QJsonDocument::fromJson(r.lines.join(u'\n').toUtf8()).array();
    QCOMPARE(copies.size(), 3); // before, the cut write's mix, after the restore
    QVERIFY(copies[1].toObject().value("keptBeforeWrite").toBool());
    QCOMPARE(copies[0].toObject().value("path").toString(), m.captured(1));
    r = run({"history", "23000", "--diff"});
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.lines.value(0).startsWith(QStringLiteral("Measurement mode (測定モード, F1): ")), qPrintable(r.lines.join('\n')));

    // Another converter's serial number: nothing written.
    r = run({"restore", "23001"}, link);
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains(QStringLiteral("serial number is 23000, not 23001; nothing written")), qPrintable(r.err));
}

void TestQelctlUndo::noKeepSendsWhatWriteAlwaysSent_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("5600") << "5600";
    QTest::newRow("527") << "527";
}

// Byte for byte on the simulator's line: write --no-keep sends detection
// and the write's exchange, as write always did; write sends the same with
// one full read of a 5600 between them (a 52X's image comes with detection).
void TestQelctlUndo::noKeepSendsWhatWriteAlwaysSent()
{
    QFETCH(QString, type);
    SimPty sim;
    QVERIFY2(sim.start({"--type", type, "--serial", type == "5600" ? "24000" : "740"}), qPrintable(sim.errorText()));
    const auto commandsOf = [&](const QStringList &args) {
        const qsizetype from = sim.commands().size();
        const QelctlRun r = run(args, sim.path());
        return r.exit == 0 ? sim.commands().mid(from) : QList<QByteArray>{"failed: " + r.err.toUtf8()};
    };
    const QList<QByteArray> detect = commandsOf({"detect"});
    const QList<QByteArray> read = commandsOf({"read", "-o", dir_.filePath("now.pdt")});
    ParameterRecord rec;
    rec.setBytes(readAll(dir_.filePath("now.pdt")));
    rec.setField(7, "9");
    const QString file = settingsFile("nokeep.pdt", rec);

    const QList<QByteArray> noKeep = commandsOf({"write", "--no-keep", file});
    const QList<QByteArray> keep = commandsOf({"write", file});
    QCOMPARE(noKeep.mid(0, detect.size()), detect);
    const QList<QByteArray> exchange = noKeep.mid(detect.size());
    if (type == "5600") {
        // The presence checks of the write button and of the write.
        QList<QByteArray> expected{"Q", "Q", "M"};
        expected << qel::WriteCommands56(rec) << "WP41,12250\r" << "E\r";
        QCOMPARE(exchange, expected);
        // The read's own commands after its presence check ("Q").
        const QList<QByteArray> fullRead = read.mid(detect.size() + 1);
        QCOMPARE(fullRead.value(1), QByteArray("M"));
        QCOMPARE(keep, detect + fullRead + exchange);
    } else {
        QCOMPARE(exchange.mid(0, 3), (QList<QByteArray>{"Q", "Q", "M"}));
        QVERIFY(exchange.value(3).startsWith("W"));
        QCOMPARE(exchange.mid(4), QList<QByteArray>{"E\r"});
        QCOMPARE(keep, noKeep);
    }
}

QTEST_GUILESS_MAIN(TestQelctlUndo)
#include "test_qelctl_undo.moc"
