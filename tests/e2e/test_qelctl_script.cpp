// qelctl as a plant script and a technician at a terminal use it, through
// the built tool against qel-sim on pseudo-terminals: outputs that are no
// files (standard output, FIFOs) and a stop signal while one is full, input
// refused before anything goes on the line, the tool's options after the
// command, one device under two names, JSON and nothing else on stdout, one
// language a line in every locale, and the wire trace.
#include "QelctlRun.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using qel::ParameterRecord;
using qel::test::SimPty;

namespace {

using Run = qel::test::QelctlRun;

// qelctl ARGS with `set` added to the environment and `unset` taken out.
Run qelctl(const QStringList &args, const QMap<QString, QString> &set = {}, const QStringList &unset = {},
           int timeoutMs = 60000)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QEL_TODAY"), QStringLiteral("2003-05-07"));
    for (auto it = set.begin(); it != set.end(); ++it)
        env.insert(it.key(), it.value());
    return qel::test::runQelctlWith(args, env, unset, timeoutMs);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QStringList lines(const QString &text)
{
    return text.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestQelctlScript : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void outputsThatAreNoFiles_data();
    void outputsThatAreNoFiles();
    void stopSignalEndsAWaitForAReader_data();
    void stopSignalEndsAWaitForAReader();
    void inputCheckedBeforeTheLine_data();
    void inputCheckedBeforeTheLine();
    void closedPipeEndsQuietly_data();
    void closedPipeEndsQuietly();
    void usageInWords_data();
    void usageInWords();
    void oneDeviceUnderTwoNames();
    void jsonAndNothingElse_data();
    void jsonAndNothingElse();
    void oneLanguageALine_data();
    void oneLanguageALine();
    void wireTrace_data();
    void wireTrace();

private:
    QTemporaryDir dir_;
    QString file_; // a settings file both generations take
};

void TestQelctlScript::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QELCTL"))
        QSKIP("QELCTL is not set");
    QVERIFY(dir_.isValid());
    file_ = dir_.filePath(QStringLiteral("plant.pdt"));
    ParameterRecord rec;
    rec.setField(2, "02500");
    QVERIFY(writeFile(file_, rec.bytes()));
}

// Standard output ("-" or /dev/stdout into a pipe) takes the read's record
// straight; a FIFO nobody reads is refused at once, before the port is
// taken and anything goes on the line.
void TestQelctlScript::outputsThatAreNoFiles_data()
{
    QTest::addColumn<QStringList>("args"); // %FIFO: a FIFO without a reader
    QTest::addColumn<int>("exit");
    QTest::addColumn<bool>("recordOnStdout");
    QTest::newRow("read -o -") << QStringList{"read", "-o", "-"} << 0 << true;
    QTest::newRow("read -o /dev/stdout") << QStringList{"read", "-o", "/dev/stdout"} << 0 << true;
    QTest::newRow("read into a FIFO nobody reads") << QStringList{"read", "-o", "%FIFO"} << 3 << false;
    QTest::newRow("monitor into a FIFO nobody reads") << QStringList{"monitor", "--csv", "%FIFO"} << 3 << false;
}

void TestQelctlScript::outputsThatAreNoFiles()
{
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(bool, recordOnStdout);
    const QString fifo = dir_.filePath(QStringLiteral("nobody-reads"));
    QFile::remove(fifo);
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    args.replaceInStrings(QStringLiteral("%FIFO"), fifo);

    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600", "--serial", "23456"}), qPrintable(sim.errorText()));
    const Run r = qelctl(QStringList{"--port", sim.path()} + args, {}, {}, 15000);
    QCOMPARE(r.exit, exit);
    if (recordOnStdout) {
        QCOMPARE(r.out.size(), ParameterRecord::Size);
        ParameterRecord got;
        got.setBytes(r.out);
        QCOMPARE(got.field(32), QByteArray("23456"));
        QCOMPARE(r.err, QString());
    } else {
        QCOMPARE(r.err, QStringLiteral("qelctl: %1: no program reads from this pipe (start the reader first)\n").arg(fifo));
        QVERIFY(sim.commands().isEmpty()); // refused before the line
    }
}

