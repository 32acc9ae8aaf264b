#include "settings/ServerPracticeSettings.h"

#include "kernel/LunarisError.h"
#include "store/PracticeValueTable.h"

ServerPracticeSettings::ServerPracticeSettings(SettingsStore& personal, const Database& database)
    : m_personal(personal), m_database(database)
{
    reloadShared();
}

std::optional<QString> ServerPracticeSettings::storedSetting(const QString& application, const QString& section,
                                                             const QString& key) const
{
    if (!isPracticeValue(application, section))
        return m_personal.storedSetting(application, section, key);
    const auto found = m_values.constFind(PracticeValueTable::keyOf(section, key));
    if (found == m_values.constEnd())
        return std::nullopt;
    return *found;
}

bool ServerPracticeSettings::familyValueWins(const QString& section, const QString& key) const
{
    // The practice's own value is the one all its workstations share; the family's, kept per user, is the fallback.
    if (isPracticeValue(ProgramApp, section))
        return !m_values.contains(PracticeValueTable::keyOf(section, key));
    return m_personal.familyValueWins(section, key);
}

void ServerPracticeSettings::saveSetting(const QString& application, const QString& section, const QString& key,
                                         const QString& value)
{
    saveSettings({{application, section, key, value}});
}

void ServerPracticeSettings::saveSettings(const QList<SettingValue>& values)
{
    QList<PracticeValue> practice;
    QList<SettingValue> personal;
    for (const SettingValue& v : values) {
        if (isPracticeValue(v.application, v.section))
            practice.append({v.section, v.key, v.value});
        else
            personal.append(v);
    }
    PracticeValueTable(m_database).write(practice);
    for (const PracticeValue& v : std::as_const(practice))
        m_values.insert(PracticeValueTable::keyOf(v.section, v.key), v.value);
    m_personal.saveSettings(personal);
}

bool ServerPracticeSettings::reloadShared()
{
    QMap<QString, QString> values;
    try {
        values = PracticeValueTable(m_database).all();
    } catch (const LunarisError&) {
        // The server is away: the values last read stay; the next change told brings the new ones.
        return false;
    }
    if (values == m_values)
        return false;
    m_values = std::move(values);
    return true;
}
