#pragma once
// SIGINT and SIGTERM turned into an event of the event loop: the handler
// only writes a byte into a pipe, a QSocketNotifier on its other end calls
// onStop. A long-running command can then finish its work cleanly (close
// the port, complete its file) instead of dying in the middle of it.

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace qel::cli {

class StopSignals {
public:
    StopSignals();  // installs the handlers
    ~StopSignals(); // restores the previous ones
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    bool ok() const { return notifier_ != nullptr; }
    int received() const { return received_; } // signals seen so far
    // Readable from the first signal on, for good: a wait outside the event
    // loop (a write to a full pipe, StreamOutput) ends on it.
    int stopFd() const { return stopFds_[0]; }
    // Called in the event loop once for every signal received.
    std::function<void()> onStop;

private:
    int fds_[2] = {-1, -1};
    int stopFds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    int received_ = 0;
};

} // namespace qel::cli
