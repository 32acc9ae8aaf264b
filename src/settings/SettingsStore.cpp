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
    if (const auto family = storedSetting(FamilyApp, section, key))
        return *family;
    return getSetting(ProgramApp, section, key, defaultValue);
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
