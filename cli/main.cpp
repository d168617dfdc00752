// qelctl [--port DEVICE] COMMAND [ARGS]
#include "Cli.h"
#include "GuiModule.h"

#include "core/Language.h"
#include "core/Settings.h"
#include "files/DataFile.h"
#include "platform/FileName.h"
#include "platform/NetworkPort.h"
#include "platform/System.h"
#include "platform/WireTrace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace qel::cli {

// A message goes out as UTF-8, except that a file name the shell gave in
// another encoding (a Shift-JIS name) is written back as its own bytes, so
// the terminal shows it as the user typed it.
namespace {
// A lost line's cause, held back until the next line: a write that stopped
// names it in its own line, which then says it once.
QString &heldBackCause()
{
    static QString cause;
    return cause;
}
} // namespace

void err(const QString &text)
{
    const QString held = std::exchange(heldBackCause(), QString());
    if (!held.isEmpty() && !text.contains(held))
        put(stderr, fileNameBytes(QStringLiteral("qelctl: ") + held) + '\n');
    put(stderr, fileNameBytes(text) + '\n');
}

void flushHeldBack()
{
    const QString held = std::exchange(heldBackCause(), QString());
    if (!held.isEmpty())
        put(stderr, fileNameBytes(QStringLiteral("qelctl: ") + held) + '\n');
}

void warn(const QString &why)
{
    err(QStringLiteral("qelctl: ") + why);
}

int exitWith(int code, const QString &why)
{
    warn(why);
    return code;
}

void printJson(const QJsonValue &value)
{
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out(QString::fromUtf8(doc.toJson(QJsonDocument::Indented)).trimmed());
}

void out(const QString &text)
{
    put(stdout, fileNameBytes(text) + '\n');
}

bool put(FILE *to, const QByteArray &bytes)
{
    const bool written = writeStd(to, bytes);
    // Standard output's reader went away (| head): the run ends as a
    // closed pipe ends a program in a pipeline.
    if (!written && to == stdout && lastWriteFoundNoReader())
        endAsClosedPipe();
    return written;
}

MsgResult StderrBoxes::show(const QString &text, const QString &title, MsgIcon,
                            MsgButtons buttons)
{
    // The title, then the text exactly as the box shows it, line breaks kept.
    err(QStringLiteral("[%1]\n%2").arg(title, text));
    return buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort : MsgResult::Ok;
}

MsgResult StderrBoxes::showPortProblem(const QString &text, const PortProblem &problem,
                                       const QString &title, MsgIcon icon, MsgButtons buttons,
                                       const QString &after)
{
    const MsgResult answer = show(after.isEmpty() ? text : text + u'\n' + after, title, icon, buttons);
    if (problem.cause == PortProblem::Lost)
        heldBackCause() = problem.text(); // told by the next line, or by a write's stop line
    else if (!problem.ok())
        warn(problem.text());
    return answer;
}

void Env::setUp()
{
    portMap = std::make_unique<PortMap>(&store);
    if (!portOverride.isEmpty())
        portMap->setOverride(portOverride);
    ports = std::make_unique<QtSerialPortFactory>(portMap.get());
    Platform p;
    p.clock = &clock;
    p.ports = ports.get();
    p.boxes = &boxes;
    p.dialogs = &dialogs;
    p.store = &store;
    p.terminate = [this] { terminated = true; };
    history = std::make_unique<jobs::HistoryStore>(historyRoot());
    wiring = std::make_unique<Wiring>(p);
    ctx = &wiring->ctx;
    engine = &wiring->engine;
    typeChange = &wiring->typeChange;
    if (portOverride.isEmpty())
        CommPortSetting(*ctx, 1); // the stored port, read as the program reads it
    else
        ctx->state.CommPortNo = 1;
}

jobs::Session Env::session(jobs::DeviceStore *store)
{
    jobs::Session s{*ctx, *engine, *typeChange, store ? *store : *history, portPath(), portOverride};
    s.claim = [this](PortProblem &problem) { return claimPort(&problem); };
    s.warn = warn;
    s.ended = [this] { return terminated; };
    return s;
}

QString Env::portPath() const
{
    return portMap->devicePath(ctx->state.CommPortNo == 0 ? 1 : ctx->state.CommPortNo);
}

