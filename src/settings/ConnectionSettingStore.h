#pragma once

#include "store/ConnectionSetting.h"

class SettingsStore;

// The connection setting as the settings store keeps it; the store layer only parses its value.
namespace ConnectionSetting {
// The program's own value, else the family's (which is only read), else empty.
QString read(const SettingsStore& settings);
// Writes the program's own value; throws LunarisError when it cannot be written.
void write(SettingsStore& settings, const QString& value);
} // namespace ConnectionSetting
