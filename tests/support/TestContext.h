#pragma once

#include "ScriptedMessages.h"
#include "ScriptedModalRunner.h"
#include "TempDatabase.h"
#include "TempSettings.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/SettingsStore.h"

// Everything a window needs, made for one test: temporary database and settings, scripted message
// boxes and dialogs, and the program's state as Main sets it up.
struct TestContext {
    TestContext();

    TempSettings tempSettings;
    TempDatabase tempDatabase;
    SettingsStore settings;
    ScriptedMessages messages;
    ScriptedModalRunner modals;
    LunarisState state;
    AppServices services;
};
