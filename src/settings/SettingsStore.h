#pragma once

#include <QString>

#include <optional>

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
    // The stored value, or nothing when the key does not exist.
    virtual std::optional<QString> storedSetting(const QString& application, const QString& section,
                                                 const QString& key) const;
    // A practice value the family shares (hours, slot, printer): the family's value when it holds one,
    // else the one this program's settings dialog stored, else the default.
    QString getSharedSetting(const QString& section, const QString& key, const QString& defaultValue) const;

    // Stores the value; throws LunarisError when it cannot be written. Values under the family's
    // name belong to the other programs of the family and are never written from here.
    virtual void saveSetting(const QString& application, const QString& section, const QString& key,
                             const QString& value);
};
