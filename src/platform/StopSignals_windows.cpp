#include "StopSignals.h"

#include "WinSystem_windows.h"

#include <QObject>

#include <mutex>

namespace qel {

namespace {

std::mutex gMutex;
QObject *gReceiver = nullptr;      // in the event loop's thread
std::function<void()> gDeliver;    // counts the stop and calls onStop there
HANDLE gFinished = nullptr;        // set once the command let go (StopSignals gone)

BOOL WINAPI onConsoleEvent(DWORD type)
{
    {
        const std::lock_guard<std::mutex> hold(gMutex);
        if (!gReceiver)
            return FALSE; // the system's own handling: the process ends
        QMetaObject::invokeMethod(gReceiver, gDeliver, Qt::QueuedConnection);
    }
    win::noteStop();
    // The console goes away (or the user, or the machine): the process ends
    // once this returns, so wait for the command to finish cleanly first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(gFinished, 4500);
    return TRUE;
}

} // namespace

StopSignals::StopSignals() : receiver_(std::make_unique<QObject>())
{
    const std::lock_guard<std::mutex> hold(gMutex);
    if (!gFinished)
        gFinished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::ResetEvent(gFinished);
    gReceiver = receiver_.get();
    gDeliver = [this] {
        ++received_;
        if (onStop)
            onStop();
    };
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    {
        const std::lock_guard<std::mutex> hold(gMutex);
        gReceiver = nullptr;
        gDeliver = nullptr;
    }
    ::SetEvent(gFinished);
}

bool StopSignals::ok() const
{
    return receiver_ != nullptr;
}

int StopSignals::stopFd() const
{
    return -1;
}

} // namespace qel
