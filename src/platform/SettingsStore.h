#pragma once
// Per-user settings store: text values by application, section and key.

#include <QMap>
#include <QString>

namespace qel {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Both may fail (store unreadable or read-only); they then return false.
    virtual bool save(const QString &app, const QString &section, const QString &key,
                      const QString &value) = 0;
    virtual bool get(const QString &app, const QString &section, const QString &key,
                     QString &value) = 0; // empty text when nothing is stored
};

// The store over QSettings in the per-user location: on Linux INI text
// (~/.config/APP/APP.conf, SettingsStore_posix.cpp); on Windows the registry
// (SettingsStore_windows.cpp): HKEY_CURRENT_USER\Software\APP\SECTION with
// text (REG_SZ) values for the sections and keys the settings program has
// always kept there (the port number and the four windows' positions), and
// everything the program keeps beyond them under a key of its own,
// HKEY_CURRENT_USER\Software\APP\qel-settings\SECTION.
class QSettingsStore : public SettingsStore {
public:
    bool save(const QString &app, const QString &section, const QString &key,
              const QString &value) override;
    bool get(const QString &app, const QString &section, const QString &key,
             QString &value) override;
};

// An in-memory store for tests; `failing` makes every call fail.
class MemorySettingsStore : public SettingsStore {
public:
    bool save(const QString &app, const QString &section, const QString &key,
              const QString &value) override;
    bool get(const QString &app, const QString &section, const QString &key,
             QString &value) override;
    bool failing = false;
    QMap<QString, QString> values; // "app/section/key" -> value
};

} // namespace qel
