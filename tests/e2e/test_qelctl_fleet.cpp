// The commands for many converters against qel-sim on pseudo-terminals:
// scan, backup and check (by --port and by a fleet file), write
// --expect-serial, and the device history every read keeps (in git too).
#include "QelctlRun.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <vector>

using qel::ParameterRecord;
using qel::test::QelctlRun;
using qel::test::SimPty;

class TestQelctlFleet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void scanFindsEveryConverter();
    void backupSavesEachAndReportsAFailedRead();
    void expectSerialRefusesTheWrongConverter_data();
    void expectSerialRefusesTheWrongConverter();
    void historyKeepsEachChangeOnce();
    void fleetFileGoodAndBadLines();
    void checkComparesEachWithItsApprovedFile();
    void historyInGitCommitsEachNewCopy();
    void cleanupTestCase();

private:
    QelctlRun run(const QStringList &args, const QString &port);
    void writeFile(const QString &path, const QByteArray &bytes);
    QStringList historyFiles();
    QTemporaryDir dir_;
    QTemporaryDir data_; // XDG_DATA_HOME of the runs
};

QelctlRun TestQelctlFleet::run(const QStringList &args, const QString &port)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07"));
    return qel::test::runQelctl(port, args, env);
}

QStringList TestQelctlFleet::historyFiles()
{
    QStringList files;
    QDirIterator it(data_.filePath(QStringLiteral("qel-settings/history")), {QStringLiteral("*.pdt")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(data_.path().size() + 1);
    files.sort();
    return files;
}

void TestQelctlFleet::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
}

static QJsonArray jsonArray(const QelctlRun &r)
{
    return QJsonDocument::fromJson(r.lines.join(QLatin1Char('\n')).toUtf8()).array();
}

void TestQelctlFleet::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    QVERIFY(dir_.isValid() && data_.isValid());
}

