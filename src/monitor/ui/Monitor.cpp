// STUB: replaced by the monitor window.
#include "Monitor.h"
namespace qel {
Monitor::Monitor(Context &, RsReadWrite &, SettingsCommands &, std::function<void()>, QWidget *parent)
    : QWidget(parent) {}
void Monitor::open() {}
bool Monitor::isOpen() const { return false; }
}
