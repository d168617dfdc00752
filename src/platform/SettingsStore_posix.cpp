#include "SettingsStore.h"

#include <QSettings>

namespace qel {

bool QSettingsStore::save(const QString &app, const QString &section, const QString &key,
                          const QString &value)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, app, app);
    if (!s.isWritable())
        return false;
    s.setValue(section + QLatin1Char('/') + key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool QSettingsStore::get(const QString &app, const QString &section, const QString &key,
                         QString &value)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, app, app);
    if (s.status() != QSettings::NoError)
        return false;
    value = s.value(section + QLatin1Char('/') + key, QString()).toString();
    return true;
}

} // namespace qel
