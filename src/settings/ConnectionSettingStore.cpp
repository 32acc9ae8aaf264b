#include "settings/ConnectionSettingStore.h"

#include "settings/SettingsStore.h"

QString ConnectionSetting::read(const SettingsStore& settings)
{
    for (const QString& application : {SettingsStore::ProgramApp, SettingsStore::FamilyApp})
        if (const std::optional<QString> value = settings.storedSetting(application, Section, Key))
            return value->trimmed();
    return {};
}

void ConnectionSetting::write(SettingsStore& settings, const QString& value)
{
    settings.saveSetting(SettingsStore::ProgramApp, Section, Key, value);
}
