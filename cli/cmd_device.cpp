// qelctl detect | read -o FILE | write [--verify] FILE
#include "Cli.h"

#include "comm/DeviceHolds.h"
#include "comm/LineText.h"
#include "comm/MemoryImage.h"
#include "editor/PartialWrite.h"
#include "editor/SettingsCommands.h"
#include "files/DataFile.h"


namespace qel::cli {

namespace {

bool usage(const QString &text)
{
    err(QStringLiteral("qelctl: %1 (see qelctl --help)").arg(text));
    return false;
}

} // namespace

int cmdDetect(Env &env)
{
    if (!env.badOption.isNull() || !env.args.isEmpty()) {
        usage(QStringLiteral("detect takes no arguments"));
        return ExitUsage;
    }
    const int code = env.claimPort() ? detectDevice(env) : int(TypeNone);
    out(typeText(code));
    return code == TypeNone ? ExitDevice : ExitOk;
}

int cmdRead(Env &env)
{
    if (!env.badOption.isNull() || !env.args.isEmpty() || env.opts->values(QStringLiteral("o")).size() != 1) {
        usage(QStringLiteral("read needs -o FILE"));
        return ExitUsage;
    }
    const QString path = env.opts->value(QStringLiteral("o"));

    if (!env.claimPort())
        return ExitDevice;
    if (detectDevice(env) == TypeNone) {
        err(QStringLiteral("qelctl: no device answered; %1 not written").arg(path));
        return ExitDevice;
    }
    CommResult result = CommResult::Ok;
    if (!readSettings(env, &result)) {
        if (result == CommResult::NoAnswer)
            err(QStringLiteral("qelctl: the converter did not answer \"Q\" any more; %1 not written").arg(path));
        else
            err(QStringLiteral("qelctl: the read did not complete; %1 not written").arg(path));
        return ExitDevice;
    }
    QString error;
    if (!saveDataFile(path, env.ctx->state.ParamRecord, error)) {
        err(QStringLiteral("qelctl: %1").arg(error));
        return ExitFile;
    }
    return ExitOk;
}

namespace {

// The converter's present settings, as a read of them finds them: a 5600 is
// read in full (the commands of `read`), a 52X's image came with detection.
bool readPresent(Env &env, int code, ParameterRecord &present)
{
    AppState &st = env.ctx->state;
    if (code == Type5600) {
        if (env.engine->ReadData56() != CommResult::Ok || env.terminated)
            return false;
        present = st.ParamRecord;
        return true;
    }
    if (!st.MemoryImageFromDevice)
        return false;
    DecodeMemoryImage(st.MemoryImage, present);
    return true;
}

} // namespace

int writeToConverter(Env &env, WriteJob &job)
{
    AppState &st = env.ctx->state;
    if (!env.claimPort())
        return ExitDevice;
    const int code = detectDevice(env);
    if (code == TypeNone) {
        err(QStringLiteral("qelctl: no device answered; nothing written"));
        return ExitDevice;
    }

    // What the converter holds now: read before anything is written, to be
    // kept; without keeping, only its serial number when one is expected.
    ParameterRecord present;
    if (job.keep) {
        if (!readPresent(env, code, present)) {
            err(QStringLiteral("qelctl: the converter's present settings could not be read to be kept; "
                               "nothing written"));
            return ExitDevice;
        }
        st.ParamRecord = present;
        st.DeviceType = code;
    } else if (!job.expectSerial.isEmpty() && !readSerial(env, code)) {
        err(QStringLiteral("qelctl: the serial number could not be read; nothing written"));
        return ExitDevice;
    }
    if (!job.expectSerial.isEmpty()) {
        const QByteArray serial = st.ParamRecord.field(32).trimmed();
        if (!sameSerial(QString::fromLatin1(serial), job.expectSerial)) {
            err(QStringLiteral("qelctl: the converter's serial number is %1, not %2; nothing written")
                    .arg(QString::fromLatin1(serial), job.expectSerial));
            return ExitDevice;
        }
    }
    if (job.choose) {
        const int chosen = job.choose(typeText(code), historySerial(st.ParamRecord.field(32)));
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
        if (kept.path.isEmpty()) {
            err(QStringLiteral("qelctl: nothing written, since the settings it would replace could not be kept "
                               "(--no-keep writes without keeping them)"));
            return ExitFile;
        }
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
        return ExitDevice;
    }
    if (!job.verify)
        return ExitOk;

    const ParameterRecord written = st.ParamRecord;
    const CommandOutcome back = commands.ReadingIn();
    if (!back.transferred || back.result != CommResult::Ok) {
        err(QStringLiteral("qelctl: verify: reading back failed"));
        return ExitDevice;
    }
    const QStringList diffs = DeviceDifferences(written, st.ParamRecord, st.DeviceType, st.MemoryImage);
    if (!diffs.isEmpty()) {
        err(QStringLiteral("qelctl: verify: the device holds other settings than written:"));
        for (const QString &d : diffs)
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
    if (checkSerial && job.expectSerial.isEmpty()) {
        usage(QStringLiteral("--expect-serial needs the serial number N"));
        return ExitUsage;
    }
    if (!env.badOption.isNull() || args.size() != 1 || args[0].startsWith(QLatin1Char('-'))) {
        usage(QStringLiteral("write needs one FILE"));
        return ExitUsage;
    }
    QString error;
    if (!loadDataFile(args[0], job.record, error)) {
        err(QStringLiteral("qelctl: %1").arg(error));
        return ExitFile;
    }
    // Refused before anything goes on the line.
    char bad = 0;
    if (const int f = unsendableField(job.record, &bad)) {
        err(QStringLiteral("qelctl: %1\n%2").arg(unsendableMessage(f, bad), args[0]));
        return ExitFile;
    }
    return writeToConverter(env, job);
}

const CommandRegistration detectCommand({
    QStringLiteral("detect"), QStringLiteral("detect"),
    QStringLiteral("type detection as at start-up; prints 5600,\n521, 527 or none"), {}, cmdDetect});

const CommandRegistration readCommand({
    QStringLiteral("read"), QStringLiteral("read -o FILE"),
    QStringLiteral("detect, read the settings, save them to FILE"),
    {QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("FILE"))}, cmdRead});

const CommandRegistration writeCommand({
    QStringLiteral("write"), QStringLiteral("write [--verify] [--expect-serial N] [--no-keep] FILE"),
    QStringLiteral("load FILE, detect, read the converter's present\n"
                   "settings into the device history, then write\n"
                   "FILE's settings with today's date code as update\n"
                   "date (qelctl restore SERIAL undoes it);\n"
                   "--verify reads them back and compares;\n"
                   "--expect-serial writes nothing unless the serial\n"
                   "number is N; --no-keep writes at once, keeping\n"
                   "nothing (a 5600 is then not read first)"),
    {QCommandLineOption(QStringLiteral("verify")),
     QCommandLineOption(QStringLiteral("expect-serial"), QString(), QStringLiteral("N")),
     QCommandLineOption(QStringLiteral("no-keep"))},
    cmdWrite});

} // namespace qel::cli
