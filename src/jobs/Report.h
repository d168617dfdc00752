#pragma once
// The jobs' results in words and as JSON, at the edge: qelctl prints them
// (its lines are English; the JSON keys are the README's schema, camelCase),
// and the processes of a command for many converters hand their results to
// the first one as JSON, read back here into the same types.

#include "Jobs.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qel::jobs {

// A setting's value for a message: its meaning and raw text, or the raw text.
QString valueText(const SettingEntry &e);
// "NAME (JA, FIELDS): LABEL-A VALUE, LABEL-B VALUE", as diff prints a difference.
QString differenceLine(const SettingDifference &d, const QString &labelA, const QString &labelB);
// One object a setting, {setting, name, nameJa, fields, FILESIDE: {raw,
// meaning}, device: {raw, meaning}}; `fileSide` is "file" (diff, write) or
// "approved" (check).
QJsonArray toJson(const QList<SettingDifference> &differences, const QString &fileSide);
QList<SettingDifference> differencesFromJson(const QJsonArray &all, const QString &fileSide);

// {"port", "type"}, then what applies: "portProblem", "serial", and the
// fleet file's "name", "expectedSerial", "serialMismatch", and "sameAs".
QJsonObject toJson(const PortResult &r);
QJsonObject toJson(const ScanResult &r);   // "serial" with "version"
QJsonObject toJson(const BackupResult &r); // "file", "fileError" or "error"
QJsonObject toJson(const CheckResult &r);  // "status", "approved", "lookedFor", "error", "differences"
void fromJson(const QJsonObject &o, PortResult &r);
void fromJson(const QJsonObject &o, ScanResult &r);
void fromJson(const QJsonObject &o, BackupResult &r);
void fromJson(const QJsonObject &o, CheckResult &r);

// write --json: {"port", "file", "type", "written", "serial", ...} (README).
QJsonObject toJson(const WriteOutcome &o, const QString &file, bool verify);

// "same", "differs", "noApprovedFile", "approvedFileError", "notAnswering".
QString statusName(CheckStatus status);

// Why a write or restore wrote nothing or stopped, as one line (the lines
// of a stopped write joined); empty where it went through, or where what is
// wrong is in `notHeld`.
QString writeError(const WriteOutcome &o);
// Why a restore found no copy to write ("...; nothing written").
QString choiceError(const CopyChoice &c);
// Why `at` named no copy (history --diff).
QString atError(const CopyChoice &c);

} // namespace qel::jobs
