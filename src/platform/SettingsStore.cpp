#include "SettingsStore.h"

namespace qel {

bool MemorySettingsStore::save(const QString &app, const QString &section, const QString &key,
                               const QString &value)
{
    if (failing)
        return false;
    values.insert(app + QLatin1Char('/') + section + QLatin1Char('/') + key, value);
    return true;
}

bool MemorySettingsStore::get(const QString &app, const QString &section, const QString &key,
                              QString &value)
{
    if (failing)
        return false;
    value = values.value(app + QLatin1Char('/') + section + QLatin1Char('/') + key);
    return true;
}

} // namespace qel
