// qelctl detect | read -o FILE | write [--verify] FILE
#include "Cli.h"

#include "comm/DeviceHolds.h"
#include "comm/LineText.h"
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

int cmdWrite(Env &env)
{
    const QStringList &args = env.args;
    const bool verify = env.opts && env.opts->isSet(QStringLiteral("verify"));
    const bool checkSerial = env.opts && env.opts->isSet(QStringLiteral("expect-serial"));
    const QString expectSerial = checkSerial ? env.opts->value(QStringLiteral("expect-serial")).trimmed() : QString();
    if (checkSerial && expectSerial.isEmpty()) {
        usage(QStringLiteral("--expect-serial needs the serial number N"));
        return ExitUsage;
    }
    if (!env.badOption.isNull() || args.size() != 1 || args[0].startsWith(QLatin1Char('-'))) {
        usage(QStringLiteral("write needs one FILE"));
        return ExitUsage;
    }
    AppState &st = env.ctx->state;
    QString error;
    if (!loadDataFile(args[0], st.ParamRecord, error)) {
        err(QStringLiteral("qelctl: %1").arg(error));
        return ExitFile;
    }
    // Refused before anything goes on the line.
    char bad = 0;
    if (const int f = unsendableField(st.ParamRecord, &bad)) {
        err(QStringLiteral("qelctl: %1\n%2").arg(unsendableMessage(f, bad), args[0]));
        return ExitFile;
    }

    // The file's record is what gets written, whatever detection left.
    const ParameterRecord fromFile = st.ParamRecord;
    if (!env.claimPort())
        return ExitDevice;
    const int code = detectDevice(env);
    if (code != TypeNone && checkSerial) {
        if (!readSerial(env, code)) {
            err(QStringLiteral("qelctl: the serial number could not be read; nothing written"));
            return ExitDevice;
        }
        const QByteArray serial = st.ParamRecord.field(32).trimmed();
        if (!serialMatches(serial, expectSerial)) {
            err(QStringLiteral("qelctl: the converter's serial number is %1, not %2; nothing written")
                    .arg(QString::fromLatin1(serial), expectSerial));
            return ExitDevice;
        }
    }
    st.ParamRecord = fromFile;
    if (code == TypeNone) {
        err(QStringLiteral("qelctl: no device answered; nothing written"));
        return ExitDevice;
    }

    SettingsCommands commands(*env.ctx, *env.engine, *env.typeChange);
    const CommandOutcome o = commands.WritingOut();
    if (o.aborted || env.terminated || !o.transferred || o.result != CommResult::Ok) {
        err(QStringLiteral("qelctl: the device did not accept the settings"));
        return ExitDevice;
    }
    if (!verify)
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

const CommandRegistration detectCommand({
    QStringLiteral("detect"), QStringLiteral("detect"),
    QStringLiteral("type detection as at start-up; prints 5600,\n521, 527 or none"), {}, cmdDetect});

const CommandRegistration readCommand({
    QStringLiteral("read"), QStringLiteral("read -o FILE"),
    QStringLiteral("detect, read the settings, save them to FILE"),
    {QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("FILE"))}, cmdRead});

const CommandRegistration writeCommand({
    QStringLiteral("write"), QStringLiteral("write [--verify] [--expect-serial N] FILE"),
    QStringLiteral("load FILE, detect, write the settings to the\n"
                   "device with today's date code as update date;\n"
                   "--verify reads them back and compares;\n"
                   "--expect-serial reads the serial number first\n"
                   "and writes nothing unless it is N"),
    {QCommandLineOption(QStringLiteral("verify")),
     QCommandLineOption(QStringLiteral("expect-serial"), QString(), QStringLiteral("N"))},
    cmdWrite});

} // namespace qel::cli