// A monitor whose CSV goes into a FIFO that its reader does not empty: the
// write waits, and a stop signal ends the wait and the run (the port free
// again at once), where it used to take kill -9.
void TestQelctlScript::stopSignalEndsAWaitForAReader_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestQelctlScript::stopSignalEndsAWaitForAReader()
{
    QFETCH(int, signal);
    const QString fifo = dir_.filePath(QStringLiteral("full"));
    QFile::remove(fifo);
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    // A reader that reads nothing, and the pipe filled up to the brim.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int filler = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0 && filler >= 0);
    const QByteArray junk(4096, 'x');
    while (::write(filler, junk.constData(), size_t(junk.size())) > 0) {
    }
    const auto closeFifo = qScopeGuard([&] {
        ::close(filler);
        ::close(reader);
    });

    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
    QProcess p;
    p.start(qEnvironmentVariable("QELCTL"), {"--port", sim.path(), "monitor", "--csv", fifo});
    QVERIFY(p.waitForStarted());
    // Detection done: the header waits for room in the pipe.
    QTRY_VERIFY_WITH_TIMEOUT(sim.commands().contains("Q"), 10000);
    QTest::qWait(300);
    ::kill(pid_t(p.processId()), signal);
    const bool ended = p.waitForFinished(5000);
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    QVERIFY2(ended, "the stop signal did not end the wait");
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 3); // the recording could not be completed
    QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("stopped by a signal")),
             "the reason is told");
    const Run again = qelctl({"--port", sim.path(), "detect"});
    QCOMPARE(again.exit, 0); // the port was left free
}

// Bad input is refused (exit 2) before anything goes on the line; the
// tool's own options work after the command too.
void TestQelctlScript::inputCheckedBeforeTheLine_data()
{
    QTest::addColumn<QStringList>("args"); // %SIM the simulated converter, %FILE a settings file
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("said"); // stdout, or the start of stderr for a usage error
    QTest::newRow("--expect-serial not a number")
        << QStringList{"--port", "%SIM", "write", "--expect-serial", "abc", "%FILE"} << 2
        << "qelctl: --expect-serial wants a serial number of up to five digits, not 'abc'";
    QTest::newRow("--expect-serial of six digits")
        << QStringList{"--port", "%SIM", "write", "--expect-serial", "123456", "%FILE"} << 2
        << "qelctl: --expect-serial wants a serial number of up to five digits, not '123456'";
    QTest::newRow("--port after the command") << QStringList{"detect", "--port", "%SIM"} << 0 << "5600\n";
    QTest::newRow("--port=DEVICE after the command") << QStringList{"detect", "--port=%SIM"} << 0 << "5600\n";
    QTest::newRow("--port after read's own option")
        << QStringList{"read", "-o", "-", "--port", "%SIM"} << 0 << QString();
    QTest::newRow("two devices") << QStringList{"--port", "%SIM", "detect", "--port", "/dev/null"} << 2
                                 << "qelctl: --port given twice";
}

void TestQelctlScript::inputCheckedBeforeTheLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QString, said);
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
    args.replaceInStrings(QStringLiteral("%SIM"), sim.path());
    args.replaceInStrings(QStringLiteral("%FILE"), file_);
    const Run r = qelctl(args);
    QCOMPARE(r.exit, exit);
    if (exit == 2) {
        QVERIFY2(r.err.startsWith(said), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(sim.commands().isEmpty());
    } else if (!said.isEmpty()) {
        QCOMPARE(QString::fromUtf8(r.out), said);
    } else {
        QCOMPARE(r.out.size(), ParameterRecord::Size);
    }
}

// `qelctl ... | head -1`: the reader goes away, and the tool ends as a
// closed pipe ends a shell's program, quietly with status 141, its port free.
void TestQelctlScript::closedPipeEndsQuietly_data()
{
    QTest::addColumn<QStringList>("args"); // %SIM the simulated converter, %FILE a settings file
    QStringList manyFiles{"show"};
    for (int i = 0; i < 300; ++i) // far more than a pipe holds
        manyFiles << "%FILE";
    QTest::newRow("show of many files") << manyFiles;
    QTest::newRow("monitor") << QStringList{"--port", "%SIM", "monitor", "--count", "50"};
}

