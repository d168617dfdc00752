#pragma once
// The work on converters that the window, qelctl and the service share, as
// functions over a session with typed results: detection, identification,
// read-and-keep, write-with-undo, restore, check and backup. A job says
// nothing of its own: the caller prints its result (qelctl's lines and JSON,
// Report.h) or shows it. Only what does not stop a job (a copy the device
// history could not keep) is told as it happens, through the session.

#include "DeviceStore.h"
#include "Differences.h"

#include "core/Context.h"
#include "platform/PortAccess.h"
#include "typechange/TypeChange.h"

#include <QDateTime>
#include <functional>
#include <optional>

namespace qel::jobs {

// One converter's port and what the jobs need around it.
struct Session {
    Context &ctx;
    RsReadWrite &engine;
    TypeChange &typeChange;
    DeviceStore &store;
    QString port;         // the device path or address the results name
    QString portArgument; // the port as --port gave it, for an undo command; empty: the stored one
    // Holds the port's device for the job; false with the problem, which it has told.
    std::function<bool(PortProblem &)> claim = [](PortProblem &) { return true; };
    // What does not stop a job, told as it happens (in English).
    std::function<void(const QString &)> warn = [](const QString &) {};
    // True once the program was told to end (Abort in the detection box).
    std::function<bool()> ended = [] { return false; };

