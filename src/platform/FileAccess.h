#pragma once
// What the files and the tool ask of the file system by a path the user
// gave: what stands there, and the bytes of a small file. Each system's side
// is a file of its own (FileAccess_posix.cpp).

#include <QByteArray>
#include <QString>

namespace qel {

// What a path names, links followed.
struct FileState {
    enum Kind { Missing, Folder, Regular, Other, Unknown };
    Kind kind = Missing;
    qint64 size = 0; // Regular: its size in bytes
    QString why;     // Unknown: the system's reason it could not be looked at
};
FileState fileState(const QString &path);

// Up to `most` bytes of the file at `path`, whatever it is (a pipe the
// shell made is read to its end). False with `error` (the system's reason).
bool readUpTo(const QString &path, qint64 most, QByteArray &bytes, QString &error);

} // namespace qel
