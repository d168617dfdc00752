#pragma once
// qelctl: the command-line tool over the same library as the program.

#include "jobs/Report.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "wiring/Wiring.h"

#include <QCommandLineOption>
#include <QJsonArray>
#include <QJsonObject>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <memory>

namespace qel::cli {

enum Exit { ExitOk = 0, ExitDevice = 1, ExitUsage = 2, ExitFile = 3 };

// The program's message boxes, for a tool without windows: every text goes
// to stderr; an Abort/Retry/Ignore box answers Abort (the command ends as if
// nothing answered).
class StderrBoxes : public MessageBoxes {
public:
    MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    // The port's problem as the tool's own line after the box:
    // "qelctl: PATH: CAUSE", in English, as claimPort says it.
    MsgResult showPortProblem(const QString &text, const PortProblem &problem, const QString &title,
                              MsgIcon icon, MsgButtons buttons, const QString &after) override;
};

struct Env {
    QString portOverride;   // --port DEVICE
    QString command;
    // The command's own arguments, parsed against the options it declares:
    // `args` are the positional ones, `opts` answers isSet()/value().
    // `badOption` is the argument the parser refused (an option the command
    // does not know, or one missing its value); null when parsing went well.
    QStringList args;
    const QCommandLineParser *opts = nullptr;
    QString badOption;

    QtClock clock;
    QSettingsStore store;
    std::unique_ptr<PortMap> portMap;
    std::unique_ptr<QtSerialPortFactory> ports;
    StderrBoxes boxes;
    NoDialogs dialogs;
    std::unique_ptr<Wiring> wiring;
    Context *ctx = nullptr;
    RsReadWrite *engine = nullptr;
    TypeChange *typeChange = nullptr;
    bool terminated = false;
    DeviceHold hold;        // the device, locked for the whole command
    std::unique_ptr<jobs::HistoryStore> history; // the device history

    // The jobs' session on the port, keeping reads in `store` (the device
    // history unless given): the port held by claimPort, what does not stop
    // a job told by warn().
    jobs::Session session(jobs::DeviceStore *store = nullptr);
    // Builds the context: stored port number, or port 1 when --port is given.
    void setUp();
    // Locks the device of the port for the whole command, so that no other
    // program (another qelctl through another path included) talks to the
    // converter in between; prints "qelctl: PATH: CAUSE" when refused (and
    // hands the problem to `problem`). Holding it already is no new claim.
    bool claimPort(PortProblem *problem = nullptr);
    // The device path or address the session's port leads to.
    QString portPath() const;
};

void err(const QString &text);
void out(const QString &text);
// "qelctl: WHY" on stderr: what went wrong, or what a command could not do
// while it goes on.
void warn(const QString &why);
// warn(why); returns `code`, the command's exit code.
int exitWith(int code, const QString &why);
// Bytes to stdout or stderr, passed on at once; false when they did not all
// go out (a pipe whose reader has ended).
bool put(FILE *to, const QByteArray &bytes);
// put() to stdout whose reader went away ends the run (endAsClosedPipe,
// platform/System.h).
// One JSON value on stdout, and nothing else (keys in alphabetical order).
void printJson(const QJsonValue &value);
// What came of a write or restore told on stderr (why it wrote nothing,
// where it stopped and how to undo it, what verify found); its exit code.
int tellWrite(const jobs::WriteOutcome &o);

// One qelctl command. Each cmd_*.cpp declares its commands with a static
// CommandRegistration; main() parses the command's arguments against its
// options, prepares the device side (Env::setUp) and calls run, whose
// return value is the exit code. The help text is built from these.
struct Command {
    QString name;                       // "read"
    QString synopsis;                   // "read -o FILE"
    QString help;                       // what it does, for --help (lines)
    QList<QCommandLineOption> options;  // the command's own options
    int (*run)(Env &env) = nullptr;
    // Draws pages: started with the GUI module's application (GuiModule.h).
    bool drawsPages = false;
    // Works on files alone: no application object and no device side are
    // built (Env::setUp is not called), so it starts as quickly as can be.
    bool filesOnly = false;
};

// Adds a command to the tool (at static initialisation).
struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

// Every registered command, by name.
const QList<Command> &commands();

// Command-line arguments are decoded without loss (decodeFileName in
// platform/FileName.h): a file argument that is not UTF-8 (a Shift-JIS name)
// reaches the files exactly as the shell gave it.

// A settings file read or written for the tool: a problem is told on
// stderr as "qelctl: PATH: cause", in English.
bool loadSettingsFile(const QString &path, ParameterRecord &rec);
bool saveSettingsFile(const QString &path, const ParameterRecord &rec);

} // namespace qel::cli
