#pragma once

class DayEditorWindow;
class DayStatus;
class OpenDay;
struct AppServices;
struct LunarisState;

// Another workstation or the planner changed the shared tables: the open name dialogs' lists, the
// treatments, the chair captions and the open day follow. An unmodified day is read again; a modified one
// keeps its edits and the window tells of the change. A day renamed elsewhere is followed to its new name.
class SharedChanges {
public:
    SharedChanges(DayEditorWindow& window, OpenDay& day, DayStatus& status, LunarisState& state, AppServices& services);

    void follow();
    // "Neu laden" on the bar that tells of the change: unsaved edits are given up only when the user says so.
    bool reloadWanted();

private:
    void followChairNames();
    // The open day as stored now, after following a rename elsewhere.
    void followDay();

    DayEditorWindow& m_window;
    OpenDay& m_day;
    DayStatus& m_status;
    LunarisState& m_state;
    AppServices& m_services;
};
