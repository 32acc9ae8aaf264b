#pragma once

#include "ScriptedMessages.h"
#include "ScriptedModalRunner.h"
#include "TempSettings.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/SettingsStore.h"

class Database;

// The program's services on a server database, with scripted message boxes and dialogs.
struct ServerServices {
    explicit ServerServices(Database& db) : services{db, settings, messages, modals} {}
    TempSettings tempSettings;
    SettingsStore settings;
    ScriptedMessages messages;
    ScriptedModalRunner modals;
    AppServices services;
    LunarisState state;
};
