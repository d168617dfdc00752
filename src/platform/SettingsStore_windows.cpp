#include "SettingsStore.h"

#include <QSettings>

namespace qel {

namespace {

// The entries the settings program has always kept in its own sections: the
// port number and the positions of its four windows.
bool described(const QString &section, const QString &key)
{
    if (section == QLatin1String("CommPort"))
        return key == QLatin1String("No.");
    static const QStringList forms{QStringLiteral("PromSet"), QStringLiteral("PortSelect"),
                                   QStringLiteral("TypeChange"), QStringLiteral("Monitor")};
    static const QStringList keys{QStringLiteral("Top"), QStringLiteral("Left"), QStringLiteral("Height"),
                                  QStringLiteral("Width")};
    return forms.contains(section) && keys.contains(key);
}

QString keyPath(const QString &app, const QString &section, const QString &key)
{
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\%1%2")
        .arg(app, described(section, key) ? QString() : QStringLiteral("\\qel-settings"));
}

} // namespace

bool QSettingsStore::save(const QString &app, const QString &section, const QString &key, const QString &value)
{
    QSettings s(keyPath(app, section, key), QSettings::NativeFormat);
    if (!s.isWritable())
        return false;
    s.setValue(section + QLatin1Char('/') + key, value); // a text value (REG_SZ)
    s.sync();
    return s.status() == QSettings::NoError;
}

bool QSettingsStore::get(const QString &app, const QString &section, const QString &key, QString &value)
{
    QSettings s(keyPath(app, section, key), QSettings::NativeFormat);
    if (s.status() != QSettings::NoError)
        return false;
    value = s.value(section + QLatin1Char('/') + key, QString()).toString();
    return true;
}

} // namespace qel
