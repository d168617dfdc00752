// qelctl detect | read -o FILE | write [--verify] FILE
#include "Cli.h"

#include "comm/LineText.h"
#include "platform/StreamOutput.h"
#include "platform/System.h"

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
    jobs::Session s = env.session();
    const jobs::Detection d = jobs::detect(s);
    if (env.opts->isSet(QStringLiteral("json")))
        printJson(jobs::toJson(d.result()));
    else
        out(d.type());
    return d.answered() ? ExitOk : ExitDevice;
}

int cmdRead(Env &env)
{
    if (!env.badOption.isNull() || !env.args.isEmpty() || env.opts->values(QStringLiteral("o")).size() != 1)
        return usage(QStringLiteral("read needs -o FILE"));
    const QString path = env.opts->value(QStringLiteral("o"));
    // Standard output ("-"), a pipe or a device is opened before the port
    // (one nobody reads is refused now) and written straight; a file is
    // written whole once the read succeeded, the history's copy after it.
    StreamOutput stream;
    const bool toStream = StreamOutput::isStream(path);
    if (toStream && !stream.open(path))
        return exitWith(ExitFile, QStringLiteral("%1: %2").arg(path, stream.error()));

    jobs::Session s = env.session();
    jobs::ReadOutcome r = jobs::readSettings(s);
    switch (r.status) {
    case jobs::ReadStatus::NotOpened:
        return ExitDevice;
    case jobs::ReadStatus::NoConverter:
        return exitWith(ExitDevice, QStringLiteral("no converter answered; %1 not written").arg(path));
    case jobs::ReadStatus::NoAnswer:
        return exitWith(ExitDevice, QStringLiteral("the converter did not answer \"Q\" any more; %1 not written").arg(path));
    case jobs::ReadStatus::Incomplete:
        return exitWith(ExitDevice, QStringLiteral("the read did not complete; %1 not written").arg(path));
    case jobs::ReadStatus::Read:
        break;
    }
    int code = ExitOk;
    if (toStream && !stream.write(r.record.bytes())) {
        if (path == QLatin1String("-") && stream.readerGone()) {
            jobs::keepRead(s, r); // the copy is kept all the same
            endAsClosedPipe();
        }
        code = exitWith(ExitFile, QStringLiteral("%1: %2").arg(path, stream.error()));
    }
    else if (!toStream && !saveSettingsFile(path, r.record))
        code = ExitFile;
    jobs::keepRead(s, r);
    return code;
}

namespace {

int writeExit(const jobs::WriteOutcome &o)
{
    using jobs::WriteStatus;
    switch (o.status) {
    case WriteStatus::Written:
    case WriteStatus::Verified:
        return ExitOk;
    case WriteStatus::NoCopy:
    case WriteStatus::NotKept:
        return ExitFile;
    default:
        return ExitDevice;
    }
}

} // namespace

int tellWrite(const jobs::WriteOutcome &o)
{
    // A port's problem was told when it was claimed.
    if (o.status == jobs::WriteStatus::NotHeld) {
        warn(QStringLiteral("verify: the device holds other settings than written:"));
        for (const QString &d : o.notHeld)
            err(QStringLiteral("  ") + d);
    } else if (o.status != jobs::WriteStatus::NotOpened) {
        const QString why = jobs::writeError(o);
        for (const QString &line : why.split(u'\n', Qt::SkipEmptyParts))
            warn(line);
    }
    return writeExit(o);
}

int cmdWrite(Env &env)
{
    const QStringList &args = env.args;
    jobs::WriteRequest request;
    request.verify = env.opts && env.opts->isSet(QStringLiteral("verify"));
    const bool keep = !(env.opts && env.opts->isSet(QStringLiteral("no-keep")));
    const bool checkSerial = env.opts && env.opts->isSet(QStringLiteral("expect-serial"));
    request.expectSerial = checkSerial ? env.opts->value(QStringLiteral("expect-serial")).trimmed() : QString();
    // A converter's serial number is a number of up to five digits (leading
    // zeros do not count): anything else could never match, and is refused
    // before anything goes on the line.
    static const QRegularExpression serialNumber(QStringLiteral("^0*[0-9]{1,5}$"));
    if (checkSerial && !serialNumber.match(request.expectSerial).hasMatch())
        return usage(request.expectSerial.isEmpty()
                         ? QStringLiteral("--expect-serial needs the serial number N")
                         : QStringLiteral("--expect-serial wants a serial number of up to five digits, not '%1'")
                               .arg(request.expectSerial));
    if (!env.badOption.isNull() || args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        return usage(QStringLiteral("write needs one FILE"));
    if (!loadSettingsFile(args[0], request.record))
        return ExitFile;
    // Refused before anything goes on the line.
    char bad = 0;
    if (const int f = unsendableField(request.record, &bad))
        return exitWith(ExitFile, QStringLiteral("%1\n%2").arg(unsendableMessage(f, bad), args[0]));
    // --no-keep: nothing read first, nothing kept.
    jobs::NoStore nothing;
    jobs::Session s = env.session(keep ? nullptr : &nothing);
    const jobs::WriteOutcome o = jobs::writeWithUndo(s, request);
    const int code = tellWrite(o);
    if (env.opts->isSet(QStringLiteral("json")))
        printJson(jobs::toJson(o, args[0], request.verify));
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
