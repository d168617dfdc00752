// qelctl detect | read -o FILE | write [--verify] FILE
#include "Cli.h"
#include "Fleet.h"

#include "comm/Generation.h"
#include "comm/LineText.h"
#include "editor/PartialWrite.h"
#include "editor/SettingsCommands.h"
#include "files/DataFile.h"
#include "platform/StreamOutput.h"

#include <QRegularExpression>


namespace qel::cli {

namespace {

int usage(const QString &text)
{
    return exitWith(ExitUsage, QStringLiteral("%1 (see qelctl --help)").arg(text));
}

} // namespace

int cmdDetect(Env &env)
{
    if (!env.badOption.isNull() || !env.args.isEmpty())
        return usage(QStringLiteral("detect takes only --json"));
    TypeCheckResult found;
    const QJsonObject o = detectOn(env, env.portPath(), found);
    if (env.opts->isSet(QStringLiteral("json")))
        printJson(o);
    else
        out(typeText(found.code));
    return found.generation ? ExitOk : ExitDevice;
}

int cmdRead(Env &env)
{
    if (!env.badOption.isNull() || !env.args.isEmpty() || env.opts->values(QStringLiteral("o")).size() != 1)
        return usage(QStringLiteral("read needs -o FILE"));
    const QString path = env.opts->value(QStringLiteral("o"));
    // Standard output ("-"), a pipe or a device is opened before the port
    // (one nobody reads is refused now) and written straight; a file is
    // written whole once the read succeeded.
    StreamOutput stream;
    const bool toStream = StreamOutput::isStream(path);
    if (toStream && !stream.open(path))
        return exitWith(ExitFile, QStringLiteral("%1: %2").arg(path, stream.error()));

    if (!env.claimPort())
        return ExitDevice;
    if (!detectDevice(env).generation)
        return exitWith(ExitDevice, QStringLiteral("no converter answered; %1 not written").arg(path));
    CommResult result = CommResult::Ok;
    if (!readSettings(env, &result))
        return exitWith(ExitDevice, (result == CommResult::NoAnswer
                                         ? QStringLiteral("the converter did not answer \"Q\" any more; %1 not written")
                                         : QStringLiteral("the read did not complete; %1 not written"))
                                        .arg(path));
    if (toStream) {
        if (!stream.write(env.ctx->state.ParamRecord.bytes()))
            return exitWith(ExitFile, QStringLiteral("%1: %2").arg(path, stream.error()));
        return ExitOk;
    }
    return saveSettingsFile(path, env.ctx->state.ParamRecord) ? ExitOk : ExitFile;
}

int writeToConverter(Env &env, WriteJob &job)
{
    AppState &st = env.ctx->state;
    WriteReport &report = job.report;
    // Said on stderr, and kept for the report.
    const auto fail = [&](int exit, const QString &why) {
        err(QStringLiteral("qelctl: ") + why);
        if (report.error.isEmpty())
            report.error = why;
        return exit;
    };
    PortProblem problem;
    if (!env.claimPort(&problem)) {
        report.error = problem.text();
        return ExitDevice;
    }
    const TypeCheckResult found = detectDevice(env);
    report.type = typeText(found.code);
    if (!found.generation)
        return fail(ExitDevice, QStringLiteral("no converter answered; nothing written"));

    // What the converter holds now: read before anything is written, to be
    // kept; without keeping, only its serial number when one is expected.
    ParameterRecord present;
    if (job.keep) {
        // A 5600 is read in full (the commands of `read`); a 52X's image came with detection.
        if (!found.generation->presentSettings(*env.engine, present) || env.terminated)
            return fail(ExitDevice, QStringLiteral("the converter's present settings could not be read to be "
                                                   "kept; nothing written"));
        st.ParamRecord = present;
        st.DeviceType = found.code;
    } else if (!job.expectSerial.isEmpty() && !readSerial(env, found.generation)) {
        return fail(ExitDevice, QStringLiteral("the serial number could not be read; nothing written"));
    }
    if (job.keep || !job.expectSerial.isEmpty())
        report.serial = QString::fromLatin1(st.ParamRecord.field(32).trimmed());
    if (!job.expectSerial.isEmpty() && !sameSerial(report.serial, job.expectSerial))
        return fail(ExitDevice, QStringLiteral("the converter's serial number is %1, not %2; nothing written")
                                    .arg(report.serial, job.expectSerial));
    if (job.choose) {
        const int chosen = job.choose(typeText(found.code), historySerial(st.ParamRecord.field(32)));
        if (chosen != ExitOk)
            return chosen;
    }

    // Kept (or found unchanged in the history) before the first write command.
    KeptCopy &kept = *env.lastKept;
    kept = {};
    if (job.keep) {
        if (env.ctx->platform.settingsRead)
            env.ctx->platform.settingsRead(st);
        QString error;
        if (kept.path.isEmpty())
            return fail(ExitFile, QStringLiteral("nothing written, since the settings it would replace could not "
                                                 "be kept (--no-keep writes without keeping them)"));
        if (!markKeptBeforeWrite(historyRoot(), kept, error))
            err(QStringLiteral("qelctl: %1 holds the settings before this write, but: %2").arg(kept.path, error));
    }

    st.ParamRecord = job.record;
    SettingsCommands commands(*env.ctx, *env.engine, *env.typeChange);
    const CommandOutcome o = commands.WritingOut();
    if (o.aborted || env.terminated || !o.transferred || o.result != CommResult::Ok) {
        QStringList lines = writeStopLines(st, restoreHint(kept, env.portOverride), false);
        if (lines.isEmpty())
            lines << (o.transferred ? QStringLiteral("the device did not accept the settings")
                                    : QStringLiteral("the converter did not answer \"Q\" any more; nothing written"));
        for (const QString &line : lines)
            err(QStringLiteral("qelctl: ") + line);
        report.error = lines.join(u'\n');
        return ExitDevice;
    }
    report.written = true;
    if (!job.verify)
        return ExitOk;

    const ParameterRecord written = st.ParamRecord;
    const CommandOutcome back = commands.ReadingIn();
    if (!back.transferred || back.result != CommResult::Ok)
        return fail(ExitDevice, QStringLiteral("verify: reading back failed"));
    report.serial = QString::fromLatin1(st.ParamRecord.field(32).trimmed());
    report.notHeld = DeviceDifferences(written, st);
    report.differences = settingDifferences(written, st);
    report.verified = report.notHeld.isEmpty();
    if (!report.verified) {
        err(QStringLiteral("qelctl: verify: the device holds other settings than written:"));
        for (const QString &d : report.notHeld)
            err(QStringLiteral("  ") + d);
        return ExitDevice;
    }
    return ExitOk;
}

int cmdWrite(Env &env)
{
    const QStringList &args = env.args;
    WriteJob job;
    job.verify = env.opts && env.opts->isSet(QStringLiteral("verify"));
    job.keep = !(env.opts && env.opts->isSet(QStringLiteral("no-keep")));
    const bool checkSerial = env.opts && env.opts->isSet(QStringLiteral("expect-serial"));
    job.expectSerial = checkSerial ? env.opts->value(QStringLiteral("expect-serial")).trimmed() : QString();
    // A converter's serial number is a number of up to five digits (leading
    // zeros do not count): anything else could never match, and is refused
    // before anything goes on the line.
    static const QRegularExpression serialNumber(QStringLiteral("^0*[0-9]{1,5}$"));
    if (checkSerial && !serialNumber.match(job.expectSerial).hasMatch())
        return usage(job.expectSerial.isEmpty()
                         ? QStringLiteral("--expect-serial needs the serial number N")
                         : QStringLiteral("--expect-serial wants a serial number of up to five digits, not '%1'")
                               .arg(job.expectSerial));
    if (!env.badOption.isNull() || args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        return usage(QStringLiteral("write needs one FILE"));
    if (!loadSettingsFile(args[0], job.record))
        return ExitFile;
    // Refused before anything goes on the line.
    char bad = 0;
    if (const int f = unsendableField(job.record, &bad))
        return exitWith(ExitFile, QStringLiteral("%1\n%2").arg(unsendableMessage(f, bad), args[0]));
    const int code = writeToConverter(env, job);
    if (env.opts->isSet(QStringLiteral("json"))) {
        const WriteReport &r = job.report;
        QJsonObject o{{QStringLiteral("port"), env.portPath()},
                      {QStringLiteral("file"), args[0]},
                      {QStringLiteral("type"), r.type.isEmpty() ? QStringLiteral("none") : r.type},
                      {QStringLiteral("written"), r.written}};
        if (!r.serial.isEmpty())
            o[QStringLiteral("serial")] = r.serial;
        if (job.verify && r.written && r.error.isEmpty()) {
            o[QStringLiteral("verified")] = r.verified;
            o[QStringLiteral("differences")] = differencesJson(r.differences, QStringLiteral("file"));
            o[QStringLiteral("notHeld")] = QJsonArray::fromStringList(r.notHeld);
        }
        if (!r.error.isEmpty())
            o[QStringLiteral("error")] = r.error;
        printJson(o);
    }
    return code;
}

const CommandRegistration detectCommand({
    QStringLiteral("detect"), QStringLiteral("detect [--json]"),
    QStringLiteral("type detection as at start-up; prints 5600,\n521, 527 or none (--json: an object)"),
    {QCommandLineOption(QStringLiteral("json"))}, cmdDetect});

const CommandRegistration readCommand({
    QStringLiteral("read"), QStringLiteral("read -o FILE"),
    QStringLiteral("detect, read the settings, save them to FILE"),
    {QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("FILE"))}, cmdRead});

const CommandRegistration writeCommand({
    QStringLiteral("write"), QStringLiteral("write [--verify] [--expect-serial N] [--no-keep] [--json] FILE"),
    QStringLiteral("load FILE, detect, read the converter's present\n"
                   "settings into the device history, then write\n"
                   "FILE's settings with today's date code as update\n"
                   "date (qelctl restore SERIAL undoes it);\n"
                   "--verify reads them back and compares;\n"
                   "--expect-serial writes nothing unless the serial\n"
                   "number is N; --no-keep writes at once, keeping\n"
                   "nothing (a 5600 is then not read first); --json\n"
                   "reports the outcome as an object"),
    {QCommandLineOption(QStringLiteral("verify")), QCommandLineOption(QStringLiteral("json")),
     QCommandLineOption(QStringLiteral("expect-serial"), QString(), QStringLiteral("N")),
     QCommandLineOption(QStringLiteral("no-keep"))},
    cmdWrite});

} // namespace qel::cli
