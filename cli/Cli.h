#pragma once
// qelctl: the command-line tool over the same library as the program.

#include "files/DeviceHistory.h" // typeText, typeCode
#include "files/SettingsListing.h"
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
    int count = 0;
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
    // Where the device history put the last read (the hook sets it).
    std::shared_ptr<KeptCopy> lastKept = std::make_shared<KeptCopy>();

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
// "qelctl: WHY" on stderr; returns `code`, the command's exit code.
int exitWith(int code, const QString &why);
// Bytes to stdout or stderr, passed on at once; false when they did not all
// go out (a pipe whose reader has ended).
bool put(FILE *to, const QByteArray &bytes);

// Type detection as at start-up (TypeCheck: the "E" probe and "Q" at 9600,
// then at 1200 baud with the 52X image read). Returns what answered: no
// generation (and code 0) when nothing did, or the user aborted.
TypeCheckResult detectDevice(Env &env);

// The Read button's work after detection (presence check, full read, the
// history's copy); true when the settings came in whole. `result` receives
// the engine's result.
bool readSettings(Env &env, CommResult *result = nullptr);

// A setting F1..F30 that a converter holds otherwise than a file says.
struct SettingDifference {
    SettingEntry file, device;
};

// What came of a write, for write --json.
struct WriteReport {
    QString type;    // the type detected ("none": nothing answered)
    QString serial;  // the converter's serial number, once read
    bool written = false;
    bool verified = false;                 // --verify: the device holds what was written
    QList<SettingDifference> differences;  // --verify: settings held otherwise (F1..F30)
    QStringList notHeld;                   // --verify: what it holds otherwise, as stderr lists it
    QString error;                         // why it stopped; empty when it did not
};

// A write of settings to the converter on the port (write, restore).
struct WriteJob {
    ParameterRecord record;  // what goes to the converter (once chosen)
    bool verify = false;     // read back and compare
    bool keep = true;        // the present settings into the history first
    QString expectSerial;    // the serial number the converter must have; empty: any
    // Once detection (and the read) know the converter: its type text and
    // serial number as the history names them; picks `record`. ExitOk to go on.
    std::function<int(const QString &type, const QString &serial)> choose;
    WriteReport report; // filled in by writeToConverter
};
// Detection, the present settings read and kept (unless not `keep`), the
// serial number checked, the write, and the read back. Says what went wrong
// on stderr, where a write stopped part-way and how to undo it included;
// returns the exit code.
int writeToConverter(Env &env, WriteJob &job);

// Every setting F1..F30 that `b` holds otherwise than `a`, both records as
// a device of `deviceType` holds them.
QList<SettingDifference> recordDifferences(const ParameterRecord &a, const ParameterRecord &b,
                                           int deviceType);
// "NAME (JA, FIELDS): LABEL-A VALUE, LABEL-B VALUE", as diff prints a difference.
QString differenceLine(const SettingDifference &d, const QString &labelA, const QString &labelB);
// Every setting of `file` that the converter just read into `st` holds
// otherwise, compared as that converter can hold a record (DeviceHolds:
// a 52X's image widths, a 5600's short forms); `diff` and `check` list these.
QList<SettingDifference> settingDifferences(const ParameterRecord &file, const AppState &st);
// A setting's value for a message: its meaning and raw text, or the raw text.
QString valueText(const SettingEntry &e);
// The differences as JSON: one object a setting, {setting, name, nameJa,
// fields, FILESIDE: {raw, meaning}, device: {raw, meaning}} (`fileSide` is
// "file" for diff, "approved" for check).
QJsonArray differencesJson(const QList<SettingDifference> &differences, const QString &fileSide);
// One JSON value on stdout, and nothing else (keys in alphabetical order).
void printJson(const QJsonValue &value);

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

// After detection: the identification (F31..F34) of the converter found
// into the record; false when it could not be read.
bool readSerial(Env &env, const Generation *found);

} // namespace qel::cli
