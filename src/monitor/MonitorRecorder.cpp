#include "MonitorRecorder.h"

#include <QFileInfo>
#include <cstdio>

namespace qel {

MonitorRecorder::MonitorRecorder(Clock &clock)
    : wall_([] { return QDateTime::currentDateTime(); }),
      flushTimer_(clock.createTimer())
{
    flushTimer_->onTimeout = [this] {
        if (!flush() && onFailed)
            onFailed();
    };
}

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::start(const QString &path)
{
    stop();
    error_.clear();
    rows_ = 0;
    committed_ = 0;
    if (path != QLatin1String("-") && StreamOutput::isStream(path)) {
        // A FIFO, a pipe, a device: opened without blocking (a FIFO nobody
        // reads is refused at once) and written with a bounded wait, so a
        // reader that stops taking rows ends the recording, not the window.
        auto stream = std::make_unique<StreamOutput>();
        stream->setWaitLimit(kStreamWaitMs);
        if (!stream->open(path)) {
            error_ = stream->error();
            return false;
        }
        ownStream_ = std::move(stream);
        return start(ownStream_.get(), path);
    }
    auto file = std::make_unique<QFile>();
    bool opened;
    if (path == QLatin1String("-")) {
        opened = file->open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered,
                            QFileDevice::DontCloseHandle);
        regular_ = false;
    } else {
        file->setFileName(path);
        opened = file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        regular_ = opened && QFileInfo(path).isFile();
    }
    if (!opened) {
        error_ = file->errorString();
        return false;
    }
    path_ = path;
    file_ = std::move(file);
    return begin();
}

bool MonitorRecorder::start(StreamOutput *stream, const QString &name)
{
    stop();
    error_.clear();
    rows_ = 0;
    committed_ = 0;
    regular_ = false;
    path_ = name;
    stream_ = stream;
    return begin();
}

bool MonitorRecorder::begin()
{
    pending_ = header();
    if (!writeOut())
        return false;
    flushTimer_->start(kFlushMs);
    return true;
}

void MonitorRecorder::record(const MonitorDisplay &d, const QDateTime &at)
{
    if (!isRecording())
        return;
    pending_ += row(at, d);
    ++rows_;
}

bool MonitorRecorder::flush()
{
    if (!isRecording())
        return error_.isEmpty();
    return writeOut();
}

bool MonitorRecorder::stop()
{
    if (!isRecording())
        return error_.isEmpty();
    if (!writeOut())
        return false;
    flushTimer_->stop();
    file_.reset(); // closed with it
    stream_ = nullptr;
    ownStream_.reset();
    return true;
}

bool MonitorRecorder::writeOut()
{
    if (stream_) {
        // A stream keeps what it took; what it did not is lost with it.
        const bool ok = stream_->write(pending_);
        pending_.clear();
        if (!ok)
            fail(stream_->error());
        return ok;
    }
    qint64 done = 0;
    while (done < pending_.size()) {
        // A short write is followed by one more for the rest, which then
        // fails with the reason (a full disk, a file too large, a closed pipe).
        const qint64 n = file_->write(pending_.constData() + done, pending_.size() - done);
        if (n <= 0) {
            // Keep the whole rows that made it.
            if (done > 0)
                committed_ += pending_.lastIndexOf('\n', done - 1) + 1;
            fail(file_->errorString());
            return false;
        }
        done += n;
    }
    committed_ += done;
    pending_.clear();
    return true;
}

void MonitorRecorder::fail(const QString &why)
{
    error_ = why.isEmpty() ? QStringLiteral("write error") : why;
    // A short write leaves part of a row: cut the file back to its last
    // whole row (possible only for a regular file; a pipe keeps what it got).
    if (regular_)
        file_->resize(committed_);
    flushTimer_->stop();
    file_.reset(); // closed with it
    stream_ = nullptr;
    ownStream_.reset();
    pending_.clear();
}

QString MonitorRecorder::timeText(const QDateTime &t)
{
    const int off = t.offsetFromUtc();
    const int a = off < 0 ? -off : off;
    return t.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))
        + QLatin1Char(off < 0 ? '-' : '+')
        + QStringLiteral("%1:%2").arg(a / 3600, 2, 10, QLatin1Char('0'))
              .arg(a % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QByteArray MonitorRecorder::row(const QDateTime &t, const MonitorDisplay &d)
{
    // The box texts are padded to eight characters; the file holds them bare.
    return timeText(t).toLatin1() + ',' + d.hex.trimmed().toLatin1() + ','
        + d.percent.trimmed().toLatin1() + '\n';
}

} // namespace qel
