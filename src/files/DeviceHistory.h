#pragma once
// The device history: a copy of every settings record read from a device,
// kept under ROOT/TYPE-SERIAL/YYYYMMDD-HHMMSS.pdt (ROOT is
// $XDG_DATA_HOME/qel-settings/history), so that what a converter held before
// it was changed can be found again. Beside the copies, each folder holds
// settings.txt, and a history in git gets a commit a copy (HistoryGit.h).

#include "core/AppState.h"
#include "core/ParamRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

namespace qel {

struct HistoryEntry {
    QString type;     // "5600", "521", "527"
    QString serial;   // as the folder names it
    QDateTime when;   // from the file name (local time)
    QString path;
};

// $XDG_DATA_HOME/qel-settings/history (~/.local/share/... by default).
QString historyRoot();

// The folder name part of a serial number read from a device: its digits and
// letters only (a device reply never names a path), "unknown" when empty.
QString historySerial(const QByteArray &field32);

// Saves the record (atomic, as every save). On failure `error` says why and
// nothing is left behind. `path` receives the file written.
bool keepInHistory(const QString &root, const QString &type, const ParameterRecord &rec,
                   const QDateTime &when, QString &path, QString &error);

// "5600", "521", "527", or "none" for any other type code, and back
// (TypeNone for any other text).
QString typeText(int code);
int typeCode(const QString &text);

// The hook the program and the tool give the device logic: keeps a copy of
// the record just read under historyRoot(); a copy that cannot be kept is
// reported through `warn` (the read itself stands).
std::function<void(const AppState &)> historyKeeper(std::function<void(const QString &)> warn);

// Every copy kept, oldest first; only those of `serial` when it is not empty.
QList<HistoryEntry> listHistory(const QString &root, const QString &serial = {});

} // namespace qel
