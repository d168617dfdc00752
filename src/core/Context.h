#pragma once
// What every window and device procedure is given: the application state,
// the platform services, and the one 10 ms tick source behind TickCount.

#include "AppState.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"
#include "platform/MessageBoxes.h"
#include "platform/SerialPort.h"
#include "platform/SettingsStore.h"

#include <functional>
#include <memory>
#include <vector>

namespace qel {

struct Platform {
    Clock *clock = nullptr;
    SerialPortFactory *ports = nullptr;
    MessageBoxes *boxes = nullptr;
    Dialogs *dialogs = nullptr;
    SettingsStore *store = nullptr;
    HelpViewer *help = nullptr;
    // Ends the program at once (the Abort button of a failed detection).
    std::function<void()> terminate;
    // Lines put under the message of a write that stopped part-way
    // (LastWrite): where, why, and what restores the previous settings;
    // optional (empty: the message alone).
    std::function<QString(const AppState &)> writeStopNote;
};

class Context;

// A 10 ms tick timer that runs only while something waits on it. A tick that
// comes while no wait is in progress (the program idle in its event loop, a
// message box open) is counted and then stops the timer; the next wait starts
// it again and first counts the ticks that would have come meanwhile, in
// their phase, so every count a wait reads is the one of a timer that never
// stopped, and an idle program is not woken a hundred times a second.
class WaitTicker {
public:
    WaitTicker(Context &ctx, std::function<void()> onTick);
    ~WaitTicker();
    void restart(); // stop, then a tick every 10 ms from now
    void stop();
    bool isActive() const; // running, or resting until the next wait
    void wake();           // called by the context before every wait
    // Counts every tick due by now whose event has not come yet (a late
    // event), and runs on in their phase.
    void catchUp();

private:
    void tick();
    Context &ctx_;
    std::function<void()> onTick_;
    std::unique_ptr<Timer> timer_;
    bool resting_ = false;
    bool realign_ = false;
    qint64 nextDue_ = 0; // when the next tick is due, clock milliseconds
};

// TickCount advances once per 10 ms, however many screens restart it: the
// engine's StartTickTimer and the type-change screen's TimerSet both restart
// this one timer. It stops counting at 1000.
class TickCounter {
public:
    TickCounter(Context &ctx, AppState &state);
    void restart(); // stop, 10 ms, TickCount = 0, start
    void stop();
    bool isActive() const;
    // restart(), then wait until ii ticks have come or ii x 10 ms have
    // passed, whichever is first: late tick events do not lengthen a pause.
    void pause(int ii);

private:
    Context &ctx_;
    AppState &state_;
    WaitTicker ticker_;
    std::unique_ptr<Timer> alarm_;
};

// Hooks into the main window that the device logic calls; each does nothing
// until the window sets it.
struct MainWindowHooks {
    std::function<void(const QString &)> setStatus = [](const QString &) {}; // Label1
    std::function<void()> ModeTypeDsp = [] {};
    std::function<void()> VerDsp = [] {};
    std::function<void(bool)> setPortMenuEnabled = [](bool) {}; // mnuPortSelect
};

class Context {
    // First: the tick sources below register here as they are built.
    friend class WaitTicker;
    int waiting_ = 0;
    std::vector<WaitTicker *> tickers_;

public:
    explicit Context(const Platform &p);
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;
    AppState state;
    Platform platform;
    TickCounter ticks;
    MainWindowHooks hooks;

    Clock &clock() { return *platform.clock; }
    MessageBoxes &boxes() { return *platform.boxes; }
    // A device wait: blocks in the event loop until the next event.
    void yield();
    // One pass through the event loop that does not wait for an event.
    void processPending();
    // True while a device wait is in progress (ticks that come then count).
    bool waiting() const { return waiting_ > 0; }

private:
    void wakeTickers();
};

} // namespace qel
