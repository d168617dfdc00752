#pragma once
// SIGINT and SIGTERM turned into an event of the event loop: the handler
// only writes a byte into a pipe, a QSocketNotifier on its other end calls
// onStop. A long-running command can then finish its work cleanly (close
// the port, complete its file) instead of dying in the middle of it.
//
// On Windows (StopSignals_windows.cpp) the same for Ctrl+C, Ctrl+Break and a
// console that is closed (or a logoff, a shutdown): the system's handler
// thread posts onStop to the event loop, cancels a write the program waits
// in, and for a closing console waits (a few seconds, the system's limit)
// until the command has finished its work and let go of the port.

#include <functional>
#include <memory>

class QObject;
class QSocketNotifier;

namespace qel {

class StopSignals {
public:
    StopSignals();  // installs the handlers
    ~StopSignals(); // restores the previous ones
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    bool ok() const;
    int received() const { return received_; } // signals seen so far
    // Readable from the first signal on, for good: a wait outside the event
    // loop (a write to a full pipe, StreamOutput) ends on it. -1 on Windows,
    // where such a write is cancelled instead.
    int stopFd() const;
    // Called in the event loop once for every signal received.
    std::function<void()> onStop;

private:
#ifdef _WIN32
    std::unique_ptr<QObject> receiver_;
#else
    int fds_[2] = {-1, -1};
    int stopFds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
#endif
    int received_ = 0;
};

} // namespace qel