void TestQelctlScript::closedPipeEndsQuietly()
{
    QFETCH(QStringList, args);
    SimPty sim;
    QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
    args.replaceInStrings(QStringLiteral("%SIM"), sim.path());
    args.replaceInStrings(QStringLiteral("%FILE"), file_);
    const QString err = dir_.filePath(QStringLiteral("pipe.err"));
    QProcess sh;
    sh.start(QStringLiteral("bash"),
             QStringList{"-c", R"("$0" "$@" 2>")" + err + R"(" | head -1 >/dev/null; echo "${PIPESTATUS[0]}")",
                         qEnvironmentVariable("QELCTL")}
                 + args);
    QVERIFY(sh.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()).trimmed(), QStringLiteral("141"));
    QFile said(err);
    QVERIFY(said.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(said.readAll()), QString());
    // The port is free at once.
    QCOMPARE(qelctl({"--port", sim.path(), "detect"}).lines, QStringList{"5600"});
}

// A wrong command line says what is wrong in one line (exit 2): the option
// that lacks its value, the command meant; a command's --help is its own.
void TestQelctlScript::usageInWords_data()
{
    QTest::addColumn<QStringList>("args"); // %FILE a settings file
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("out"); // the start of stdout
    QTest::addColumn<QString>("err"); // stderr, whole
    QTest::newRow("--port without its value") << QStringList{"--port"} << 2 << QString()
                                              << "qelctl: --port needs a value (see qelctl --help)\n";
    QTest::newRow("--port after the command without its value")
        << QStringList{"detect", "--port"} << 2 << QString() << "qelctl: --port needs a value (see qelctl --help)\n";
    QTest::newRow("a command's option without its value")
        << QStringList{"write", "%FILE", "--expect-serial"} << 2 << QString()
        << "qelctl: --expect-serial needs a value (see qelctl --help)\n";
    QTest::newRow("an option the tool does not know") << QStringList{"--bogus", "detect"} << 2 << QString()
                                                      << "qelctl: unknown option '--bogus' (see qelctl --help)\n";
    QTest::newRow("a mistyped command") << QStringList{"detcet"} << 2 << QString()
                                        << "qelctl: unknown command 'detcet'; did you mean 'detect'? (see qelctl --help)\n";
    QTest::newRow("the start of a command") << QStringList{"hist"} << 2 << QString()
                                            << "qelctl: unknown command 'hist'; did you mean 'history'? (see qelctl --help)\n";
    QTest::newRow("nothing near") << QStringList{"frobnicate"} << 2 << QString()
                                  << "qelctl: unknown command 'frobnicate' (see qelctl --help)\n";
    QTest::newRow("a command's --help") << QStringList{"detect", "--help"} << 0
                                        << "Usage: qelctl detect [--json]\n" << QString();
    QTest::newRow("a command's -h") << QStringList{"write", "-h"} << 0 << "Usage: qelctl write " << QString();
    QTest::newRow("--help after -- is a file name")
        << QStringList{"show", "--", "--help"} << 3 << QString() << QString();
}

void TestQelctlScript::usageInWords()
{
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QString, out);
    QFETCH(QString, err);
    args.replaceInStrings(QStringLiteral("%FILE"), file_);
    const Run r = qelctl(args);
    QCOMPARE(r.exit, exit);
    QVERIFY2(QString::fromUtf8(r.out).startsWith(out), r.out.constData());
    if (!err.isEmpty() || exit == 0)
        QCOMPARE(r.err, err);
}

// A device and its link are one converter: probed once, both names listed
// with what it is.
void TestQelctlScript::oneDeviceUnderTwoNames()
{
    SimPty sim;
    const QString link = dir_.filePath(QStringLiteral("cabinet-4"));
    QVERIFY2(sim.start({"--type", "5600", "--serial", "23456", "--link", link}), qPrintable(sim.errorText()));
    const Run r = qelctl({"scan", "--port", link, "--port", sim.path()});
    QCOMPARE(r.exit, 0);
    QCOMPARE(lines(QString::fromUtf8(r.out)),
             (QStringList{link + "\t5600\t23456\t01.00", sim.path() + "\t5600\t23456\t01.00"}));
    QCOMPARE(r.err, QStringLiteral("qelctl: %1: the same device as %2 (worked once)\n").arg(sim.path(), link));
    QCOMPARE(sim.commands().count("RS\r"), 1);
}