void TestQelctlFleet::scanFindsEveryConverter()
{
    SimPty a, b, c;
    QVERIFY2(a.start({"--type", "5600", "--serial", "21111"}), qPrintable(a.errorText()));
    QVERIFY2(b.start({"--type", "521", "--serial", "22222"}), qPrintable(b.errorText()));
    QVERIFY2(c.start({"--type", "527", "--serial", "33333"}), qPrintable(c.errorText()));
    const QString missing = dir_.filePath(QStringLiteral("no-such-tty"));

    // The first port as the global option, the others after the command. A
    // port given that does not open fails the scan, told once by its problem.
    QelctlRun r = qel::test::runQelctl(a.path(), {"scan", "--port", b.path(), "--port", c.path(),
                                                  "--port", missing, "--json"});
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains("qelctl: " + missing + ": no such device"), qPrintable(r.err));
    QVERIFY2(!r.err.contains("no converter answered"), qPrintable(r.err));
    const QJsonArray all = QJsonDocument::fromJson(r.lines.join(QLatin1Char('\n')).toUtf8()).array();
    QCOMPARE(all.size(), 4);
    const QStringList expect[] = {{a.path(), "5600", "21111"},
                                  {b.path(), "521", "22222"},
                                  {c.path(), "527", "33333"},
                                  {missing, "none", ""}};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject o = all[i].toObject();
        QCOMPARE(o.value("port").toString(), expect[i][0]);
        QCOMPARE(o.value("type").toString(), expect[i][1]);
        QCOMPARE(o.value("serial").toString(), expect[i][2]);
    }
    QVERIFY(!all[0].toObject().value("version").toString().isEmpty());

    // Text form: one line a port; nothing answering at all is exit 1.
    r = run({"scan"}, missing);
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.lines, QStringList{missing + "\tnone\t-\t-"});

    // Without --port: the ports found, by their by-id link, then the stored
    // COM paths; a converter both found and stored under another of its
    // names is probed once.
    const QString byId = dir_.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    QVERIFY(QFile::link(a.path(), byId));
    QFile list(dir_.filePath(QStringLiteral("ports.tsv")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write((a.path() + "\t" + byId + "\tFT232R USB UART\tFTDI\tA1B2C3\n").toUtf8());
    list.close();
    QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("config/QEL-5600"))));
    QFile conf(dir_.filePath(QStringLiteral("config/QEL-5600/QEL-5600.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(("[DevicePath]\nCOM1=" + a.path() + "\nCOM2=" + b.path() + "\n").toUtf8());
    conf.close();
    QProcessEnvironment env;
    env.insert(QStringLiteral("QEL_PORT_LIST"), list.fileName());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    r = qel::test::runQelctl(QString(), {"scan"}, env);
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines.size(), 2);
    QVERIFY2(r.lines[0].startsWith(byId + "\t5600\t21111\t"), qPrintable(r.lines[0]));
    QVERIFY2(r.lines[1].startsWith(b.path() + "\t521\t22222\t"), qPrintable(r.lines[1]));
}

void TestQelctlFleet::backupSavesEachAndReportsAFailedRead()
{
    SimPty good56, good52, broken;
    QVERIFY2(good56.start({"--type", "5600", "--serial", "24444"}), qPrintable(good56.errorText()));
    QVERIFY2(good52.start({"--type", "521", "--serial", "15555"}), qPrintable(good52.errorText()));
    QVERIFY2(broken.start({"--type", "5600", "--serial", "26666", "--fault", "RP02:wrong:123\\r"}),
             qPrintable(broken.errorText()));
    const QString out = dir_.filePath(QStringLiteral("backup"));

    QelctlRun r = run({"backup", out, "--port", good52.path(), "--port", broken.path()},
                      good56.path());
    QCOMPARE(r.exit, 1); // the broken one answered detection but not its read
    QVERIFY2(r.err.contains(broken.path()), qPrintable(r.err));
    QCOMPARE(r.lines.size(), 2);
    const QRegularExpression name(QStringLiteral("/(5600-24444|521-15555)-\\d{8}-\\d{6}\\.pdt$"));
    QStringList saved = QDir(out).entryList(QDir::Files, QDir::Name);
    QCOMPARE(saved.size(), 2);
    for (const QString &line : r.lines) {
        QVERIFY2(name.match(line).hasMatch(), qPrintable(line));
        QFile f(line);
        QVERIFY(f.open(QIODevice::ReadOnly));
        ParameterRecord rec;
        rec.setBytes(f.readAll());
        QCOMPARE(rec.field(32).trimmed(), line.contains("5600-") ? QByteArray("24444") : QByteArray("15555"));
    }
    QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).size() == 2); // no temporary left

    // All well: exit 0. A port given that does not answer counts: its
    // own line, exit 1, the others still saved.
    r = run({"backup", out}, good52.path());
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.lines.size(), 1);
    SimPty silent;
    QVERIFY2(silent.start({"--type", "5600", "--fault", "Q:silence", "--fault", "E:silence"}),
             qPrintable(silent.errorText()));
    r = run({"backup", out, "--port", silent.path()}, good52.path());
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.lines.size(), 1);
    QVERIFY2(r.err.contains("qelctl: " + silent.path() + ": no converter answered\n"), qPrintable(r.err));

    // A folder named in Shift-JIS ("テスト") is made and written under those
    // bytes, and the file is named in them.
    const QByteArray sjis("\x83\x65\x83\x58\x83\x67");
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("P"), good52.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("N=$(printf '\\203\\145\\203\\130\\203\\147'); "
                                                  "exec \"$QELCTL\" --port \"$P\" backup \"$N/sub\"")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray said = p.readAllStandardOutput();
    QVERIFY2(said.startsWith(sjis + "/sub/521-15555-"), said.toHex(' ').constData());
    struct stat st;
    QCOMPARE(::stat((QFile::encodeName(dir_.path()) + '/' + said.trimmed()).constData(), &st), 0);
}

void TestQelctlFleet::expectSerialRefusesTheWrongConverter_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("writeCommand");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("other");
    QTest::newRow("5600") << "5600" << QByteArray("WP") << "27700" << "27701";
    QTest::newRow("527") << "527" << QByteArray("W") << "770" << "771";
}

