// STUB: replaced by the simulated converter.
#include "SimDevice.h"
namespace qel::sim {
struct SimDevice::Impl { int type = 5600; ParameterRecord rec; QList<QByteArray> log; };
SimDevice::SimDevice(int type) : d(std::make_shared<Impl>()) { d->type = type; }
int SimDevice::type() const { return d->type; }
void SimDevice::setType(int t) { d->type = t; }
int SimDevice::lineBaud() const { return d->type == 5600 ? 9600 : 1200; }
ParameterRecord &SimDevice::record() { return d->rec; }
const ParameterRecord &SimDevice::record() const { return d->rec; }
void SimDevice::setSerial(int) {}
void SimDevice::setVersion(const QByteArray &) {}
QByteArray SimDevice::memoryImage() const { return {}; }
void SimDevice::setMemoryImage(const QByteArray &) {}
void SimDevice::setMonitorCounts(int, int, int) {}
void SimDevice::addFault(const SimFault &) {}
void SimDevice::clearFaults() {}
void SimDevice::setStrictSpeed(bool) {}
void SimDevice::setLatencyMs(int) {}
QList<SimReply> SimDevice::receive(const QByteArray &, int) { return {}; }
const QList<QByteArray> &SimDevice::commands() const { return d->log; }
void SimDevice::clearLog() {}
bool SimDevice::inSettingMode() const { return false; }
}