// --json: one JSON document on stdout and nothing else; a successful run
// says nothing on stderr, Qt's own warnings included (no XDG_RUNTIME_DIR).
void TestQelctlScript::jsonAndNothingElse_data()
{
    QTest::addColumn<QStringList>("args"); // %SIM, %FILE, %DIR
    QTest::addColumn<QString>("key");      // a key of the object (of the first element of an array)
    QTest::addColumn<QString>("value");
    QTest::newRow("detect") << QStringList{"--port", "%SIM", "detect", "--json"} << "type" << "5600";
    QTest::newRow("diff") << QStringList{"--port", "%SIM", "diff", "%FILE", "--json"} << "serial" << "23456";
    QTest::newRow("write --verify")
        << QStringList{"--port", "%SIM", "write", "--verify", "--json", "%FILE"} << "verified" << "true";
    QTest::newRow("backup") << QStringList{"--port", "%SIM", "backup", "%DIR", "--json"} << "serial" << "23456";
    QTest::newRow("history") << QStringList{"history", "23456", "--json"} << "serial" << "23456";
    QTest::newRow("print, no JSON") << QStringList{"print", "%FILE", "-o", "%DIR.pdf"} << QString() << QString();
}

void TestQelctlScript::jsonAndNothingElse()
{
    QFETCH(QStringList, args);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir data;
    SimPty sim; // holding the file's settings: diff finds them equal
    QVERIFY2(sim.start({"--type", "5600", "--serial", "23456", "--settings", file_}), qPrintable(sim.errorText()));
    args.replaceInStrings(QStringLiteral("%SIM"), sim.path());
    args.replaceInStrings(QStringLiteral("%FILE"), file_);
    args.replaceInStrings(QStringLiteral("%DIR"), data.filePath(QStringLiteral("out")));
    const QMap<QString, QString> env{{QStringLiteral("XDG_DATA_HOME"), data.path()}};
    if (args.first() == QLatin1String("history")) // something kept to list
        QCOMPARE(qelctl({"--port", sim.path(), "read", "-o", data.filePath("kept.pdt")}, env).exit, 0);
    const Run r = qelctl(args, env, {QStringLiteral("XDG_RUNTIME_DIR")});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exit, 0);
    if (key.isEmpty()) {
        QVERIFY(r.out.isEmpty());
        return;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &pe);
    QVERIFY2(pe.error == QJsonParseError::NoError, r.out.constData());
    const QJsonObject o = doc.isArray() ? doc.array().first().toObject() : doc.object();
    QCOMPARE(o.value(key).toVariant().toString(), value);
}

// One language a line: under an English locale every line is English (the
// program's translation serves its messages); under ja, C and POSIX the
// program's messages are its Japanese texts byte for byte, and the tool's
// own lines are English, each led by "qelctl: ". One cause, one wording:
// scan's line for a missing port is detect's.
void TestQelctlScript::oneLanguageALine_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("english");
    QTest::newRow("en_US.UTF-8") << "en_US.UTF-8" << true;
    QTest::newRow("en_GB.UTF-8") << "en_GB.UTF-8" << true;
    QTest::newRow("ja_JP.UTF-8") << "ja_JP.UTF-8" << false;
    QTest::newRow("C") << "C" << false;
    QTest::newRow("POSIX") << "POSIX" << false;
}

