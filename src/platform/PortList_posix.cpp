#include "PortList.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace qel {

QList<FoundPort> systemPorts()
{
    QList<FoundPort> out;
    // by-id links by the device they lead to.
    QHash<QString, QString> byId;
    const QDir ids(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : ids.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot,
                                                   QDir::Name))
        byId.insert(link.canonicalFilePath(), link.absoluteFilePath());

    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        out << FoundPort{path, byId.value(QFileInfo(path).canonicalFilePath()), info.description(),
                         info.manufacturer(), info.serialNumber()};
    }
    return out;
}

} // namespace qel
