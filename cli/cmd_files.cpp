// qelctl show FILE... [--json] [--type T]
// qelctl print FILE -o OUT.pdf [--type 521|527|5600]
#include "Cli.h"
#include "GuiModule.h"

#include "files/DataFile.h"
#include "files/FileCommands.h"
#include "platform/FileName.h"
#include "files/SettingsListing.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace qel::cli {

namespace {

struct FileArgs {
    QStringList files;
    QString output;
    bool json = false;
    int deviceType = TypeNone;
};

// FILE (FILE... where `several`) and the options a file command accepts;
// false on a usage error.
bool parse(const Env &env, bool allowOutput, bool several, FileArgs &a)
{
    const auto usage = [&](const QString &why) {
        warn(QStringLiteral("%1: %2 (see qelctl --help)").arg(env.command, why));
        return false;
    };
    if (!env.badOption.isNull())
        return usage(QStringLiteral("unknown option '%1'").arg(env.badOption));
    const QCommandLineParser &opts = *env.opts;
    a.json = opts.optionNames().contains(QStringLiteral("json"));
    if (opts.isSet(QStringLiteral("type"))) {
        const DeviceTypeInfo *type = deviceTypeNamed(opts.value(QStringLiteral("type")));
        if (!type)
            return usage(QStringLiteral("--type must be 521, 527 or 5600"));
        a.deviceType = type->code;
    }
    if (env.args.size() > 1 && !several)
        return usage(QStringLiteral("one settings file only"));
    if (env.args.isEmpty() || env.args.contains(QString()))
        return usage(QStringLiteral("no settings file given"));
    a.files = env.args;
    if (allowOutput) {
        a.output = opts.value(QStringLiteral("o"));
        if (a.output.isEmpty())
            return usage(QStringLiteral("-o OUT.pdf is required"));
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
    if (!parse(env, false, true, a))
        return ExitUsage;
    // One file: its listing, or its JSON object. Several: each listing after
    // a blank line, or a JSON array of the objects, each with its "file" (a
    // file that does not load: its "error"). A bad file does not stop the
    // others; the exit code says it at the end.
    int code = ExitOk;
    QJsonArray all;
    for (const QString &file : a.files) {
        ParameterRecord rec;
        FileProblem problem;
        if (!loadDataFile(file, rec, problem)) {
            warn(problem.text());
            all << QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("error"), problem.text()}};
            code = ExitFile;
            continue;
        }
        if (a.json && a.files.size() > 1) {
            QJsonObject o = QJsonDocument::fromJson(settingsListingJson(rec, a.deviceType)).object();
            o[QStringLiteral("file")] = file;
            all << o;
            continue;
        }
        // The name as the shell gave it, the listing in UTF-8.
        const QByteArray gap = file == a.files.first() ? QByteArray() : QByteArray("\n");
        if (!put(stdout, a.json ? settingsListingJson(rec, a.deviceType)
                                : gap + "Settings file " + fileNameBytes(file) + '\n'
                                      + settingsListingText(rec, a.deviceType).toUtf8()))
            return exitWith(ExitFile, QStringLiteral("cannot write to standard output"));
    }
    if (a.json && a.files.size() > 1)
        put(stdout, QJsonDocument(all).toJson(QJsonDocument::Indented));
    return code;
}

int cmdPrint(Env &env)
{
    FileArgs a;
    if (!parse(env, true, false, a))
        return ExitUsage;
    AppState st;
    if (!loadSettingsFile(a.files.first(), st.ParamRecord))
        return ExitFile;
    st.DeviceType = a.deviceType;
    // As the screen sets it from the serial number.
    st.Is5600Series = SerialOf5600Series(st.ParamRecord);

    QString moduleError;
    const GuiModule *gui = guiModule(moduleError);
    if (!gui)
        return exitWith(ExitFile, QStringLiteral("print: cannot load the printing module: %1").arg(moduleError));
    const std::unique_ptr<Printer> pdf(gui->openPdf(a.output));
    FileCommands::DataPrintOut(*pdf, st);
    if (!pdf->ok()) {
        err(QCoreApplication::translate("qel::FileCommands", "印刷処理を中断します。"));
        // The printer's file error is the path, a line break, then the reason.
        const QString path = QDir::toNativeSeparators(a.output);
        const QString why = pdf->fileError().mid(path.size() + 1);
        warn(QStringLiteral("print: cannot write %1: %2")
                 .arg(path, why.isEmpty() ? QStringLiteral("the page could not be drawn") : why));
        return ExitFile;
    }
    return ExitOk;
}

const CommandRegistration showCommand({
    QStringLiteral("show"), QStringLiteral("show FILE... [--json] [--type 521|527|5600]"),
    QStringLiteral("readable listing of settings files (--type\n"
                   "gives the unit of the output update time)"),
    {QCommandLineOption(QStringLiteral("json")), typeOption()}, cmdShow, false, true});

const CommandRegistration printCommand({
    QStringLiteral("print"), QStringLiteral("print FILE -o OUT.pdf [--type 521|527|5600]"),
    QStringLiteral("the printed settings list, as PDF"),
    {QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("OUT.pdf")), typeOption()},
    cmdPrint, true});

} // namespace qel::cli
