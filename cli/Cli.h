#pragma once
// qelctl: the command-line tool over the same library as the program.

#include "comm/RsReadWrite.h"
#include "core/Context.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "typechange/TypeChange.h"

#include <QStringList>
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
    int count = 0;
};

struct Env {
    QString portOverride;   // --port DEVICE
    QString command;
    QStringList args;       // after the command

    QtClock clock;
    QSettingsStore store;
    std::unique_ptr<PortMap> portMap;
    std::unique_ptr<QtSerialPortFactory> ports;
    StderrBoxes boxes;
    NoDialogs dialogs;
    std::unique_ptr<Context> ctx;
    std::unique_ptr<RsReadWrite> engine;
    std::unique_ptr<TypeChange> typeChange;
    bool terminated = false;

    // Builds the context: stored port number, or port 1 when --port is given.
    void setUp();
};

void err(const QString &text);
void out(const QString &text);

// "5600", "521", "527" or "none" for a type code.
QString typeName(int code);
// Type detection as at start-up (TypeCheck: the "E" probe and "Q" at 9600,
// then at 1200 baud with the 52X image read). Returns the type code, 0 when
// nothing answered (or the user aborted).
int detectDevice(Env &env);

// Commands; each returns the exit code.
int cmdDetect(Env &env);
int cmdRead(Env &env);
int cmdWrite(Env &env);
int cmdTypeChange(Env &env);
int cmdMonitor(Env &env);
int cmdShow(Env &env);
int cmdPrint(Env &env);
int cmdDiff(Env &env);

// Shared by the file commands: 74-byte settings file. Returns false with a
// message on stderr when the file is missing, short or unreadable.
bool loadSettingsFile(const QString &path, ParameterRecord &rec, QString &error);

} // namespace qel::cli
