// qelctl show FILE [--json] [--type T]
// qelctl print FILE -o OUT.pdf [--type 521|527|5600]
#include "Cli.h"
#include "GuiModule.h"

#include "files/DataFile.h"
#include "files/FileCommands.h"
#include "platform/FileName.h"
#include "files/SettingsListing.h"

#include <QDir>
#include <cstdio>

namespace qel::cli {

namespace {

struct FileArgs {
    QString file;
    QString output;
    bool json = false;
    int deviceType = TypeNone;
};

// FILE and the options a file command accepts; false on a usage error.
bool parse(const Env &env, bool allowOutput, FileArgs &a)
{
    if (!env.badOption.isNull()) {
        err(QStringLiteral("qelctl %1: unknown option '%2'").arg(env.command, env.badOption));
        return false;
    }
    const QCommandLineParser &opts = *env.opts;
    a.json = opts.optionNames().contains(QStringLiteral("json"));
    if (opts.isSet(QStringLiteral("type"))
        && (a.deviceType = typeCode(opts.value(QStringLiteral("type")))) == TypeNone) {
        err(QStringLiteral("qelctl %1: --type must be 521, 527 or 5600").arg(env.command));
        return false;
    }
    if (env.args.size() > 1) {
        err(QStringLiteral("qelctl %1: one settings file only").arg(env.command));
        return false;
    }
    if (env.args.isEmpty() || env.args[0].isEmpty()) {
        err(QStringLiteral("qelctl %1: no settings file given (see qelctl --help)").arg(env.command));
        return false;
    }
    a.file = env.args[0];
    if (allowOutput) {
        a.output = opts.value(QStringLiteral("o"));
        if (a.output.isEmpty()) {
            err(QStringLiteral("qelctl %1: -o OUT.pdf is required").arg(env.command));
            return false;
        }
    }
    return true;
}

QCommandLineOption typeOption()
{
    return QCommandLineOption(QStringLiteral("type"), QString(), QStringLiteral("521|527|5600"));
}

} // namespace

int cmdShow(Env &env)
{
    FileArgs a;
    if (!parse(env, false, a))
        return ExitUsage;
    ParameterRecord rec;
    QString error;
    if (!loadDataFile(a.file, rec, error)) {
        err(error);
        return ExitFile;
    }
    // The name as the shell gave it, the listing in UTF-8.
    put(stdout, a.json ? settingsListingJson(rec, a.deviceType)
                       : "Settings file " + fileNameBytes(a.file) + '\n'
                             + settingsListingText(rec, a.deviceType).toUtf8());
    return ExitOk;
}

int cmdPrint(Env &env)
{
    FileArgs a;
    if (!parse(env, true, a))
        return ExitUsage;
    AppState st;
    QString error;
    if (!loadDataFile(a.file, st.ParamRecord, error)) {
        err(error);
        return ExitFile;
    }
    st.DeviceType = a.deviceType;
    // As the screen sets it from the serial number.
    st.Is5600Series = SerialOf5600Series(st.ParamRecord);

    QString moduleError;
    const GuiModule *gui = guiModule(moduleError);
    if (!gui) {
        err(QStringLiteral("qelctl print: cannot load the printing module: %1").arg(moduleError));
        return ExitFile;
    }
    const std::unique_ptr<Printer> pdf(gui->openPdf(a.output));
    FileCommands::DataPrintOut(*pdf, st);
    if (!pdf->ok()) {
        err(QStringLiteral("印刷処理を中断します。"));
        // The printer's file error is the path, a line break, then the reason.
        const QString path = QDir::toNativeSeparators(a.output);
        const QString why = pdf->fileError().mid(path.size() + 1);
        err(QStringLiteral("qelctl print: cannot write %1: %2")
                .arg(path, why.isEmpty() ? QStringLiteral("the page could not be drawn") : why));
        return ExitFile;
    }
    return ExitOk;
}

const CommandRegistration showCommand({
    QStringLiteral("show"), QStringLiteral("show FILE [--json] [--type 521|527|5600]"),
    QStringLiteral("readable listing of a settings file (--type\n"
                   "gives the unit of the output update time)"),
    {QCommandLineOption(QStringLiteral("json")), typeOption()}, cmdShow});

const CommandRegistration printCommand({
    QStringLiteral("print"), QStringLiteral("print FILE -o OUT.pdf [--type 521|527|5600]"),
    QStringLiteral("the printed settings list, as PDF"),
    {QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("OUT.pdf")), typeOption()},
    cmdPrint, true});

} // namespace qel::cli
