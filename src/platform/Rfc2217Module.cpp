// The network transport as a module (qel-network.so, NetworkPort.h): its
// table, and the entry the loader looks for.
#include "Rfc2217Module.h"

#include "Rfc2217Port.h"

namespace qel {

const NetworkModule *rfc2217Module()
{
    static const NetworkModule table{
        NetworkModule::Abi,
        [](const QString &url) -> SerialPort * { return new Rfc2217Port(url); },
    };
    return &table;
}

} // namespace qel

extern "C" Q_DECL_EXPORT const qel::NetworkModule *qelNetworkModule()
{
    return qel::rfc2217Module();
}
