#pragma once
// The wire trace (qelctl --trace FILE, QEL_TRACE=FILE for both programs):
// every byte each way on the serial line with the time to the millisecond,
// the line's settings and RTS at each open, and on a network line the Telnet
// negotiation below the data. Started once a process; when it is not
// started nothing is done: the ports are not even wrapped (LinePort asks
// active() once an open).
//
// The file is written as the run goes, one whole line a write, so that a
// run that hangs or is killed leaves its trace up to its last event. A
// target that is no regular file (a FIFO, /dev/stderr) is written straight.

#include "SerialPort.h"

#include <QString>
#include <memory>

namespace qel {

class AppendFile;
class StreamOutput;

class WireTrace {
public:
    // Starts the trace of this process into `path`, headed by the program's
    // name and version. False with the reason in `error`.
    static bool start(const QString &path, const QString &program, QString &error);
    // The trace in force; nullptr when there is none.
    static WireTrace *active();

    // One line: the time, then `text`.
    void note(const QString &text);
    // Bytes that went to the line ('>') or came from it ('<'): hex, then
    // the text with control characters escaped.
    void data(char direction, const QByteArray &bytes);

    // The bytes as a trace line shows them: "45 0D  \"E\\r\"".
    static QString bytesText(const QByteArray &bytes);

    ~WireTrace();

private:
    WireTrace() = default;
    void line(const QByteArray &text);

    std::unique_ptr<AppendFile> file_;
    std::unique_ptr<StreamOutput> stream_;
    bool failed_ = false;
};

// `port` with every call that reaches the line traced into `trace`; `path`
// is the device path or address it leads to.
std::unique_ptr<SerialPort> tracedPort(std::unique_ptr<SerialPort> port, const QString &path, WireTrace &trace);

} // namespace qel
