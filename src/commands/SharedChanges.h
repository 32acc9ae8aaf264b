#pragma once

#include "store/SharedTables.h"

#include <functional>

#include <QString>

class DayEditorWindow;
class DayStatus;
class OpenDay;
struct AppServices;
struct LunarisState;
struct RowsOnScreen;

// Another workstation or the planner changed the shared tables: the open name dialogs' lists, the
// treatments, the chairs (by identity) and the open day follow. An unmodified day is read again; a modified one
// keeps its edits and the window tells of the change. A day renamed elsewhere is followed to its new name; one
// deleted elsewhere stays on screen and the window tells of it.
class SharedChanges {
public:
    SharedChanges(DayEditorWindow& window, OpenDay& day, DayStatus& status, LunarisState& state, AppServices& services);

    // Only what `tables` concerns is read again. `again`: the whole following once more, for a change that comes
    // while a modal window is open.
    void follow(SharedTables tables, const std::function<void()>& again);
    // "Neu laden" on the bar that tells of the change: unsaved edits are given up only when the user says so.
    bool reloadWanted();

private:
    // The open day as stored now, after following a rename elsewhere. `chairsNotice` names the blocks that
    // left the screen with a chair deleted elsewhere.
    void followDay(const QString& chairsNotice);
    // What the window says when the state it saved was replaced elsewhere by a save whose user agreed to
    // overwrite it unseen; empty otherwise.
    QString overwrittenNotice(const RowsOnScreen& shown);

    DayEditorWindow& m_window;
    OpenDay& m_day;
    DayStatus& m_status;
    LunarisState& m_state;
    AppServices& m_services;
};
