// Ports through qelctl on real files: `qelctl ports` lists what is found
// (here from a fake list); a port that does not open is refused with the
// path and what is wrong, exit 1, nothing put on any line; a line held by
// one qelctl is refused to a second one, whatever path it takes; the program
// started with --port on a first run asks for no port.
#include "QelctlRun.h"
#include "SimPty.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using qel::test::runQelctl;
using qel::test::SimPty;

class PortsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("QELCTL").isEmpty(), "QELCTL not set");
        QVERIFY(dir_.isValid());
    }

    void listsFoundPorts()
    {
        const QString list = dir_.filePath("ports.tsv");
        QFile f(list);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\t"
                "FT232R USB UART\tFTDI\tA1B2C3\n/dev/ttyS0\t\t\t\t\n");
        f.close();
        QProcessEnvironment env;
        env.insert("QEL_PORT_LIST", list);
        auto r = runQelctl(QString(), {"ports"}, env);
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.lines, (QStringList{"/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\t"
                                       "FT232R USB UART\tFTDI\tA1B2C3",
                                       "/dev/ttyS0\t\t\t\t"}));
        r = runQelctl(QString(), {"ports", "--json"}, env);
        QCOMPARE(r.exit, 0);
        const QJsonArray a = QJsonDocument::fromJson(r.lines.join('\n').toUtf8()).array();
        QCOMPARE(a.size(), 2);
        QCOMPARE(a[0].toObject().value("by_id").toString(),
                 QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
        QCOMPARE(a[0].toObject().value("serial").toString(), QStringLiteral("A1B2C3"));
        QCOMPARE(a[1].toObject().value("manufacturer").toString(), QString());

        // None found: nothing listed, and that is no failure.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.close();
        r = runQelctl(QString(), {"ports"}, env);
        QCOMPARE(r.exit, 0);
        QVERIFY(r.lines.isEmpty());

        // The machine's own list: its first serial port when there is one.
        r = runQelctl(QString(), {"ports"});
        QCOMPARE(r.exit, 0);
        if (QFile::exists("/dev/ttyS0"))
            QVERIFY2(r.lines.join('\n').contains("/dev/ttyS0\t"), qPrintable(r.lines.join('\n')));
    }

    void refusedPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << dir_.filePath("ttyS9") << QStringLiteral("no such device");
        QTest::newRow("missing USB adapter")
            << dir_.filePath("ttyUSB0") << QStringLiteral("no such device (is the adapter plugged in?)");
        QTest::newRow("dangling link") << dir_.filePath("gone") << QStringLiteral("no such device");
        QTest::newRow("regular file") << dir_.filePath("file.pdt") << QStringLiteral("not a serial device");
        QTest::newRow("not a terminal") << QStringLiteral("/dev/null") << QStringLiteral("not a serial device");
    }
    void refusedPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, cause);
        QFile::link(dir_.filePath("nowhere"), dir_.filePath("gone"));
        QFile f(dir_.filePath("file.pdt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(74, '0'));
        f.close();

        for (const QStringList &args : {QStringList{"detect"}, QStringList{"read", "-o", dir_.filePath("out.pdt")},
                                        QStringList{"write", dir_.filePath("file.pdt")}}) {
            const auto r = runQelctl(path, args);
            QCOMPARE(r.exit, 1);
            QVERIFY2(r.err.startsWith(QStringLiteral("qelctl: %1: %2\n").arg(path, cause)), qPrintable(r.err));
        }
        QVERIFY(!QFile::exists(dir_.filePath("out.pdt")));
        QCOMPARE(f.size(), 74); // the regular file never written as a line
    }

    // Two qelctl on one pseudo-terminal, one through a symlink and one through
    // the device itself: the second is refused and told who holds the line.
    void heldLineRefusedThroughAnyPath()
    {
        SimPty sim;
        const QString link = dir_.filePath("line");
        QVERIFY(sim.start({"--type", "5600", "--link", link}));
        QProcess holder;
        holder.start(qEnvironmentVariable("QELCTL"),
                     {"--port", link, "monitor", "--count", "100000"});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine(), 10000); // it holds the line now
        const auto before = sim.commands().size();

        for (const QString &path : {sim.path(), link}) {
            const auto r = runQelctl(path, {"write", dir_.filePath("file.pdt")});
            QCOMPARE(r.exit, 1);
            QVERIFY2(r.err.startsWith(QStringLiteral("qelctl: %1: in use by another program (process %2)\n")
                                          .arg(path)
                                          .arg(holder.processId())),
                     qPrintable(r.err));
        }
        // Nothing of the refused writes reached the device (only the
        // monitor's polls).
        for (const QByteArray &c : sim.commands().mid(before))
            QVERIFY2(!c.startsWith("WP"), c.constData());

        holder.terminate();
        QVERIFY(holder.waitForFinished(10000));
        const auto r = runQelctl(sim.path(), {"detect"});
        QCOMPARE(r.exit, 0); // free again once the holder is gone
    }

    // A first run (nothing stored) started with --port asks for no port: the
    // port window's choice would not change where this run talks. The main
    // window comes up with the device read through the given path.
    void programWithPortAsksNoPortOnFirstRun()
    {
        const QString program = qEnvironmentVariable("QEL_SETTINGS");
        if (program.isEmpty())
            QSKIP("qel-settings is not built");
        SimPty sim;
        QVERIFY(sim.start({"--type", "5600"}));
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("QEL_STARTUP_REPORT", "exit"); // ends once the main window is up
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(program, {"--port", sim.path()});
        if (!app.waitForFinished(60000)) {
            app.kill();
            app.waitForFinished();
            QFAIL("the program did not reach its main window (a window waited for an answer)");
        }
        QCOMPARE(app.exitCode(), 0);
        QVERIFY(app.readAllStandardError().contains("startup: main window"));
        // The read went through: it is kept in the device history.
        const QStringList kept = QDir(home.filePath("data/qel-settings/history"))
                                     .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(kept.size(), 1);
    }

    // A node the user may not open: the message names its group and the
    // command that lets the user in, but only a group that may read and
    // write it, and never root's; otherwise it says who may open it and
    // points to the udev rule. Needs root to make an unprivileged user.
    void permissionHint_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("cause"); // %1 the group
        const QString onlyRoot = QStringLiteral(
            "permission denied: only root may open it (mode %1); a udev rule can give it to group dialout "
            "(example: /usr/share/doc/qelctl/examples/70-qel-settings-serial.rules), then add yourself "
            "with 'sudo usermod -aG dialout $USER' and log in again");
        QTest::newRow("dialout may") << "dialout" << 0660
                                     << "permission denied: the device belongs to group %1; add yourself with "
                                        "'sudo usermod -aG %1 $USER', then log in again";
        QTest::newRow("root only") << "root" << 0600 << onlyRoot.arg("0600");
        QTest::newRow("group root") << "root" << 0660 << onlyRoot.arg("0660");
        QTest::newRow("group may only read") << "dialout" << 0640 << onlyRoot.arg("0640");
    }
    void permissionHint()
    {
        QFETCH(QString, group);
        QFETCH(int, mode);
        QFETCH(QString, cause);
        if (::geteuid() != 0)
            QSKIP("QSKIP: needs root to run qelctl as an unprivileged user");
        SimPty sim;
        QVERIFY(sim.start({"--type", "5600"}));
        const QByteArray node = QFile::encodeName(sim.path());
        struct group *g = ::getgrnam(group.toLocal8Bit().constData());
        const gid_t gid = g ? g->gr_gid : (group == "root" ? 0 : 20);
        QVERIFY(::chown(node.constData(), 0, gid) == 0);
        QVERIFY(::chmod(node.constData(), mode_t(mode)) == 0);
        const QString name = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);

        QProcess p;
        p.start(QStringLiteral("setpriv"),
                {"--reuid=65534", "--regid=65534", "--clear-groups", qEnvironmentVariable("QELCTL"),
                 "--port", sim.path(), "detect"});
        QVERIFY(p.waitForFinished(30000));
        if (p.exitCode() == 127 || p.error() == QProcess::FailedToStart)
            QSKIP("QSKIP: setpriv cannot run qelctl here");
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(err, QStringLiteral("qelctl: %1: %2\n").arg(sim.path(), cause.arg(name)));
        QVERIFY(sim.commands().isEmpty());
    }

    // Other programs lock a line with a UUCP lock file (LCK..pts_N in the
    // lock folder, their process id in ASCII). A live holder's lock refuses
    // the line and stays as it was; a stale one (its process gone) is taken;
    // one that names no process refuses with the holder unknown (never this
    // process). Nothing reaches the line while it is refused.
    void otherProgramsLockFiles_data()
    {
        QTest::addColumn<QString>("holder"); // "live", "gone" or "none"
        QTest::addColumn<QByteArray>("content"); // %1 the holder's id
        QTest::addColumn<QString>("cause"); // %1 the holder's id, %2 the lock file; empty: the line is free
        QTest::newRow("live, UUCP form") << "live" << QByteArray("%1\n") << "in use by another program (process %1)";
        QTest::newRow("live, with a name") << "live" << QByteArray("%1\nminicom\n") << "in use by another program (process %1)";
        QTest::newRow("gone") << "gone" << QByteArray("%1\n") << QString();
        QTest::newRow("empty") << "none" << QByteArray()
                               << "in use by another program (its lock file %2 names no process: holder unknown)";
        QTest::newRow("no number") << "none" << QByteArray("locked\n")
                                   << "in use by another program (its lock file %2 names no process: holder unknown)";
    }
    void otherProgramsLockFiles()
    {
        QFETCH(QString, holder);
        QFETCH(QByteArray, content);
        QFETCH(QString, cause);
        const QString folder = QFileInfo(QStringLiteral("/var/lock")).canonicalFilePath();
        if (folder.isEmpty() || ::access(QFile::encodeName(folder).constData(), W_OK) != 0)
            QSKIP("QSKIP: the lock folder is not writable here");
        SimPty sim;
        QVERIFY(sim.start({"--type", "5600"}));
        const QString lock = QStringLiteral("%1/LCK..%2").arg(folder, sim.path().mid(5).replace('/', '_'));

        QProcess other;
        qint64 pid = 0;
        if (holder != QLatin1String("none")) {
            other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
            QVERIFY(other.waitForStarted());
            pid = other.processId();
            if (holder == QLatin1String("gone")) {
                other.kill();
                QVERIFY(other.waitForFinished());
            }
        }
        const QByteArray bytes = content.contains('%') ? QString::fromLatin1(content).arg(pid, 10).toLatin1() : content;
        QFile f(lock);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        const auto removeLock = qScopeGuard([&] { QFile::remove(lock); });

        const auto r = runQelctl(sim.path(), {"detect"});
        if (cause.isEmpty()) {
            QCOMPARE(r.exit, 0);
            QCOMPARE(r.lines, QStringList{"5600"});
            QVERIFY(!QFile::exists(lock)); // taken, and left again at the end
        } else {
            QCOMPARE(r.exit, 1);
            QCOMPARE(r.err, QStringLiteral("qelctl: %1: %2\n").arg(sim.path(), cause.contains("%1") ? cause.arg(pid) : cause.arg(lock)));
            QVERIFY(sim.commands().isEmpty());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), bytes); // never touched
        }
        if (holder == QLatin1String("live")) {
            other.kill();
            other.waitForFinished();
        }
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(PortsTest)
#include "test_ports.moc"
