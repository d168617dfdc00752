#pragma once
// Every file the project writes goes through here: it is written whole or not
// at all.
//
// The bytes go to a new temporary file beside the target. commit() checks
// that every write went through, flushes the file to the disk and only then
// renames it over the target. On any error the target stays byte for byte as
// it was, the temporary file is removed, and errorString() says why (the
// system's reason, e.g. "No space left on device").
//
// A target that is a symbolic link is replaced where the link points (the
// link stays). A target that exists and is no regular file (a terminal, a
// pipe, /dev/null, /dev/full) cannot be replaced: its bytes are written to it
// directly, every write checked.
//
//     SafeWrite f(path);
//     if (!f.open() || !f.write(bytes) || !f.commit())
//         report(f.errorString());
//
// A file the project names itself (a backup, a history copy, the history's
// own files) is written in its folder's form: relative to an open folder
// (Folder.h), the temporary file made there with O_EXCL|O_NOFOLLOW, and
// commit() names it there without ever following a symbolic link.
//
// Each system's side is a file of its own (SafeWrite_posix.cpp,
// SafeWrite_windows.cpp: there the file is flushed with FlushFileBuffers and
// put in place with MoveFileEx, a new name never replacing anything).

#include <QByteArray>
#include <QString>

namespace qel {

class Folder;
class ReadOnlyFile;

class SafeWrite {
public:
    explicit SafeWrite(const QString &path);
    // The folder's form. NewName takes a name that nothing holds in any form
    // (a file, a folder, a link, a dangling link): `name`, else STEM-2.EXT,
    // STEM-3.EXT ...; Replace puts the file in place of whatever entry
    // `name` is (a link there is replaced, not followed).
    enum class Placing { NewName, Replace };
    SafeWrite(const Folder &folder, const QString &name, Placing placing);
    ~SafeWrite(); // an uncommitted file is discarded
    SafeWrite(const SafeWrite &) = delete;
    SafeWrite &operator=(const SafeWrite &) = delete;

    // Creates the temporary file (or opens the device). False with
    // errorString() when the target cannot be written at all.
    bool open();
    // Appends bytes. The first failure sticks: later writes and commit()
    // fail too.
    bool write(const QByteArray &bytes);
    bool write(const char *data, qint64 size);
    // Appends `length` bytes of the open file `from`, starting at `offset`,
    // a piece at a time; holes of a sparse file stay holes. A file of any
    // size is copied without being held in memory.
    bool copyFrom(const ReadOnlyFile &from, qint64 offset, qint64 length);
    // Flushes, checks and renames into place. False with errorString() when
    // anything failed; the target is then untouched.
    bool commit();
    // Drops what was written; the target is untouched.
    void cancel();

    QString errorString() const { return error_; }
    // The target as given; in the folder's form, once committed, the path
    // under the name it took.
    QString path() const { return path_; }

private:
    bool fail(const QString &why);
    bool failSystem(); // the system's reason for the last call that failed
    bool isOpen() const;
    // The temporary file: PREFIX, a random word and ".tmp", made anew (never
    // through a link) in the folder, or beside the target.
    bool createTemp(const QByteArray &prefix);
    bool placeInFolder();
    // `size` bytes at `at` of the temporary file; then its end at `size`.
    bool writeAt(qint64 at, const char *data, qint64 size);
    bool endAt(qint64 size);

    QString path_;
    QByteArray target_; // where the rename goes (links followed), encoded
    QByteArray temp_;   // the temporary file; empty when writing straight
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    qint64 size_ = 0;   // bytes appended so far
    bool direct_ = false;
    bool failed_ = false;
    QString error_;
    const Folder *folder_ = nullptr; // the folder's form: the folder, and how the name is taken
    Placing placing_ = Placing::Replace;
    QString name_;
};

// The whole of `bytes` as the file `path`, through SafeWrite. False with the
// reason in `error`.
bool writeFileWhole(const QString &path, const QByteArray &bytes, QString &error);
// The same in the folder's form; `path` receives the file's path as named.
bool writeFileIn(const Folder &folder, const QString &name, SafeWrite::Placing placing,
                 const QByteArray &bytes, QString &path, QString &error);

} // namespace qel
