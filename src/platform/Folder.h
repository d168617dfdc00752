#pragma once
// A folder the project keeps its own files in (the device history, a
// backup), opened so that nothing another user planted leads elsewhere.
//
// A plant's common folder is often writable by everyone (mode 1777). There
// another user can put a symbolic link under the name of a folder or a file
// before this program makes it. So every step of the path is opened relative
// to the one before and a symbolic link is followed only where the kernel's
// protected_symlinks rule would follow it: not in a sticky world-writable
// folder unless the link belongs to this user or to the folder's owner.
// Files are then named relative to the open folder (SafeWrite's folder
// form, entries(), readFile()), never through a link in it.
//
// On Windows (Folder_windows.cpp) links are followed as the system follows
// them; the open folder cannot be removed or renamed while it is open, and
// entries() and readFile() still pass over links in it.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace qel {

class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder &&other) noexcept;
    Folder &operator=(Folder &&other) noexcept;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // Opens the folder `path` (with `create`, makes it and its missing
    // parents, mode 0777 less the umask). False with `error` ("PATH: why")
    // when a step is missing, no folder, or a link that is not followed.
    bool open(const QString &path, bool create, QString &error);
    // The folder `name` (one name, no slash) inside `parent`, by the same rule.
    bool open(const Folder &parent, const QString &name, bool create, QString &error);

    bool isOpen() const;
    QString path() const { return path_; }
    QString filePath(const QString &name) const { return path_ + u'/' + name; }

    struct Entry {
        QString name;
        QDateTime modified;
        qint64 size = 0;
        bool isFolder = false;
    };
    // The regular files and folders in it (no links, nothing hidden), by name.
    QList<Entry> entries() const;
    // The first `most` bytes of the regular file `name` (never through a
    // link); false with `error` when it cannot be read.
    bool readFile(const QString &name, qint64 most, QByteArray &bytes, QString &error) const;
    // Sets the file's modification time, the file's contents untouched.
    bool touch(const QString &name, const QDateTime &when, QString &error) const;
    // An exclusive lock on the folder between processes, released with the
    // folder; waited for as FolderLock waits.
    bool lock(int waitMs) const;

private:
    friend class SafeWrite;
    void close();
#ifdef _WIN32
    void *handle_ = nullptr;
    mutable void *lock_ = nullptr; // the lock lock() took
#else
    int fd_ = -1;
#endif
    QString path_;
};

// An exclusive lock between processes on the folder `path` (Linux: flock on
// the folder; Windows: a lock named after the folder), held while the object
// lives. take() tries every 20 ms while the event loop runs (a window keeps
// drawing) for at most `waitMs`; false when it was not had by then.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    bool take(const QString &path, int waitMs);
    bool held() const { return held_; }

private:
    void release();
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    bool held_ = false;
};

} // namespace qel