bool Env::claimPort(PortProblem *problem)
{
    const QString path = portPath();
    // A device server keeps its own line to itself; there is no node to lock here.
    if (isNetworkUrl(path))
        return true;
    if (!hold.device().isEmpty() && hold.device() == QFileInfo(path).canonicalFilePath())
        return true;
    const PortProblem p = hold.acquire(path);
    if (p.ok())
        return true;
    warn(p.text());
    if (problem)
        *problem = p;
    return false;
}

bool loadSettingsFile(const QString &path, ParameterRecord &rec)
{
    FileProblem problem;
    if (loadDataFile(path, rec, problem))
        return true;
    warn(problem.text());
    return false;
}

bool saveSettingsFile(const QString &path, const ParameterRecord &rec)
{
    FileProblem problem;
    if (saveDataFile(path, rec, problem))
        return true;
    warn(problem.text());
    return false;
}

namespace {

QList<Command> &registry()
{
    static QList<Command> list;
    return list;
}

} // namespace

CommandRegistration::CommandRegistration(Command command)
{
    QList<Command> &list = registry();
    const auto at = std::lower_bound(list.begin(), list.end(), command.name,
                                     [](const Command &c, const QString &n) { return c.name < n; });
    list.insert(at, std::move(command));
}

const QList<Command> &commands()
{
    return registry();
}

} // namespace qel::cli

using namespace qel::cli;

namespace {

QString helpText()
{
    QString text = QStringLiteral(
        "Usage: qelctl [--port DEVICE] [--trace FILE] COMMAND [ARGS]\n"
        "\n"
        "Talks to a QEL converter (5600 at 9600 baud, 521/527 at 1200 baud) on a\n"
        "serial port, or works on settings files (.pdt, 74 bytes, one record).\n"
        "\n"
        "Options:\n"
        "  --port DEVICE   use this device path (e.g. /dev/ttyUSB0) or a serial\n"
        "                  device server's port rfc2217://HOST:PORT; without it the\n"
        "                  stored port number (COM1..COM4) is used through its\n"
        "                  device mapping (default /dev/ttyS0../dev/ttyS3)\n"
        "  --trace FILE    write every byte on the line each way, with the time\n"
        "                  to the millisecond, the line settings and RTS at each\n"
        "                  open and a network line's Telnet negotiation into FILE\n"
        "                  (also QEL_TRACE=FILE)\n"
        "  -h, --help      show this text\n"
        "  --version       show the version\n"
        "\n"
        "Commands:\n");
    for (const Command &c : commands()) {
        QStringList lines = c.help.split(u'\n');
        QString first = QStringLiteral("  ") + c.synopsis;
        if (first.size() < 29) {
            first = first.leftJustified(29) + lines.takeFirst();
        }
        text += first + u'\n';
        for (const QString &l : lines)
            text += QString(29, u' ') + l + u'\n';
    }
    text += QStringLiteral(
        "\n"
        "A fleet file (--fleet FILE of scan, backup and check; the service reads\n"
        "/etc/qel-settings/fleet) names one port a line, then optionally a name\n"
        "(- for none) and the serial number expected there:\n"
        "  /dev/serial/by-id/usb-FTDI_...-port0  pump-4   23456   # comment\n"
        "  rfc2217://10.0.4.21:4001              cab-4-1\n"
        "A bad line is reported with its number and skipped (exit 3 at the end).\n"
        "\n"
        "The tool's options (--port, --trace) may also follow the command.\n"
        "\n"
        "Exit codes: 0 success, 1 device or communication failure or refusal,\n"
        "2 usage error, 3 file error. The program's messages go to stderr.\n");
    return text;
}

// The name an option argument gives ("--type=5" -> "type", "-o" -> "o").
QString optionName(const QString &arg)
{
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    return name.left(name.indexOf(u'='));
}

// The argument the command's parser refused: the first option it does not
// declare, else the last argument (an option missing its value).
QString refusedArgument(const QStringList &args, const QList<QCommandLineOption> &options)
{
    for (const QString &a : args) {
        if (a == QLatin1String("--"))
            break;
        if (!a.startsWith(u'-') || a.size() < 2)
            continue;
        const QString name = optionName(a);
        const bool known = std::any_of(options.begin(), options.end(), [&](const QCommandLineOption &o) {
            return o.names().contains(name);
        });
        if (!known)
            return a;
    }
    return args.isEmpty() ? QString(QLatin1String("")) : args.last();
}

// One command's help: its synopsis and what it does, for `qelctl COMMAND --help`.
QString commandHelpText(const Command &c)
{
    QString text = QStringLiteral("Usage: qelctl ") + c.synopsis + QStringLiteral("\n\n");
    for (const QString &l : c.help.split(u'\n'))
        text += QStringLiteral("  ") + l + u'\n';
    if (!c.filesOnly)
        text += QStringLiteral("\nThe tool's options --port DEVICE and --trace FILE may stand before or after\n"
                               "the command.");
    return text + QStringLiteral("\nqelctl --help lists every command.\n");
}

// A refused argument in words: an option the parser knows lacks its value;
// anything else is an option it does not know.
QString refusalText(const QString &arg, const QList<QCommandLineOption> &known)
{
    const QString name = optionName(arg);
    const bool isKnown = std::any_of(known.begin(), known.end(),
                                     [&](const QCommandLineOption &o) { return o.names().contains(name); });
    if (isKnown)
        return QStringLiteral("%1 needs a value (see qelctl --help)").arg(arg.left(arg.indexOf(u'=')));
    return QStringLiteral("unknown option '%1' (see qelctl --help)").arg(arg);
}

// Edits (insertions, deletions, substitutions) that turn one word into the other.
int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The command a mistyped one most likely meant: the only one it begins, else
// the nearest within two edits; empty when none is near.
QString nearestCommand(const QString &typed)
{
    QStringList starting;
    QString nearest;
    int best = 3;
    for (const Command &c : commands()) {
        if (c.name.startsWith(typed))
            starting << c.name;
        const int d = editDistance(typed, c.name);
        if (d < best) {
            best = d;
            nearest = c.name;
        }
    }
    return starting.size() == 1 ? starting.first() : nearest;
}

// Qt's own warnings (XDG_RUNTIME_DIR not set, a font it substitutes) are
// kept, and told only after a run that failed: a script reads a successful
// run's stderr as the tool's own.
QStringList &qtMessages()
{
    static QStringList kept;
    return kept;
}

void keepQtMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg)
        warn(QStringLiteral("Qt: ") + text); // Qt ends the process next
    else if (qtMessages().size() < 100)
        qtMessages() << text;
}

