// STUB: replaced by the in-process line.
#include "SimPort.h"
namespace qel::sim {
struct SimPortFactory::Impl { QList<Sent> sent; };
SimPortFactory::SimPortFactory(VirtualClock &, SimDevice &) : d(std::make_shared<Impl>()) {}
std::unique_ptr<SerialPort> SimPortFactory::create() { return nullptr; }
void SimPortFactory::setUnplugged(bool) {}
bool SimPortFactory::unplugged() const { return false; }
const QList<SimPortFactory::Sent> &SimPortFactory::sent() const { return d->sent; }
int SimPortFactory::openPorts() const { return 0; }
}