void TestQelctlFleet::expectSerialRefusesTheWrongConverter()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, writeCommand);
    QFETCH(QString, serial);
    QFETCH(QString, other);
    ParameterRecord rec;
    rec.setField(2, "02500");
    const QString file = dir_.filePath(QStringLiteral("expect-%1.pdt").arg(type));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(rec.bytes()) == 74);
    f.close();

    SimPty sim;
    QVERIFY2(sim.start({"--type", type, "--serial", serial}), qPrintable(sim.errorText()));
    const QByteArray before = sim.state();
    QelctlRun r = run({"write", file, "--expect-serial", other}, sim.path());
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains(serial) && r.err.contains(other), qPrintable(r.err));
    for (const QByteArray &c : sim.commands())
        QVERIFY2(!c.startsWith(writeCommand), c.constData());
    QCOMPARE(sim.state(), before);

    // The right one (leading zeros do not matter) is written and verified.
    r = run({"write", "--verify", file, "--expect-serial", "0" + serial}, sim.path());
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    ParameterRecord device;
    device.setBytes(sim.state());
    QCOMPARE(device.field(2), QByteArray("02500"));

    r = run({"write", file, "--expect-serial"}, sim.path());
    QCOMPARE(r.exit, 2);
}

// An unchanged converter read twice: one copy, seen twice.
void TestQelctlFleet::historyKeepsEachChangeOnce()
{
    QDir(data_.path()).removeRecursively();
    QDir().mkpath(data_.path());
    SimPty sim, broken;
    QVERIFY2(sim.start({"--type", "521", "--serial", "8888"}), qPrintable(sim.errorText()));
    QVERIFY2(broken.start({"--type", "5600", "--serial", "9999", "--fault", "RP02:wrong:123\\r"}),
             qPrintable(broken.errorText()));

    QCOMPARE(run({"read", "-o", dir_.filePath("h1.pdt")}, sim.path()).exit, 0);
    QCOMPARE(run({"read", "-o", dir_.filePath("h2.pdt")}, sim.path()).exit, 0);
    QCOMPARE(run({"read", "-o", dir_.filePath("h3.pdt")}, broken.path()).exit, 1);
    QCOMPARE(run({"detect"}, broken.path()).exit, 0); // no read of the settings

    const QStringList files = historyFiles();
    QCOMPARE(files.size(), 1);
    for (const QString &p : files) {
        QVERIFY2(p.startsWith("qel-settings/history/521-8888/"), qPrintable(p));
        QFile f(data_.filePath(p));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QFile read(dir_.filePath("h1.pdt"));
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), read.readAll());
    }
    // Nothing extra on the line: the commands a read sends, twice.
    QCOMPARE(sim.commands().count("R\r"), 4);

    QelctlRun r = run({"history", "8888"}, sim.path());
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.lines.size(), 1);
    QVERIFY(r.lines[0].contains("\t521\t8888\t"));
    r = run({"history", "9999"}, sim.path());
    QCOMPARE(r.lines.size(), 0);
}

