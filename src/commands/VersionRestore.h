#pragma once

class DayEditorWindow;
class IdealDayCommands;
class OpenDay;
struct AppServices;
struct DayVersion;
struct LunarisState;

// "Datei → Versionen...": the chosen version replaces the open day's rows as one undoable step. A version of
// another day (or of a deleted one) first opens that day, after the question whether to save the open one.
class VersionRestore {
public:
    VersionRestore(DayEditorWindow& window, OpenDay& day, IdealDayCommands& commands, LunarisState& state,
                   AppServices& services);

    // Shows the versions and restores the one chosen.
    void run();
    void restore(const DayVersion& version);

private:
    DayEditorWindow& m_window;
    OpenDay& m_day;
    IdealDayCommands& m_commands;
    LunarisState& m_state;
    AppServices& m_services;
};