    QDateTime now() const { return ctx.platform.clock->wallTime(); }
};

// ---------------------------------------------------------------- results

// What every result about one converter's port carries, and what the
// commands for many converters add to it.
struct PortResult {
    QString port;
    QString type = QStringLiteral("none"); // "5600", "521", "527", "none"
    std::optional<QString> serial;         // as the converter gives it, blanks trimmed; once read
    QString portProblem;                   // the port did not open: the line told
    // From the fleet file (Fleet.h), and for a second name of one device.
    QString name, expectedSerial, sameAs;
    bool serialMismatch = false;
};

struct Detection {
    QString port;
    PortProblem portProblem;
    TypeCheckResult found; // nothing answered: no generation
    bool answered() const { return found.generation != nullptr; }
    QString type() const { return typeText(found.code); }
    PortResult result() const;
};

// Claims the port and runs the type detection of the start-up.
Detection detect(Session &s);

// scan: the type, serial number and version of the converter on the port.
struct ScanResult : PortResult {
    QString version; // with the serial number
};
ScanResult identify(Session &s);

enum class ReadStatus {
    Read,
    NotOpened,   // the port did not open (told when it was claimed)
    NoConverter, // nothing answered detection
    NoAnswer,    // it answered detection, but not the read's "Q"
    Incomplete,  // the read did not complete
};
struct ReadOutcome {
    Detection detection;
    ReadStatus status = ReadStatus::NotOpened;
    int deviceType = TypeNone; // as read (the read's presence check may find another type)
    ParameterRecord record;
    KeepResult kept;
    bool ok() const { return status == ReadStatus::Read; }
    QString serial() const { return QString::fromLatin1(record.field(32).trimmed()); }
    PortResult result() const;
};
// Detection and the Read button's work; nothing kept yet.
ReadOutcome readSettings(Session &s);
// A read that came in whole, into the store (told through the session when it could not be kept).
void keepRead(Session &s, ReadOutcome &read);
// Both: what read, diff and check do.
ReadOutcome readAndKeep(Session &s);

// ---------------------------------------------------------------- write and restore

enum class WriteStatus {
    Written,        // accepted (without --verify)
    Verified,       // accepted, read back, held as written
    NotOpened,      // nothing written from here on
    NoConverter,
    PresentUnread,  // the present settings could not be read to be kept
    SerialUnread,   // the serial number to check could not be read
    OtherSerial,    // another converter than expected
    NoCopy,         // restore: no copy to write (`choice`), or it did not load (`copyProblem`)
    NotKept,        // what it would replace could not be kept
    Stopped,        // the write did not go through (`stopLines`)
    ReadBackFailed, // written; reading back failed
    NotHeld,        // written; the device holds other settings (`notHeld`, `differences`)
};

struct WriteRequest {
    ParameterRecord record;
    bool verify = false;
    bool keepBefore = true;  // read and keep the present settings first
    QString expectSerial;    // the serial number the converter must have; empty: any
};

struct WriteOutcome {
    WriteStatus status = WriteStatus::NotOpened;
    Detection detection;
    QString serial;              // the converter's, once read
    QString expectSerial;
    KeptCopy kept;               // what it replaced, kept before the write
    QStringList stopLines;       // Stopped: where, why, and the command that undoes it
    QList<SettingDifference> differences; // verify: the settings F1..F30 held otherwise
    QStringList notHeld;                  // verify: what is held otherwise, a line each
    CopyChoice choice;           // restore: the copy written, or why none
    FileProblem copyProblem;     // restore: the copy did not load
    bool written() const;
    bool ok() const { return status == WriteStatus::Written || status == WriteStatus::Verified; }
};

// Detection; the present settings read and kept (keepBefore); the serial
// number checked; the write; what it replaced marked for undo once the
// write has reached the converter; the read back (verify).
WriteOutcome writeWithUndo(Session &s, const WriteRequest &request);
// The store's copy for the converter SERIAL (CopyChoice's rule; `at` empty:
// not given), written as writeWithUndo writes with verify, keeping what it
// replaces. The copy is chosen as the history stood before this run.
WriteOutcome restore(Session &s, const QString &serial, const QString &at);

// What a write replaces and how it is undone, for the window and the jobs
// alike: the copy of the converter's settings kept before it is marked in
// the store once the write has reached the converter (a setting taken, or
// one whose reply never came), and a write that stopped part-way names the
// copy the store's rule gives for that converter.
class WriteUndo {
public:
    WriteUndo(DeviceStore &store, KeptCopy replaced, QString portArgument,
              std::function<void(const QString &)> warn);
    // Before the write: the progress of an earlier one forgotten.
    void begin(AppState &st);
    // The lines of a write that did not go through (PartialWrite.h), in
    // English or the program's language; marks first where it reached the converter.
    QStringList stopLines(const AppState &st, bool program);
    // After the write: marks where it reached the converter.
    void settle(const AppState &st);

private:
    DeviceStore &store_;
    KeptCopy replaced_;
    QString portArgument_;
    std::function<void(const QString &)> warn_;
    bool marked_ = false, markFailed_ = false;
};

// The history as the window keeps it: every read it makes, after the
// exchange; its write replaces the copy of its last read of that converter.
class EditorHistory {
public:
    EditorHistory(DeviceStore &store, QString portArgument, std::function<void(const QString &)> warn);
    KeepResult keep(const Reading &reading);
    // Around 書き込み: `stopNote` is the engine's writeStopNote.
    void beginWrite(AppState &st);
    QString stopNote(const AppState &st);
    void endWrite(const AppState &st);

private:
    DeviceStore &store_;
    QString portArgument_;
    std::function<void(const QString &)> warn_;
    KeptCopy lastRead_;
    std::optional<WriteUndo> write_;
};

// ---------------------------------------------------------------- check and backup

enum class CheckStatus { Same, Differs, NoApprovedFile, ApprovedFileError, NotAnswering };
struct CheckResult : PortResult {
    CheckStatus status = CheckStatus::NotAnswering;
    QString file;          // checked from a backup file (check --from): that file
    QString approved;      // the approved file compared with
    QStringList lookedFor; // NoApprovedFile: the names looked for
    QString error;         // NotAnswering: why; ApprovedFileError: the file's problem
    QList<SettingDifference> differences;
};
// Reads the converter on the port and compares it with its file in `approvedDir`.
CheckResult check(Session &s, const QString &approvedDir);
// The converter `device` (its type and the record read from it) compared
// with its approved file: `result` with the status and what was found.
CheckResult compareWithApproved(const QString &approvedDir, const AppState &device, CheckResult result = {});
// The settings of a backup file as the converter they were read from held
// them (check --from): false with `problem` when the file is no backup file
// of a known type or does not load.
bool backupState(const QString &path, AppState &device, FileProblem &problem);

struct BackupResult : PortResult {
    QString file;      // the file written
    QString fileError; // it could not be written: why
    QString error;     // the read did not complete
};
// Reads the converter into DIR/TYPE-SERIAL-YYYYMMDD-HHMMSS.pdt (a name
// nothing else holds), then keeps the read.
BackupResult backup(Session &s, const QString &dir);

// The backup files in `dir` a check --from compares: of each converter
// (type and serial number) the files of its latest time (several converters
// of one serial number saved at once keep -2, -3 ...), by name.
QStringList latestBackups(const QString &dir, QString &error);

} // namespace qel::jobs
