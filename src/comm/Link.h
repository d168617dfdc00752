#pragma once
// The line as one port owner sees it. The engine, the type-change screen and
// the monitor each own one link over a port of their own; all of them reach
// the same physical line. A link opens with a generation's settings and RTS
// up, closes with RTS down, sends a command after the 20 ms pause, collects
// a reply, and checks whether anything is listening ("Q").
//
// Every wait for a reply goes through collect(): it blocks in the event loop
// and ends at a chunk ending in CR (or once a fixed count of characters
// waits), at a tick limit against the counter the caller names (and twice
// that against the clock), at once when the line goes away, or when the
// caller gives up. A reply that grows past kMaxReply characters is noise.

#include "core/Context.h"

#include <QByteArray>
#include <functional>
#include <memory>

namespace qel {

// The longest reply of the converters is a 52X memory image: 64 characters
// and CR. A reply longer than twice that has not ended as any reply ends.
constexpr int kMaxReply = 128;

enum class Collected {
    Complete, // the reply ended as asked
    TimedOut, // the tick limit was reached, or kMaxReply characters came without the end
    Lost,     // the line went away (or the port was closed) under the wait
    Stopped,  // the caller's stop() said so
};

struct Until {
    int limit = 0;                // ticks; at least one look is always taken
    const int *counter = nullptr; // the tick count compared with limit (nullptr: TickCount)
    int count = 0;                // > 0: ends once this many characters wait (all taken)
    std::function<bool()> stop = {}; // checked after every wake-up, before anything is taken
};

class Link {
public:
    explicit Link(Context &ctx);
    ~Link();

    SerialPort &port() { return *port_; }
    bool isOpen() const { return port_->isOpen(); }
    // The port was closed, or the line went away, under the open port.
    bool lost() const { return !port_->isOpen() || port_->lineLost(); }

    // Port CommPortNo, the settings text, text input of any length.
    void configure(const QString &settings);
    // Open, then raise RTS; false when the port cannot be opened.
    bool raise();
    bool open(const char *settings)
    {
        configure(QString::fromLatin1(settings));
        return raise();
    }
    // Drop RTS, then close (failures of either are of no consequence).
    void close();

    // At least `ii` ticks from now (one wake-up for 0).
    void wait10ms(int ii);
    // CMD_Send: the 20 ms pause (restarting the tick count), discard input, write.
    void send(const QByteArray &cmd);
    // Collects into `reply` (cleared first); what arrived stays there whatever
    // the outcome, cut at kMaxReply characters. The limit holds against the
    // clock too: late tick events (a loaded machine), a busy event loop or a
    // stopped tick timer stretch it to twice its time and 0.1 s at most.
    Collected collect(QByteArray &reply, const Until &until);
    // send(), the tick count restarted, collect() against it.
    Collected exchange(const QByteArray &cmd, QByteArray &reply, Until until);
    // The presence check on the open port: "Q", true when anything at all
    // came back within `limit` ticks.
    bool presence(int limit);

private:
    Context &ctx_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<Timer> alarm_; // wakes a collect at its clock limit
};

} // namespace qel
