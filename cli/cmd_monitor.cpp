// qelctl type-change 521|527|5600 and
// qelctl monitor [--count N] [--csv FILE|-] [--time].
#include "Cli.h"
#include "platform/StopSignals.h"

#include "comm/MemoryImage.h"
#include "monitor/MonitorEngine.h"
#include "monitor/MonitorRecorder.h"
#include "platform/StreamOutput.h"
#include "platform/System.h"

#include <QDateTime>
#include <cstdio>

namespace qel::cli {

namespace {

struct MonitorOptions {
    qint64 count = 0;  // 0: until interrupted
    QString csv;       // empty: none; "-": standard output
    bool time = false; // the time as first column of the plain output
};

// --count N, --csv FILE|-, --time. False with a message on a wrong argument.
bool parseMonitorArgs(const Env &env, MonitorOptions &o)
{
    const auto wrong = [](const QString &why) {
        warn(why);
        return false;
    };
    if (!env.badOption.isNull() || !env.args.isEmpty())
        return wrong(QStringLiteral("monitor: unexpected argument '%1'")
                         .arg(env.badOption.isNull() ? env.args.first() : env.badOption));
    const QStringList counts = env.opts->values(QStringLiteral("count"));
    if (counts.size() > 1)
        return wrong(QStringLiteral("--count given more than once"));
    if (counts.size() == 1) {
        bool ok = false;
        o.count = counts[0].toLongLong(&ok);
        if (!ok || o.count < 0)
            return wrong(QStringLiteral("--count wants a number >= 0, not '%1'").arg(counts[0]));
    }
    const QStringList csv = env.opts->values(QStringLiteral("csv"));
    if (csv.size() > 1 || (csv.size() == 1 && csv[0].isEmpty()))
        return wrong(QStringLiteral("--csv wants one file name or -"));
    if (csv.size() == 1)
        o.csv = csv[0];
    o.time = env.opts->isSet(QStringLiteral("time"));
    return true;
}


// The monitor's window for a terminal: only its closing matters, the
// readings arrive through the engine's onReading.
class LineView : public MonitorView {
public:
    void closeWindow() override { closed = true; }
    bool closed = false;
};

} // namespace

int cmdTypeChange(Env &env)
{
    // A value such as "-5" reaches here as an option the command does not know.
    if (env.badOption.isNull() ? env.args.size() != 1 : !env.args.isEmpty())
        return exitWith(ExitUsage, QStringLiteral("usage: qelctl type-change 521|527|5600"));
    const QString &want = env.badOption.isNull() ? env.args[0] : env.badOption;
    const DeviceTypeInfo *wanted = deviceTypeNamed(want);
    if (!wanted)
        return exitWith(ExitUsage, QStringLiteral("type-change wants 521, 527 or 5600, not '%1'").arg(want));

    const auto none = [] {
        out(QStringLiteral("none"));
        return ExitDevice;
    };
    if (!env.claimPort())
        return none();
    // Detection as at start-up; with nothing on the line there is nothing to change.
    const TypeCheckResult found = env.typeChange->TypeCheck();
    if (found.aborted || !found.generation)
        return none();

    const TypeChange::ChangeResult r = env.typeChange->ChangeType(wanted->digit());
    if (r.aborted)
        return none();
    out(typeText(r.detected));
    if (r.refused) {
        // The box says that it cannot; the tool's line says why.
        // Detection read the 52X's memory image, which holds the serial number.
        const qint32 serial = ImageWord(env.ctx->state.MemoryImage, kImageSerial);
        warn(QStringLiteral("a converter with serial number %1 cannot work as a %2: only one whose serial "
                            "number is 20000 or above (the QEL-5600 series) can; this one is a QEL-52X")
                 .arg(serial)
                 .arg(want));
    }
    if (r.refused || r.noEcho)
        return ExitDevice;
    return r.detected == wanted->code ? ExitOk : ExitDevice;
}

int cmdMonitor(Env &env)
{
    MonitorOptions o;
    if (!parseMonitorArgs(env, o))
        return exitWith(ExitUsage, QStringLiteral("usage: qelctl monitor [--count N] [--csv FILE|-] [--time]"));

    // A CSV target that is no regular file (a FIFO, a device, standard
    // output) is opened before the port: one nobody reads is refused now,
    // not after the line was taken. A regular file is made only once a
    // converter answered.
    StreamOutput csvStream, console;
    const bool csvIsStream = !o.csv.isEmpty() && StreamOutput::isStream(o.csv);
    if (csvIsStream && !csvStream.open(o.csv))
        return exitWith(ExitFile, QStringLiteral("%1: %2").arg(o.csv, csvStream.error()));
    console.open(QStringLiteral("-"));

    if (!env.claimPort())
        return ExitDevice;
    // From here on SIGINT and SIGTERM end the run cleanly, a wait for a
    // reader included.
    StopSignals stopSignals;
    csvStream.setStopFd(stopSignals.stopFd());
    console.setStopFd(stopSignals.stopFd());
    const TypeCheckResult found = env.typeChange->TypeCheck();
    if (stopSignals.received())
        return ExitOk;
    if (found.aborted || !found.generation)
        return exitWith(ExitDevice, QStringLiteral("no converter answered"));

    MonitorRecorder recorder(env.clock);
    if (!o.csv.isEmpty() && !(csvIsStream ? recorder.start(&csvStream, o.csv) : recorder.start(o.csv)))
        return exitWith(ExitFile, QStringLiteral("cannot write %1: %2").arg(o.csv, recorder.error()));
    const bool plain = o.csv != QLatin1String("-"); // stdout is the CSV's otherwise

    MonitorEngine monitor(*env.ctx, *env.engine);
    LineView view;
    qint64 shown = 0;
    bool recordFailed = false;
    bool stdoutGone = false;
    monitor.onReading = [&](const MonitorDisplay &d) {
        const QDateTime now = QDateTime::currentDateTime();
        recorder.record(d, now);
        if (plain) {
            QString line = d.blank() ? QStringLiteral("- -")
                                     : d.hex.trimmed() + u' ' + d.percent.trimmed();
            if (o.time)
                line = MonitorRecorder::timeText(now) + u' ' + line;
            if (!stdoutGone && !console.write((line + u'\n').toLocal8Bit())) {
                stdoutGone = true;
                monitor.Command1_Click();
            }
        }
        if (o.count > 0 && ++shown >= o.count)
            monitor.Command1_Click(); // honoured at the end of this poll
    };
    recorder.onFailed = [&] {
        warn(QStringLiteral("recording to %1 stopped: %2").arg(o.csv, recorder.error()));
        recordFailed = true;
        monitor.Command1_Click();
    };
    stopSignals.onStop = [&] {
        // The first signal ends the run after this poll's reading; a second
        // one does not wait for it.
        if (stopSignals.received() == 1)
            monitor.Command1_Click();
        else
            monitor.Form_Unload();
    };
    monitor.setView(&view);
    monitor.Form_Load();
    while (!view.closed)
        env.ctx->yield();
    monitor.setView(nullptr);
    monitor.onReading = nullptr;

    if (!recorder.stop() && !recordFailed) {
        warn(QStringLiteral("recording to %1 failed: %2").arg(o.csv, recorder.error()));
        recordFailed = true;
    }
    // The port is closed and the recording complete: a reader of standard
    // output that went away (| head) ends the run as a closed pipe does.
    if (stdoutGone && console.readerGone() && !monitor.closedOnError() && !recordFailed)
        endAsClosedPipe();
    if (stdoutGone)
        warn(QStringLiteral("cannot write to standard output: %1").arg(console.error()));
    if (monitor.closedOnError())
        return ExitDevice;
    if (recordFailed || stdoutGone)
        return ExitFile;
    if (stopSignals.received())
        return ExitOk;
    return shown < o.count ? ExitDevice : ExitOk;
}

const CommandRegistration typeChangeCommand({
    QStringLiteral("type-change"), QStringLiteral("type-change 521|527|5600"),
    QStringLiteral("switch the operation type; prints the type\ndetected afterwards"), {},
    cmdTypeChange});

const CommandRegistration monitorCommand({
    QStringLiteral("monitor"), QStringLiteral("monitor [--count N] [--csv FILE|-] [--time]"),
    QStringLiteral("readings, one a line: hex text and percent\n"
                   "text (a blanked reading prints '- -'); N\n"
                   "readings, or until SIGINT/SIGTERM without\n"
                   "--count or with 0 (port closed, file complete,\n"
                   "exit 0); --time puts the time first; --csv\n"
                   "records time,da_hex,percent rows into FILE\n"
                   "(- for stdout, which then carries only the CSV)"),
    {QCommandLineOption(QStringLiteral("count"), QString(), QStringLiteral("N")),
     QCommandLineOption(QStringLiteral("csv"), QString(), QStringLiteral("FILE")),
     QCommandLineOption(QStringLiteral("time"))},
    cmdMonitor});

} // namespace qel::cli
