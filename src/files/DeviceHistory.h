#pragma once
// The device history: every set of settings read from a converter, kept
// under ROOT/TYPE-SERIAL/YYYYMMDD-HHMMSS.pdt (ROOT is
// $XDG_DATA_HOME/qel-settings/history), so that what a converter held before
// it was changed can be found again and written back.
//
// A copy is added only when a read finds settings other than the converter's
// latest copy; a read that finds the same ones sets that copy's modification
// time instead (when the converter was last seen with them), so an unchanged
// converter adds no file and changes no copy. A name is taken, never assumed:
// a copy read in the same second as another, or under a name something else
// holds, takes -2, -3 ... Beside the copies, each folder holds settings.txt
// and, once a write kept the settings it replaced, before-last-write (the
// name of that copy); a history in git gets a commit a copy (HistoryGit.h).

#include "core/AppState.h"
#include "core/ParamRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace qel {

struct HistoryEntry {
    QString type;       // "5600", "521", "527"
    QString serial;     // as the folder names it
    QDateTime when;     // first seen: from the file name (local time)
    QDateTime lastSeen; // the last read that found these settings (never before `when`)
    QString path;
    QString name;       // the file's name: 20261207-101502.pdt, 20261207-101502-2.pdt
    int number = 1;     // 2, 3 ... for the -2, -3 of a name taken twice in a second
    bool keptBeforeWrite = false; // the copy kept right before the last write
};

// $XDG_DATA_HOME/qel-settings/history (~/.local/share/... by default).
QString historyRoot();

// The folder name part of a serial number read from a device: its digits and
// letters only (a device reply never names a path), "unknown" when empty.
QString historySerial(const QByteArray &field32);
// Two serial numbers are the same; numbers compare by value (00123 is 123).
bool sameSerial(const QString &a, const QString &b);

// "5600", "521", "527", or "none" for any other type code, and back
// (TypeNone for any other text).
QString typeText(int code);
int typeCode(const QString &text);

// Where a record read from a device went.
struct KeptCopy {
    QString path;       // the copy that holds the settings; empty when none
    QString type, serial;
    bool added = false; // a new copy (else the latest one, seen again)
    QString name() const;
};

// Keeps `rec`, read at `when` from a device of `deviceType`: seen again when
// it equals that converter's latest copy, else a new copy (whole or not at
// all, under a name nothing holds). False with `error` when it could not be
// kept. Calls nothing else (the store, jobs/DeviceStore.h, adds settings.txt
// and git).
bool keepCopy(const QString &root, int deviceType, const ParameterRecord &rec,
              const QDateTime &when, KeptCopy &kept, QString &error);

// Notes `copy` as the one kept right before a write to its converter
// (before-last-write in its folder, replaced whole).
bool markKeptBeforeWrite(const QString &root, const KeptCopy &copy, QString &error);

// Every copy kept, oldest first (by first seen, then -2, -3 ...); only those
// of `serial` (sameSerial) when it is not empty. Copies of folders named as
// before (YYYYMMDD-HHMMSS.pdt, -2 ...) are listed as they are; anything that
// is a symbolic link is not.
QList<HistoryEntry> listHistory(const QString &root, const QString &serial = {});

} // namespace qel