void TestQelctlFleet::fleetFileGoodAndBadLines()
{
    SimPty a, b;
    QVERIFY2(a.start({"--type", "5600", "--serial", "21111"}), qPrintable(a.errorText()));
    QVERIFY2(b.start({"--type", "521", "--serial", "22222"}), qPrintable(b.errorText()));
    const QString missing = dir_.filePath(QStringLiteral("no-such-tty"));
    const QString fleet = dir_.filePath(QStringLiteral("fleet"));
    writeFile(fleet, QStringLiteral("# cabinet 4\n"
                                    "\n"
                                    "%1 pump-4 21111   # the first one\r\n"
                                    "%2\t-\t99999\n"
                                    "ttyUSB0\n"
                                    "%1 again\n"
                                    "rfc2217://host\n"
                                    "%3 ghost 1 extra\n"
                                    "%3 ghost\n")
                         .arg(a.path(), b.path(), missing)
                         .toUtf8());

    // The good lines run, one line a port with the file's name last; the
    // bad ones are told by number and make the exit 3.
    QelctlRun r = run({"scan", "--fleet", fleet}, QString());
    QCOMPARE(r.exit, 3);
    QCOMPARE(r.lines.size(), 3);
    QVERIFY2(r.lines[0].startsWith(a.path() + "\t5600\t21111\t") && r.lines[0].endsWith("\tpump-4"),
             qPrintable(r.lines[0]));
    QVERIFY2(r.lines[1].startsWith(b.path() + "\t521\t22222\t") && r.lines[1].endsWith("\t-"),
             qPrintable(r.lines[1]));
    QCOMPARE(r.lines[2], missing + "\tnone\t-\t-\tghost");
    for (int line = 1; line <= 9; ++line)
        QCOMPARE(r.err.contains(QStringLiteral("%1:%2: ").arg(fleet).arg(line)), line >= 5 && line <= 8);
    QVERIFY2(r.err.contains("serial number 22222, the fleet file expects 99999"), qPrintable(r.err));
    QVERIFY2(r.err.contains(missing + " (ghost): no converter answered"), qPrintable(r.err));

    const QJsonArray all = jsonArray(run({"scan", "--fleet", fleet, "--json"}, QString()));
    QCOMPARE(all.size(), 3);
    QCOMPARE(all[0].toObject().value("name").toString(), QStringLiteral("pump-4"));
    QCOMPARE(all[0].toObject().value("expectedSerial").toString(), QStringLiteral("21111"));
    QVERIFY(!all[0].toObject().contains("serialMismatch"));
    QVERIFY(all[1].toObject().value("serialMismatch").toBool());

    // backup: every listed converter that answers is saved; one that does
    // not fails the run without stopping the others.
    const QString good = dir_.filePath(QStringLiteral("fleet-good"));
    writeFile(good, (a.path() + " pump-4 021111\n" + b.path() + "\n").toUtf8());
    const QString out = dir_.filePath(QStringLiteral("fleet-backup"));
    r = run({"backup", out, "--fleet", good}, QString());
    QVERIFY2(r.exit == 0, qPrintable(r.err));
    QCOMPARE(r.lines.size(), 2);
    writeFile(good, (a.path() + "\n" + b.path() + "\n" + missing + " ghost\n").toUtf8());
    r = run({"backup", out, "--fleet", good}, QString());
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.lines.size(), 2);
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);

    // A fleet file that cannot be read runs nothing.
    r = run({"backup", out, "--fleet", dir_.filePath(QStringLiteral("no-fleet"))}, QString());
    QCOMPARE(r.exit, 3);
    QVERIFY(r.lines.isEmpty());
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);
}

