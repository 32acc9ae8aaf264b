#pragma once

#include <QString>

// The per-user settings store: text values addressed by application, section and key.
// Backed by QSettings under the organisation "Kavemo", one file per application name.
class SettingsStore {
public:
    static inline const QString ProgramApp = QStringLiteral("Lunaris");
    static inline const QString FamilyApp = QStringLiteral("Kavemo");

    virtual ~SettingsStore() = default;

    // The stored value, or defaultValue when the key does not exist. A stored empty text is returned as is.
    virtual QString getSetting(const QString& application, const QString& section, const QString& key,
                               const QString& defaultValue) const;

    // True when the key exists, also with an empty text.
    virtual bool hasSetting(const QString& application, const QString& section, const QString& key) const;

    // Stores the value; throws LunarisError when it cannot be written. Values under the family's
    // name belong to the other programs of the family and are never written from here.
    virtual void saveSetting(const QString& application, const QString& section, const QString& key,
                             const QString& value);
};
