#include "StopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qel {

namespace {

int gWriteFd = -1;
int gStopWriteFd = -1;
struct sigaction gOldInt, gOldTerm, gOldPipe;

void onSignal(int)
{
    const int saved = errno;
    const char c = 1;
    if (gWriteFd >= 0)
        (void)!::write(gWriteFd, &c, 1);
    if (gStopWriteFd >= 0)
        (void)!::write(gStopWriteFd, &c, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals()
{
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    if (::pipe2(stopFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(fds_[0]);
        ::close(fds_[1]);
        fds_[0] = fds_[1] = -1;
        return;
    }
    gWriteFd = fds_[1];
    gStopWriteFd = stopFds_[1];
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &gOldInt);
    sigaction(SIGTERM, &sa, &gOldTerm);
    // A closed pipe on stdout is a failed write, not the end of the process.
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    sigaction(SIGPIPE, &ign, &gOldPipe);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char buf[16];
        ssize_t n;
        while ((n = ::read(fds_[0], buf, sizeof buf)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                ++received_;
                if (onStop)
                    onStop();
            }
        }
    });
}

bool StopSignals::ok() const
{
    return notifier_ != nullptr;
}

int StopSignals::stopFd() const
{
    return stopFds_[0];
}

StopSignals::~StopSignals()
{
    if (fds_[0] < 0)
        return;
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
    sigaction(SIGPIPE, &gOldPipe, nullptr);
    notifier_.reset();
    gWriteFd = gStopWriteFd = -1;
    for (const int fd : {fds_[0], fds_[1], stopFds_[0], stopFds_[1]})
        ::close(fd);
}

} // namespace qel
