#pragma once
// Records the monitor's readings as CSV: a header "time,da_hex,percent" and
// one row a reading (local time in ISO 8601 with milliseconds and offset, the
// DA value and the percentage as the boxes show them, empty fields for a
// blanked reading).
//
// A reading only appends its row to memory; the rows go to the file once a
// second (from the event loop, between the monitor's own events) and on
// stop, so a poll never waits for the disk. A file grows while it is
// recorded and cannot be swapped in whole at the end; instead a failed write
// (a full disk) cuts the file back to its last whole row, closes it and
// stops the recording, and the caller is told why.

#include "monitor/MonitorEngine.h"
#include "platform/Clock.h"
#include "platform/StreamOutput.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>
#include <memory>

namespace qel {

class MonitorRecorder {
public:
    static constexpr int kFlushMs = 1000;
    // How long a pipe's reader may take nothing before the recording stops.
    static constexpr int kStreamWaitMs = 2000;

    explicit MonitorRecorder(Clock &clock);
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder &) = delete;
    MonitorRecorder &operator=(const MonitorRecorder &) = delete;

    // The time stamped on each row; the system's local time by default.
    void setWallClock(std::function<QDateTime()> wall) { wall_ = std::move(wall); }

    // Creates (or empties) path, "-" for standard output, and writes the
    // header. False with error() when the file cannot be opened or written.
    bool start(const QString &path);
    // Records into a stream opened beforehand (a pipe, a FIFO, standard
    // output; named `name` in messages): the rows go into it as the file's
    // do, a write it cannot take ends the recording.
    bool start(StreamOutput *stream, const QString &name);
    // Appends one row for this reading (no effect when not recording),
    // stamped now or at the given time.
    void record(const MonitorDisplay &d) { record(d, wall_()); }
    void record(const MonitorDisplay &d, const QDateTime &at);
    // Writes what is buffered and closes the file. False when that last
    // write failed (error() says why; the file ends with its last whole row).
    bool stop();
    // Writes what is buffered now. False when the write failed: the
    // recording has then stopped.
    bool flush();

    bool isRecording() const { return file_ != nullptr || stream_ != nullptr; }
    QString path() const { return path_; }
    QString error() const { return error_; }
    qint64 rows() const { return rows_; }
    // Called once when a write fails during the recording (not from stop()):
    // the recording has stopped, error() says why.
    std::function<void()> onFailed;

    // "2026-12-07T10:00:00.125+09:00"
    static QString timeText(const QDateTime &t);
    static QByteArray row(const QDateTime &t, const MonitorDisplay &d);
    static QByteArray header() { return QByteArrayLiteral("time,da_hex,percent\n"); }

private:
    bool begin();
    bool writeOut();
    void fail(const QString &why);

    std::function<QDateTime()> wall_;
    std::unique_ptr<QFile> file_;
    StreamOutput *stream_ = nullptr; // instead of file_
    std::unique_ptr<StreamOutput> ownStream_; // a stream start(path) opened
    std::unique_ptr<Timer> flushTimer_;
    QString path_;
    QString error_;
    QByteArray pending_;
    qint64 committed_ = 0; // bytes of whole rows in the file
    qint64 rows_ = 0;
    bool regular_ = false; // a regular file: can be cut back after a short write
};

} // namespace qel
