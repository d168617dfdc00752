#pragma once
// What the files and the tool ask of the file system by a path the user
// gave: what stands there, the bytes of a file read a piece at a time, and a
// file that every line is appended to. Each system's side is a file of its
// own (FileAccess_posix.cpp, FileAccess_windows.cpp).

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

// A regular file opened for reading (never blocking: a FIFO or a device is
// not opened as one).
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    // False with `error` (the system's reason) when it cannot be opened.
    bool open(const QString &path, QString &error);
    bool isOpen() const;
    // Up to `size` bytes from `offset`; fewer at the end of the file, -1 on
    // an error (the reason in `error`).
    qint64 readAt(qint64 offset, char *data, qint64 size, QString &error) const;
    // The first `most` bytes (fewer when the file is shorter).
    QByteArray readHead(qint64 most, QString &error) const;
    // Where the file's data lies from `offset` on, for a copy that keeps a
    // sparse file's holes: the next byte of data at or after `offset` and
    // where the hole after it begins. False when the system cannot tell
    // (then everything counts as data); `data` is -1 when only a hole follows.
    bool nextData(qint64 offset, qint64 &data, qint64 &hole) const;
    void close();

private:
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// A file every line is appended to whole (a trace): made anew or emptied
// at open, then only appended to, so that lines from several writers never
// overwrite one another.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    bool open(const QString &path, QString &error);
    bool isOpen() const;
    // All of `bytes` in one append, or false with `error`.
    bool append(const QByteArray &bytes, QString &error);

private:
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

} // namespace qel
