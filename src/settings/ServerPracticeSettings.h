#pragma once

#include "settings/SettingsStore.h"

#include <QMap>

class Database;

// The settings on the server backend: the practice's values (name and address, hours, working days, slot, the
// treatments' colours) are the practice's, kept in Lunaris's own table on the server and the same at every
// workstation; the rest (window, printer, view choices, the connection) stays in the user's own store. Where the
// server holds no value the family's one counts, then the default. The server's values are kept in memory: a
// reader never waits on the network; reloadShared() reads them afresh when another workstation told of a change.
class ServerPracticeSettings : public SettingsStore {
public:
    // Reads the server's values; when that fails, the family's values and the defaults count until a reload.
    ServerPracticeSettings(SettingsStore& personal, const Database& database);

    std::optional<QString> storedSetting(const QString& application, const QString& section,
                                         const QString& key) const override;
    bool familyValueWins(const QString& section, const QString& key) const override;
    void saveSetting(const QString& application, const QString& section, const QString& key,
                     const QString& value) override;
    // The practice's values in one statement, so that no workstation sees half of them; the user's own after.
    void saveSettings(const QList<SettingValue>& values) override;
    bool reloadShared() override;

private:
    SettingsStore& m_personal;
    const Database& m_database;
    QMap<QString, QString> m_values; // by "section/key"
};
