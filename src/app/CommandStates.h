#pragma once

#include <functional>

class QAction;
struct LunarisState;

// Which commands of the Datei menu and the tool bar can be used. Nothing saves, prints or exports before
// New or Open; a workstation that may only read (its role, or damage found in the file) opens, prints and
// exports, and what would write stays off.
class CommandStates {
public:
    struct Actions {
        QAction* save;
        QAction* saveAs;
        QAction* rename;
        QAction* remove;
        QAction* print;
        QAction* preview;
        QAction* pdf;
        QAction* toolSave;
        QAction* toolPrint;
    };

    // `writable`: whether the database may be written now.
    CommandStates(Actions actions, const LunarisState& state, std::function<bool()> writable);

    bool writable() const { return m_writable(); }
    // A day was created or opened; `removable`: it is stored, so Löschen has something to delete.
    void dayOpened(bool removable);
    // Rename is for a named day on a workstation that may write.
    void followName();
    // The database turned out to be only readable: the commands that write go off.
    void followReadOnly();

private:
    Actions m_actions;
    const LunarisState& m_state;
    std::function<bool()> m_writable;
};
