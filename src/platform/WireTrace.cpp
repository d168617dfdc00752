#include "WireTrace.h"

#include "FileAccess.h"
#include "ForwardingPort.h"
#include "StreamOutput.h"

#include <QCoreApplication>
#include <QDateTime>

namespace qel {

namespace {

std::unique_ptr<WireTrace> &theTrace()
{
    static std::unique_ptr<WireTrace> t;
    return t;
}

// The port between the line's user and its transport: every call passes
// through, and what reaches the line is written into the trace.
class TracedPort : public ForwardingPort {
public:
    TracedPort(std::unique_ptr<SerialPort> inner, const QString &path, WireTrace &trace)
        : ForwardingPort(std::move(inner)), path_(path), trace_(trace)
    {
        in_->setProtocolTrace([this](const QString &text) { trace_.note(text); });
    }

    void setSettings(const QString &s) override
    {
        if (in_->isOpen())
            trace_.note(QStringLiteral("settings %1").arg(s));
        in_->setSettings(s);
    }

    bool open() override
    {
        trace_.note(QStringLiteral("open %1: %2, RTS %3")
                        .arg(path_, in_->settings(), in_->rts() ? QStringLiteral("on") : QStringLiteral("off")));
        const bool ok = in_->open();
        if (!ok)
            trace_.note(QStringLiteral("open failed: %1").arg(in_->lastError()));
        lostTold_ = false;
        return ok;
    }
    void close() override
    {
        if (in_->isOpen())
            trace_.note(QStringLiteral("close"));
        in_->close();
    }

    bool setRts(bool on) override
    {
        if (in_->isOpen())
            trace_.note(on ? QStringLiteral("RTS on") : QStringLiteral("RTS off"));
        return in_->setRts(on);
    }

    QByteArray readAllWaiting() override
    {
        const QByteArray got = in_->readAllWaiting();
        if (!got.isEmpty())
            trace_.data('<', got);
        tellLoss();
        return got;
    }
    void discardInput() override
    {
        // What waits is dropped: the trace shows what that was.
        const QByteArray dropped = in_->isOpen() ? in_->readAllWaiting() : QByteArray();
        if (!dropped.isEmpty())
            trace_.note(QStringLiteral("< dropped (input discarded): %1").arg(WireTrace::bytesText(dropped)));
        in_->discardInput();
    }
    bool write(const QByteArray &data) override
    {
        const bool ok = in_->write(data);
        trace_.data('>', data);
        if (!ok)
            trace_.note(QStringLiteral("the write failed: %1").arg(in_->lastError()));
        return ok;
    }
    bool lineLost() const override
    {
        const bool lost = in_->lineLost();
        if (lost)
            const_cast<TracedPort *>(this)->tellLoss();
        return lost;
    }

private:
    void tellLoss()
    {
        if (lostTold_ || !in_->lineLost())
            return;
        lostTold_ = true;
        trace_.note(QStringLiteral("line lost: %1").arg(in_->lastError()));
    }

    QString path_;
    WireTrace &trace_;
    bool lostTold_ = false;
};

} // namespace

bool WireTrace::start(const QString &path, const QString &program, QString &error)
{
    auto t = std::unique_ptr<WireTrace>(new WireTrace);
    if (StreamOutput::isStream(path)) {
        t->stream_ = std::make_unique<StreamOutput>();
        if (!t->stream_->open(path)) {
            error = t->stream_->error();
            return false;
        }
    } else {
        t->file_ = std::make_unique<AppendFile>();
        if (!t->file_->open(path, error))
            return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    t->line(QStringLiteral("# %1 wire trace, started %2, process %3\n"
                           "# > to the line, < from it (hex, then the text); telnet: the network line's own negotiation")
                .arg(program, now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs))
                .arg(QCoreApplication::applicationPid())
                .toUtf8());
    theTrace() = std::move(t);
    return true;
}

WireTrace *WireTrace::active()
{
    return theTrace().get();
}

WireTrace::~WireTrace() = default;

void WireTrace::line(const QByteArray &text)
{
    if (failed_)
        return;
    const QByteArray bytes = text + '\n';
    if (stream_) {
        failed_ = !stream_->write(bytes);
        return;
    }
    // One write a line: lines from one process never interleave.
    QString why;
    failed_ = !file_->append(bytes, why);
}

void WireTrace::note(const QString &text)
{
    line(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1() + ' ' + text.toUtf8());
}

void WireTrace::data(char direction, const QByteArray &bytes)
{
    note(QString(QLatin1Char(direction)) + u' ' + bytesText(bytes));
}

QString WireTrace::bytesText(const QByteArray &bytes)
{
    QString hex, text;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if (!hex.isEmpty())
            hex += u' ';
        hex += QStringLiteral("%1").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        if (c == '\r')
            text += QStringLiteral("\\r");
        else if (c == '\n')
            text += QStringLiteral("\\n");
        else if (c == '\\' || c == '"')
            text += QString(QLatin1Char('\\')) + QLatin1Char(c);
        else if (u >= 0x20 && u < 0x7F)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return QStringLiteral("%1  \"%2\"").arg(hex, text);
}

std::unique_ptr<SerialPort> tracedPort(std::unique_ptr<SerialPort> port, const QString &path, WireTrace &trace)
{
    return std::make_unique<TracedPort>(std::move(port), path, trace);
}

} // namespace qel
