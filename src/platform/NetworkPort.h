#pragma once
// Serial lines behind a device server on the network, addressed as
// rfc2217://HOST:PORT. The address is read here; the transport itself (Qt
// Network, Rfc2217Port) is the module qel-network.so, loaded the first time
// a network port is opened, so that a run on local ports or on files never
// loads Qt Network and what it brings (Kerberos, the proxy library).

#include "SerialPort.h"

#include <QString>

namespace qel {

// "rfc2217://..." (any case): a network port, well formed or not.
bool isNetworkUrl(const QString &path);
// "rfc2217://HOST:PORT" (HOST a name, an IPv4 or an [IPv6] address); false
// when the address is not of that form.
bool parseNetworkUrl(const QString &path, QString &host, quint16 &port);

// What the module offers. Abi goes up whenever this table changes; a module
// of another build is refused.
struct NetworkModule {
    static constexpr int Abi = 1;
    int abi = Abi;
    // A port for the address (the caller owns it).
    SerialPort *(*createPort)(const QString &url) = nullptr;
};
using NetworkModuleEntry = const NetworkModule *(*)();
inline constexpr char kNetworkModuleEntry[] = "qelNetworkModule";

// The transport: the table given to useNetworkModule, else the module
// (loaded once). nullptr with the reason in `error`.
const NetworkModule *networkModule(QString &error);
// A program or test linked with the transport itself uses it in process.
void useNetworkModule(const NetworkModule *module);

} // namespace qel
