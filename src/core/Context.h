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
    // Called after every successful read of the settings from a device, with
    // the record and the type read (the device history); optional.
    std::function<void(const AppState &)> settingsRead;
};

// TickCount advances once per 10 ms, however many screens restart it: every
// link (the engine's and the type-change screen's) restarts this one timer.
class TickCounter {
public:
    TickCounter(Clock &clock, AppState &state);
    void restart(); // stop, 10 ms, TickCount = 0, start
    void stop();
    bool isActive() const;

private:
    AppState &state_;
    std::unique_ptr<Timer> timer_;
};

// Hooks into the main window that the device logic calls (all optional).
struct MainWindowHooks {
    std::function<void(const QString &)> setStatus; // Label1 of the settings screen
    std::function<void()> ModeTypeDsp;
    std::function<void()> VerDsp;
    std::function<void(bool)> setPortMenuEnabled;   // mnuPortSelect
};

class Context {
public:
    explicit Context(const Platform &p);
    AppState state;
    Platform platform;
    TickCounter ticks;
    MainWindowHooks hooks;

    Clock &clock() { return *platform.clock; }
    MessageBoxes &boxes() { return *platform.boxes; }
    void yield() { platform.clock->yield(); }
    // One pass through the event loop that does not wait for an event.
    void processPending() { platform.clock->processPending(); }
};

} // namespace qel
