#include "settings/SettingsStore.h"

#include "kernel/LunarisError.h"

#include <QSettings>

namespace {
constexpr int PathAccessError = 75;

QString settingsKey(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}
} // namespace

QString SettingsStore::getSetting(const QString& application, const QString& section, const QString& key,
                                  const QString& defaultValue) const
{
    return storedSetting(application, section, key).value_or(defaultValue);
}

std::optional<QString> SettingsStore::storedSetting(const QString& application, const QString& section,
                                                    const QString& key) const
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, FamilyApp, application);
    const QVariant value = settings.value(settingsKey(section, key));
    if (!value.isValid())
        return std::nullopt;
    // An unquoted text with commas, written by another program, reads back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", "));
    return value.toString();
}

QString SettingsStore::getSharedSetting(const QString& section, const QString& key, const QString& defaultValue) const
{
    const auto family = storedSetting(FamilyApp, section, key);
    if (family && familyValueWins(section, key))
        return *family;
    return getSetting(ProgramApp, section, key, family.value_or(defaultValue));
}

bool SettingsStore::familyValueWins(const QString&, const QString&) const
{
    return true;
}

void SettingsStore::saveSettings(const QList<SettingValue>& values)
{
    for (const SettingValue& v : values)
        saveSetting(v.application, v.section, v.key, v.value);
}

bool SettingsStore::isPracticeValue(const QString& application, const QString& section)
{
    return application == ProgramApp && (section == QLatin1String("Praxis") || section == QLatin1String("Farben"));
}

QList<SettingValue> SettingsStore::storedPracticeValues() const
{
    QList<SettingValue> values;
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, FamilyApp, ProgramApp);
    for (const char* name : {"Praxis", "Farben"}) {
        const QString section = QLatin1String(name);
        settings.beginGroup(section);
        const QStringList keys = settings.childKeys();
        settings.endGroup();
        for (const QString& key : keys)
            if (const auto value = SettingsStore::storedSetting(ProgramApp, section, key))
                values.append({ProgramApp, section, key, *value});
    }
    return values;
}

void SettingsStore::saveSetting(const QString& application, const QString& section, const QString& key,
                                const QString& value)
{
    if (application == FamilyApp)
        throw LunarisError(
            PathAccessError,
            QStringLiteral("Einstellungen unter „Kavemo“ werden von diesem Programm nicht geschrieben."));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, FamilyApp, application);
    settings.setValue(settingsKey(section, key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw LunarisError(PathAccessError,
                           QStringLiteral("Die Einstellung „%1“ konnte nicht in „%2“ geschrieben werden.")
                               .arg(key, settings.fileName()));
}