void TestQelctlFleet::checkComparesEachWithItsApprovedFile()
{
    struct Case {
        const char *type, *serial;
        enum { Same, FullScaleChanged, None, Short, NoConverter } approved;
        const char *fileName; // in the approved folder
        int exit;
        const char *status;
    };
    const Case cases[] = {
        {"5600", "23001", Case::Same, "23001.pdt", 0, "same"},
        {"521", "1502", Case::FullScaleChanged, "521-1502.pdt", 1, "differs"},
        {"527", "703", Case::None, nullptr, 1, "noApprovedFile"},
        {"5600", "23005", Case::Short, "23005.pdt", 3, "approvedFileError"},
        {nullptr, nullptr, Case::NoConverter, nullptr, 1, "notAnswering"},
    };
    const QString approved = dir_.filePath(QStringLiteral("approved"));
    QVERIFY(QDir().mkpath(approved));
    std::vector<std::unique_ptr<SimPty>> sims;
    QStringList ports, all;
    for (const Case &c : cases) {
        if (!c.type) {
            ports << dir_.filePath(QStringLiteral("unplugged"));
            continue;
        }
        sims.push_back(std::make_unique<SimPty>());
        QVERIFY2(sims.back()->start({"--type", c.type, "--serial", c.serial}), qPrintable(sims.back()->errorText()));
        ports << sims.back()->path();
        if (!c.fileName)
            continue;
        // Approved as a technician approves: a read of the converter, edited.
        const QString file = approved + '/' + c.fileName;
        QCOMPARE(run({"read", "-o", file}, ports.last()).exit, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        ParameterRecord rec;
        rec.setBytes(f.readAll());
        f.close();
        if (c.approved == Case::FullScaleChanged)
            rec.setField(2, "02500");
        writeFile(file, c.approved == Case::Short ? rec.bytes().left(20) : rec.bytes());
    }
    const int kept = historyFiles().size();

    // Each alone: its exit code and its JSON.
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const Case &c = cases[i];
        const QelctlRun r = run({"check", approved, "--json"}, ports[i]);
        QVERIFY2(r.exit == c.exit, qPrintable(QStringLiteral("%1: exit %2 %3").arg(ports[i]).arg(r.exit).arg(r.err)));
        const QJsonArray got = jsonArray(r);
        QCOMPARE(got.size(), 1);
        const QJsonObject o = got[0].toObject();
        QCOMPARE(o.value("status").toString(), QString::fromLatin1(c.status));
        QCOMPARE(o.value("port").toString(), ports[i]);
        if (c.type)
            QCOMPARE(o.value("serial").toString(), QString::fromLatin1(c.serial));
        const QJsonArray diffs = o.value("differences").toArray();
        QCOMPARE(diffs.size(), c.approved == Case::FullScaleChanged ? 1 : 0);
        if (!diffs.isEmpty()) {
            const QJsonObject d = diffs[0].toObject();
            QCOMPARE(d.value("setting").toString(), QStringLiteral("fullScale"));
            QCOMPARE(d.value("approved").toObject().value("raw").toString(), QStringLiteral("02500E+0H"));
            QCOMPARE(d.value("device").toObject().value("raw").toString(), QStringLiteral("01000E+0H"));
        }
        if (c.approved == Case::None)
            QCOMPARE(o.value("lookedFor").toArray().size(), 2);
    }
    // Every converter that answered was read: those read to be approved are
    // as that read found them (seen again, no copy added); the one without
    // an approved file was never read before (one copy).
    QCOMPARE(historyFiles().size(), kept + 1);

    // All at once: one line a converter in the order given, the worst exit.
    for (const QString &p : ports)
        all << "--port" << p;
    const QelctlRun r = run(QStringList{"check", approved} + all, QString());
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.lines.size() == 5, qPrintable(r.lines.join('\n')));
    const char *said[] = {"\tsame", "\tdiffers: Full scale (F2-F6): approved 2500 Hz", "\tno approved file (",
                          "\tapproved file unusable: ", "\tnot answering: "};
    for (int i = 0; i < 5; ++i)
        QVERIFY2(r.lines[i].startsWith(ports[i] + "\t-\t") && r.lines[i].contains(said[i]), qPrintable(r.lines[i]));

    // From what a backup has just written, nothing read again: the same
    // line a converter that answered, the file in the port's place.
    const QString backups = dir_.filePath(QStringLiteral("check-backup"));
    QStringList backed{"backup", backups};
    for (int i = 0; i < 4; ++i)
        backed << "--port" << ports[i];
    QCOMPARE(run(backed, QString()).exit, 0);
    const qsizetype sent = sims[0]->commands().size();
    const QelctlRun from = run({"check", approved, "--from", backups}, QString());
    QCOMPARE(from.exit, 3);
    QCOMPARE(sims[0]->commands().size(), sent);
    QCOMPARE(from.lines.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QString file = QStringLiteral("%1/%2-%3-")
                                 .arg(backups, QString::fromLatin1(cases[i].type), QString::fromLatin1(cases[i].serial));
        const auto line = std::find_if(from.lines.begin(), from.lines.end(),
                                       [&](const QString &l) { return l.startsWith(file); });
        QVERIFY2(line != from.lines.end() && line->contains(said[i]), qPrintable(from.lines.join('\n')));
    }
    QCOMPARE(run({"check", approved, "--from", dir_.filePath("no-such-folder")}, QString()).exit, 3);
    QCOMPARE(run({"check", approved, "--from", backups, "--port", ports[0]}, QString()).exit, 2);

    // Usage and file problems.
    QCOMPARE(run({"check", dir_.filePath("no-such-folder")}, ports[0]).exit, 3);
    QCOMPARE(run({"check"}, ports[0]).exit, 2);
}

