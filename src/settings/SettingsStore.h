#pragma once

#include <QList>
#include <QString>

#include <optional>

// One value of the store, with its full address.
struct SettingValue {
    QString application;
    QString section;
    QString key;
    QString value;
    bool operator==(const SettingValue&) const = default;
};

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
    // else the one this program's settings dialog stored, else the default (or the other way round for a
    // value the practice keeps on its server: familyValueWins()).
    QString getSharedSetting(const QString& section, const QString& key, const QString& defaultValue) const;
    // Whether the family's value of a shared key counts before this program's own.
    virtual bool familyValueWins(const QString& section, const QString& key) const;

    // Stores the value; throws LunarisError when it cannot be written. Values under the family's
    // name belong to the other programs of the family and are never written from here.
    virtual void saveSetting(const QString& application, const QString& section, const QString& key,
                             const QString& value);
    // Stores the values in their order; throws LunarisError at the first that cannot be written.
    virtual void saveSettings(const QList<SettingValue>& values);

    // Reads the values the practice shares with other workstations afresh; true when any changed. The
    // per-user store shares nothing: false.
    virtual bool reloadShared() { return false; }

    // A value of the practice rather than of the user: the practice page of the settings dialog
    // (name, address, hours, working days, slot) and the treatments' colours.
    static bool isPracticeValue(const QString& application, const QString& section);
    // This program's own practice values as this user's own store holds them (never the server's).
    QList<SettingValue> storedPracticeValues() const;
};
