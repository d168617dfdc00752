#pragma once
// Output to what is not a regular file: standard output ("-"), a pipe or a
// FIFO, a terminal, a device. Such a target cannot be replaced whole, as a
// file is (SafeWrite), so it is opened before any work is done (a FIFO
// without a reader is refused at once instead of blocking the open) and
// written straight, every write checked: a short write is a failure. A full
// pipe is waited for; the wait ends, and the write fails, as soon as the
// stop descriptor becomes readable (a stop signal, StopSignals::stopFd).
//
// On Windows (StreamOutput_windows.cpp) the streams are standard output, a
// named pipe (\\.\pipe\NAME) and the devices (NUL, CON); a console is
// written as text in its own characters, everything else as the bytes given;
// a stop or the wait limit cancels a write that waits for a full pipe.

#include <QByteArray>
#include <QString>

namespace qel {

class StreamOutput {
public:
    StreamOutput() = default;
    ~StreamOutput();
    StreamOutput(const StreamOutput &) = delete;
    StreamOutput &operator=(const StreamOutput &) = delete;

    // "-", or a path that exists and is no regular file or folder (links
    // followed). A path that does not exist names a file to be made.
    static bool isStream(const QString &path);

    // Opens "-" (standard output) or the stream at `path`; false with
    // error() when it cannot be written (a FIFO nobody reads, no rights).
    bool open(const QString &path);
    // All of `bytes`, or false with error().
    bool write(const QByteArray &bytes);
    // Ends any wait for room when `fd` becomes readable; -1: never.
    void setStopFd(int fd) { stopFd_ = fd; }
    // A write fails when the reader takes nothing for `ms`; -1: waits on.
    void setWaitLimit(int ms) { waitMs_ = ms; }
    bool isOpen() const;
    QString error() const { return error_; }
    // The last write failed because the reader went away (a closed pipe).
    bool readerGone() const { return readerGone_; }

private:
    bool fail(const QString &why);

#ifdef _WIN32
    void *handle_ = nullptr;
    bool console_ = false; // a console: written as text
#else
    int fd_ = -1;
#endif
    bool own_ = false; // opened here (closed at the end), not standard output
    int stopFd_ = -1;
    int waitMs_ = -1;
    QString error_;
    bool readerGone_ = false;
};

} // namespace qel