void TestQelctlFleet::historyInGitCommitsEachNewCopy()
{
    const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
    if (git.isEmpty())
        QSKIP("git is not installed");
    QTemporaryDir data;
    const QString root = data.filePath(QStringLiteral("qel-settings/history"));
    QVERIFY(QDir().mkpath(root));
    // No identity anywhere: the commits are made as qel-settings.
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("HOME"), data.path());
    env.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07"));
    const auto gitSays = [&](const QStringList &args) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &k : env.keys())
            e.insert(k, env.value(k));
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(root);
        p.start(git, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const auto commits = [&] { return gitSays({"rev-list", "--count", "--all"}).trimmed().toInt(); };
    const auto qelctl = [&](const QStringList &args, const QString &port) {
        return qel::test::runQelctl(port, args, env);
    };
    gitSays({"init", "-q"});

    SimPty sim, other;
    QVERIFY2(sim.start({"--type", "5600", "--serial", "25555"}), qPrintable(sim.errorText()));
    QVERIFY2(other.start({"--type", "527", "--serial", "777"}), qPrintable(other.errorText()));
    const QString first = dir_.filePath(QStringLiteral("git-first.pdt"));
    QelctlRun r = qelctl({"read", "-o", first}, sim.path());
    QVERIFY2(r.exit == 0 && r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(commits(), 1);
    QCOMPARE(gitSays({"log", "-1", "--format=%an"}).trimmed(), QStringLiteral("qel-settings"));
    QVERIFY(gitSays({"log", "-1", "--format=%s"}).startsWith("5600-25555: settings as read "));
    // settings.txt is the listing `show` prints of the copy.
    QFile listing(root + QStringLiteral("/5600-25555/settings.txt"));
    QVERIFY(listing.open(QIODevice::ReadOnly));
    const QStringList shown = qelctl({"show", first, "--type", "5600"}, QString()).lines.mid(1);
    QCOMPARE(QString::fromUtf8(listing.readAll()).split(u'\n', Qt::SkipEmptyParts), shown);

    // Changed at the converter: the next read's commit shows the change.
    ParameterRecord changed;
    changed.setBytes(sim.state());
    changed.setField(2, "02500");
    const QString file = dir_.filePath(QStringLiteral("git-changed.pdt"));
    writeFile(file, changed.bytes());
    QCOMPARE(qelctl({"write", file}, sim.path()).exit, 0);
    QCOMPARE(commits(), 1); // what it replaced is the copy of the read: no new copy
    QCOMPARE(qelctl({"read", "-o", first}, sim.path()).exit, 0);
    QCOMPARE(commits(), 2);
    const QString patch = gitSays({"show", "HEAD", "--", "5600-25555/settings.txt"});
    QVERIFY2(patch.contains(QRegularExpression(QStringLiteral("\n-  Full scale[^\n]*\"01000E\\+0H\""))), qPrintable(patch));
    QVERIFY2(patch.contains(QRegularExpression(QStringLiteral("\n\\+  Full scale[^\n]*\"02500E\\+0H\""))), qPrintable(patch));

    // Unchanged: no new copy, no commit.
    QCOMPARE(qelctl({"read", "-o", first}, sim.path()).exit, 0);
    QCOMPARE(commits(), 2);

    // Two converters read at once, with the repository's own identity:
    // one commit each, nothing left over.
    gitSays({"config", "user.name", "Plant A"});
    gitSays({"config", "user.email", "plant@example.invalid"});
    const int before = commits();
    writeFile(file, ParameterRecord().bytes());
    QCOMPARE(qelctl({"write", "--no-keep", file}, sim.path()).exit, 0); // a change the history has not seen
    r = qelctl({"backup", dir_.filePath("git-backup"), "--port", other.path()}, sim.path());
    QVERIFY2(r.exit == 0 && !r.err.contains("kept, but"), qPrintable(r.err));
    QCOMPARE(commits(), before + 2);
    QCOMPARE(gitSays({"log", "-2", "--format=%an"}).split(u'\n', Qt::SkipEmptyParts),
             QStringList({"Plant A", "Plant A"}));
    QCOMPARE(gitSays({"status", "--porcelain"}), QString());
}

void TestQelctlFleet::cleanupTestCase()
{
    // QTemporaryDir removes by names it can decode; the Shift-JIS folder made
    // above is not one of them, so rm takes the bytes as they are.
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir_.path()});
}

QTEST_GUILESS_MAIN(TestQelctlFleet)
#include "test_qelctl_fleet.moc"
