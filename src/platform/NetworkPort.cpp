#include "NetworkPort.h"

#include "Module.h"

#include <QUrl>

namespace qel {

namespace {

const NetworkModule *&inProcess()
{
    static const NetworkModule *m = nullptr;
    return m;
}

} // namespace

bool isNetworkUrl(const QString &path)
{
    return path.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive);
}

bool parseNetworkUrl(const QString &path, QString &host, quint16 &port)
{
    if (!isNetworkUrl(path))
        return false;
    const QUrl url(path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery())
        return false;
    host = url.host();
    port = quint16(url.port());
    return true;
}

void useNetworkModule(const NetworkModule *module)
{
    inProcess() = module;
}

const NetworkModule *networkModule(QString &error)
{
    if (inProcess())
        return inProcess();
    static QString failure;
    static const NetworkModule *const loaded = []() -> const NetworkModule * {
        const auto entry = reinterpret_cast<NetworkModuleEntry>(
            moduleEntry("qel-network" QEL_MODULE_SUFFIX, kNetworkModuleEntry, failure));
        const NetworkModule *m = entry ? entry() : nullptr;
        if (entry && !(m && m->abi == NetworkModule::Abi)) {
            failure = QStringLiteral("qel-network.so belongs to another build");
            return nullptr;
        }
        return m;
    }();
    error = failure;
    return loaded;
}

} // namespace qel
