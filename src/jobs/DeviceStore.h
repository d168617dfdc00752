#pragma once
// The device history as the jobs use it: a store asked to keep a reading
// (after the exchange, never inside one), to mark the copy a write replaces,
// to list the copies and to pick the copy a restore writes. Picking is one
// rule for every caller (the window's note under a write that stopped
// part-way, `qelctl restore`, the undo command a cut write prints): the copy
// `at` names, else the one kept before the last write to that converter,
// else its latest, always of its type and serial number.
//
// HistoryStore is the folder under historyRoot() (and git where that folder
// is a repository, HistoryGit.h); NoStore keeps nothing and holds nothing
// (`write --no-keep`, tests). A store that must skip entries it may not
// trust, order its copies otherwise or note who changed what does so behind
// this interface: the jobs only see copies.

#include "files/DataFile.h"
#include "files/DeviceHistory.h"

#include <QDateTime>
#include <QStringList>

namespace qel::jobs {

// What a converter of `deviceType` held at `when`.
struct Reading {
    int deviceType = TypeNone;
    ParameterRecord record;
    QDateTime when;
};

struct KeepResult {
    enum Status {
        Off,       // the store keeps nothing
        Added,     // a new copy
        SeenAgain, // the converter's latest copy holds it (its last seen moved on)
        NotKept,   // it could not be kept: `error`
    };
    Status status = Off;
    KeptCopy copy;  // Added, SeenAgain: where it is
    QString error;  // NotKept: why; Added: what did not follow the copy (its listing, the commit)
    bool kept() const { return status == Added || status == SeenAgain; }
};

// The copy a restore writes, or why there is none.
struct CopyChoice {
    enum Status {
        Found,
        NoCopy,        // nothing kept of that serial number
        OtherTypeOnly, // kept only as other types (`otherTypes`)
        BadTime,       // `at` is neither a copy's name nor a date and time
        NoneAtTime,    // nothing was kept at or before `at`
    };
    Status status = NoCopy;
    HistoryEntry copy;
    QStringList otherTypes;
    QString at;     // NoneAtTime: the time as read (yyyy-MM-dd HH:mm:ss); BadTime: as given
    QString type, serial; // what was looked for
    QString where;        // the store's location
    bool found() const { return status == Found; }
};

class DeviceStore {
public:
    virtual ~DeviceStore() = default;
    // Where the copies are, for messages; empty for a store that keeps nothing.
    virtual QString location() const = 0;
    // False for a store that keeps nothing: a write then reads nothing first.
    virtual bool keeps() const { return true; }
    // Keeps a reading: a new copy when it differs from the converter's latest,
    // else that copy is seen again. Includes whatever follows a new copy
    // (its listing, a commit), so it may take a while: call it after the
    // exchange, with the port closed.
    virtual KeepResult keep(const Reading &reading) = 0;
    // Notes `copy` as the one that holds what a write to its converter replaced.
    virtual bool markBeforeWrite(const KeptCopy &copy, QString &error) = 0;
    // Every copy, oldest first; only those of `serial` (sameSerial) when given.
    virtual QList<HistoryEntry> copies(const QString &serial = {}) const = 0;
    // A copy's record.
    virtual bool load(const HistoryEntry &copy, ParameterRecord &rec, FileProblem &problem) const = 0;

    // The one rule: among the copies of `serial` kept as `type`, the one
    // `at` names (a copy's name, or a time: the latest first seen at or
    // before it), else the one marked before the last write, else the latest.
    // `at` empty: not given.
    CopyChoice choose(const QString &type, const QString &serial, const QString &at = {}) const;
};

// The folder under `root` (historyRoot() for the programs), in git where it is a repository.
class HistoryStore : public DeviceStore {
public:
    explicit HistoryStore(QString root) : root_(std::move(root)) {}
    QString location() const override { return root_; }
    KeepResult keep(const Reading &reading) override;
    bool markBeforeWrite(const KeptCopy &copy, QString &error) override;
    QList<HistoryEntry> copies(const QString &serial = {}) const override;
    bool load(const HistoryEntry &copy, ParameterRecord &rec, FileProblem &problem) const override;

private:
    QString root_;
};

// Keeps nothing and holds nothing.
class NoStore : public DeviceStore {
public:
    QString location() const override { return {}; }
    bool keeps() const override { return false; }
    KeepResult keep(const Reading &) override { return {}; }
    bool markBeforeWrite(const KeptCopy &, QString &) override { return true; }
    QList<HistoryEntry> copies(const QString & = {}) const override { return {}; }
    bool load(const HistoryEntry &copy, ParameterRecord &, FileProblem &problem) const override;
};

// The copy `at` names among one converter's `copies` (oldest first): a
// copy's name with or without .pdt (20261207-101502, 20261207-101502-2), or
// a date and time (2026-12-07 10:15, 2026-12-07T10:15:02, 2026-12-07): the
// copy the converter held then, the latest first seen at or before it. -1
// when none, with `why` (BadTime, NoneAtTime) telling why.
int copyAt(const QList<HistoryEntry> &copies, const QString &at, CopyChoice &why);

// A listed copy as the copy a write kept (for the undo command).
KeptCopy keptCopyOf(const HistoryEntry &e);

// What a keep that did not go fully through says, in English: "the copy for
// the device history was not kept: ..." or "the copy PATH was kept, but:
// ..."; empty when all went well (or the store keeps nothing).
QString keepWarning(const KeepResult &r);

} // namespace qel::jobs