void TestQelctlScript::oneLanguageALine()
{
    QFETCH(QString, locale);
    QFETCH(bool, english);
    const QMap<QString, QString> env{{QStringLiteral("LC_ALL"), locale}, {QStringLiteral("LANG"), locale}};
    const QString missing = dir_.filePath(QStringLiteral("ttyUSB9"));
    const QString gone = QStringLiteral("qelctl: %1: no such device (is the adapter plugged in?)\n").arg(missing);
    SimPty silent, refusing;
    QVERIFY2(silent.start({"--type", "5600", "--fault", "Q:silence", "--fault", "E:silence"}),
             qPrintable(silent.errorText()));
    QVERIFY2(refusing.start({"--type", "5600", "--fault", "WP11:refuse"}), qPrintable(refusing.errorText()));

    struct Case {
        QStringList args;
        int exit;
        QString err; // exactly
    };
    const QString noAnswer = english ? QStringLiteral("[QEL-5600 Communication Error]\nNo communication with the "
                                                      "QEL-5600\nCheck the power and the cable.\n")
                                     : QStringLiteral("[ＱＥＬ－５６００　通信エラー]\nQEL-5600と通信ができません\n"
                                                      "電源、通信線を確認してください。\n");
    const QString refused = english ? QStringLiteral("[QEL-5600 Setting Error]\nOut of the setting range.\n"
                                                     "Check the set values.\n")
                                    : QStringLiteral("[ＱＥＬ－５６００　設定エラー]\n設定範囲外です。\n"
                                                     "設定値を確認してください。\n");
    const QList<Case> cases = {
        {{"--port", missing, "detect"}, 1, gone},
        {{"--port", missing, "scan"}, 1, gone},
        {{"scan", "--port", missing, "--port", silent.path()},
         1,
         gone + "qelctl: " + silent.path() + ":\n" + noAnswer + "qelctl: " + silent.path() + ": no converter answered\n"},
        {{"show", dir_.filePath("missing.pdt")},
         3,
         QStringLiteral("qelctl: %1: no such settings file\n").arg(dir_.filePath("missing.pdt"))},
        {{"--port", silent.path(), "detect"}, 1, noAnswer},
    };
    for (const Case &c : cases) {
        const Run r = qelctl(c.args, env);
        QVERIFY2(r.exit == c.exit, qPrintable(c.args.join(' ') + ": " + r.err));
        QCOMPARE(r.err, c.err);
    }
    // A write the converter refuses: its message, then the tool's lines.
    const Run r = qelctl({"--port", refusing.path(), "write", "--no-keep", file_}, env);
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.startsWith(refused), qPrintable(r.err));
    for (const QString &line : lines(r.err.mid(refused.size()))) {
        QVERIFY2(line.startsWith(QStringLiteral("qelctl: ")), qPrintable(line));
        QVERIFY2(std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 0x80; }),
                 qPrintable(line));
    }
}

// The wire trace: every byte each way with the time to the millisecond,
// the line settings and RTS at each open (a 52X is detected at 9600, then
// at 1200 baud).
void TestQelctlScript::wireTrace_data()
{
    QTest::addColumn<QStringList>("args"); // %TRACE the trace file
    QTest::addColumn<bool>("byEnvironment");
    QTest::newRow("--trace FILE") << QStringList{"--trace", "%TRACE", "detect"} << false;
    QTest::newRow("after the command") << QStringList{"detect", "--trace=%TRACE"} << false;
    QTest::newRow("QEL_TRACE") << QStringList{"detect"} << true;
}

void TestQelctlScript::wireTrace()
{
    QFETCH(QStringList, args);
    QFETCH(bool, byEnvironment);
    const QString trace = dir_.filePath(QStringLiteral("wire.txt"));
    QFile::remove(trace);
    args.replaceInStrings(QStringLiteral("%TRACE"), trace);
    SimPty sim;
    QVERIFY2(sim.start({"--type", "521"}), qPrintable(sim.errorText()));
    QMap<QString, QString> env;
    if (byEnvironment)
        env.insert(QStringLiteral("QEL_TRACE"), trace);
    const Run r = qelctl(QStringList{"--port", sim.path()} + args, env);
    QCOMPARE(r.exit, 0);
    QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("521\n"));

    QFile f(trace);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));
    for (const QString &line : lines(text))
        QVERIFY2(line.startsWith(u'#') || stamp.match(line).hasMatch(), qPrintable(line));
    const auto has = [&](const QString &pattern) {
        return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).hasMatch();
    };
    const QString at = QStringLiteral("^\\S+ ");
    QVERIFY2(has(at + "open " + QRegularExpression::escape(sim.path()) + ": 9600,N,8,1, RTS off$"), qPrintable(text));
    QVERIFY2(has(at + "open " + QRegularExpression::escape(sim.path()) + ": 1200,N,8,1, RTS off$"), qPrintable(text));
    QVERIFY2(has(at + "RTS on$"), qPrintable(text));
    QVERIFY2(has(at + "> 45 0D  \"E\\\\r\"$"), qPrintable(text));
    QVERIFY2(has(at + "> 51  \"Q\"$"), qPrintable(text));
    QVERIFY2(has(at + "< [0-9A-F]{2}"), qPrintable(text));
    QVERIFY2(has(at + "close$"), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestQelctlScript)
#include "test_qelctl_script.moc"
