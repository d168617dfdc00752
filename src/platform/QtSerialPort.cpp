#include "QtSerialPort.h"

#include <QStringList>

namespace qel {

int baudFromSettings(const QString &settings)
{
    bool ok = false;
    const int baud = settings.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
    return ok ? baud : 0;
}

QString PortMap::devicePath(int n) const
{
    return override_.isEmpty() ? mappedPath(n) : override_;
}

QString PortMap::mappedPath(int n) const
{
    if (store_) {
        QString stored;
        if (store_->get(QStringLiteral("QEL-5600"), QStringLiteral("DevicePath"),
                        QStringLiteral("COM%1").arg(n), stored)
            && !stored.trimmed().isEmpty())
            return stored.trimmed();
    }
    return defaultPath(n);
}

} // namespace qel
