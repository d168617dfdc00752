#pragma once
// What a write that did not go through tells (AppState::LastWrite): where it
// stopped (after which setting, k of n, by name), why (no reply, the line or
// the device server's session lost, a refusal, wrong replies), what the
// converter holds now, and which copy of the device history holds the
// settings it had before, with the command that puts them back. qelctl says
// it in English on stderr; the program puts it, in its own language, under
// the message box of the failure.

#include "core/AppState.h"
#include "files/DeviceHistory.h"

#include <QStringList>

namespace qel {

// The copy that restores the converter's previous settings and the command
// that writes it back; an empty path when there is none.
struct RestoreHint {
    QString path;
    QString command;
};
// The hint for `copy` (a converter's copy in the history): "qelctl [--port
// PORT] restore SERIAL --at NAME"; no hint for an empty copy.
RestoreHint restoreHint(const KeptCopy &copy, const QString &port);

// Whether the converter may now hold some, not all, of the new settings: the
// write stopped at a setting command after others were accepted, or at one
// whose reply never came.
bool stoppedPartWay(const AppState &st);

// The lines, in English (for qelctl, without its "qelctl: ") or in the
// program's language (`program`), of the last write that did not go
// through; none when it went through.
QStringList writeStopLines(const AppState &st, const RestoreHint &hint, bool program);

} // namespace qel
