#pragma once

class IdealDayCommands;
class RecoveryKeeper;
class QWidget;
struct AppServices;
struct LunarisState;

// The open day when the program closes: the question whether to save it, and what becomes of the copy of
// unsaved work. On a database that may only be read nothing can be saved and nothing is asked: the edits
// stay in the recovery copy, which the next start offers.
class DayClose {
public:
    // `recovery`: null when no copy is kept.
    DayClose(QWidget* window, IdealDayCommands& commands, RecoveryKeeper* recovery, const LunarisState& state,
             AppServices& services);

    // False when the window has to stay open: the user cancelled, or wanted to save and the day was not saved.
    bool mayClose();
    // Closed: what was not saved was meant to go, unless it could not be saved here.
    void settleRecoveryCopy();

private:
    bool keepsUnsavedCopy() const;

    QWidget* m_window;
    IdealDayCommands& m_commands;
    RecoveryKeeper* m_recovery;
    const LunarisState& m_state;
    AppServices& m_services;
};
