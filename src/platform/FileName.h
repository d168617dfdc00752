#pragma once
// File names are bytes on Linux, and not every name is UTF-8 (a Shift-JIS
// name from an old Windows share). Such a name travels through a QString
// without loss: every byte that is not part of a UTF-8 sequence is kept as a
// lone surrogate U+DC80..U+DCFF, and fileNameBytes gives the exact bytes
// back. Every file the project opens or writes by name goes through
// fileNameBytes; a UTF-8 name comes out as QFile::encodeName gives it.

#include <QByteArray>
#include <QString>

namespace qel {

// Bytes from the system (argv, a directory entry) as a file name.
QString decodeFileName(const QByteArray &bytes);
// The bytes a file name stands for.
QByteArray fileNameBytes(const QString &name);
// The system's text for an errno value ("No space left on device").
QString systemError(int err);

} // namespace qel