// Options of the tool that may stand before the command or after it.
struct GlobalOptions {
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("DEVICE")};
    QCommandLineOption trace{QStringLiteral("trace"), QString(), QStringLiteral("FILE")};
};

int run(int argc, char **argv)
{
    const QStringList args = QStringList{QStringLiteral("qelctl")} + qel::commandArguments(argc, argv);

    // The tool's own options come before the command, or among the
    // command's own after it; everything else from the command on belongs
    // to the command.
    const GlobalOptions g;
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    QCommandLineParser global;
    const QList<QCommandLineOption> globalOptions{g.port, g.trace, helpOption, versionOption};
    global.addOptions(globalOptions);
    global.addPositionalArgument(QStringLiteral("command"), QString());
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    // The help text: asked for, on stdout; after a wrong command line, on stderr.
    const auto help = [](FILE *to, int exitCode) {
        put(to, helpText().toUtf8());
        return exitCode;
    };
    if (!global.parse(args))
        return exitWith(ExitUsage, refusalText(refusedArgument(args.mid(1), globalOptions), globalOptions));
    if (global.isSet(helpOption))
        return help(stdout, ExitOk);
    if (global.isSet(versionOption)) {
        put(stdout, QStringLiteral("qelctl %1\n").arg(QStringLiteral(QEL_VERSION_TEXT)).toUtf8());
        return ExitOk;
    }
    const QStringList rest = global.positionalArguments();
    if (rest.isEmpty())
        return help(stderr, ExitUsage);

    Env env;
    env.command = rest.first();
    const QStringList commandArgs = rest.mid(1);
    const auto found = std::find_if(commands().begin(), commands().end(),
                                    [&](const Command &c) { return c.name == env.command; });
    if (found == commands().end()) {
        const QString meant = nearestCommand(env.command);
        return exitWith(ExitUsage, meant.isEmpty()
                                       ? QStringLiteral("unknown command '%1' (see qelctl --help)").arg(env.command)
                                       : QStringLiteral("unknown command '%1'; did you mean '%2'? (see qelctl --help)")
                                             .arg(env.command, meant));
    }
    const auto commandHelp = [&] {
        put(stdout, commandHelpText(*found).toUtf8());
        return int(ExitOk);
    };
    const int ends = commandArgs.indexOf(QLatin1String("--"));
    const QStringList beforeEnd = ends < 0 ? commandArgs : commandArgs.mid(0, ends);
    if (beforeEnd.contains(QLatin1String("--help")) || beforeEnd.contains(QLatin1String("-h")))
        return commandHelp();

    // A command for many converters takes --port itself (repeatable).
    const auto declares = [&](const QString &name) {
        return std::any_of(found->options.begin(), found->options.end(),
                           [&](const QCommandLineOption &o) { return o.names().contains(name); });
    };
    QList<QCommandLineOption> accepted = found->options;
    if (!declares(QStringLiteral("port")))
        accepted << g.port;
    accepted << g.trace;
    QCommandLineParser parser;
    parser.addOptions(accepted);
    parser.addOption(helpOption);
    if (!parser.parse(QStringList{QStringLiteral("qelctl ") + env.command} + commandArgs)) {
        env.badOption = refusedArgument(commandArgs, accepted);
        // An option of the command's given without its value is said so
        // here; one the command does not know is the command's to tell.
        if (refusalText(env.badOption, accepted).contains(QLatin1String(" needs a value ")))
            return exitWith(ExitUsage, refusalText(env.badOption, accepted));
    } else if (parser.isSet(helpOption)) {
        return commandHelp();
    }
    env.args = parser.positionalArguments();
    env.opts = &parser;

    // One device and one trace a run, wherever the option stands.
    const auto once = [&](const QCommandLineOption &o, bool after, QString &value) {
        QStringList given = global.values(o);
        if (after)
            given += parser.values(o);
        given.removeDuplicates();
        if (given.size() > 1) {
            warn(QStringLiteral("--%1 given twice (%2) (see qelctl --help)")
                     .arg(o.names().first(), given.join(QStringLiteral(", "))));
            return false;
        }
        value = given.value(0);
        return true;
    };
    QString tracePath;
    if (!once(g.port, !declares(QStringLiteral("port")), env.portOverride) || !once(g.trace, true, tracePath))
        return ExitUsage;
    if (tracePath.isEmpty())
        tracePath = qEnvironmentVariable("QEL_TRACE");

    // A command that draws pages needs fonts, hence a GUI application, which
    // comes with the GUI module; one that reads files only needs none; every
    // other command runs on Qt Core alone.
    std::unique_ptr<QCoreApplication> app;
    if (found->drawsPages && env.badOption.isNull()) {
        QString error;
        const GuiModule *gui = guiModule(error);
        if (!gui)
            return exitWith(ExitFile,
                            QStringLiteral("%1: cannot load the printing module: %2").arg(env.command, error));
        app.reset(gui->makeApplication(argc, argv));
    } else if (!found->filesOnly) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (app) {
        // The system's own texts (a file's or a port's error) in English, as
        // the tool's lines are; the program's messages in English where the
        // locale's language is English (its translation serves), otherwise
        // as the program shows them.
        qel::useEnglishSystemTexts();
        if (qel::usesEnglish(QLocale::system()))
            qel::installLanguage(QLocale::system());
    }
    if (found->filesOnly)
        return found->run(env);

    if (!tracePath.isEmpty()) {
        QString error;
        if (!qel::WireTrace::start(tracePath, QStringLiteral("qelctl %1").arg(QStringLiteral(QEL_VERSION_TEXT)), error))
            return exitWith(ExitFile, QStringLiteral("%1: cannot write the trace: %2").arg(tracePath, error));
    }
    env.setUp();
    return found->run(env);
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(keepQtMessage);
    // A reader that went away is seen at the write that failed: standard
    // output's ends the run quietly (put, endAsClosedPipe), another
    // output's is told.
    qel::prepareProcess();
    const int code = run(argc, argv);
    flushHeldBack();
    if (code != ExitOk)
        for (const QString &m : qtMessages())
            warn(QStringLiteral("Qt: ") + m);
    return code;
}
