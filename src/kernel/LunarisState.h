#pragma once

#include <QString>

class QUndoStack;

// The state every window shares. One instance is created in main() and passed by reference;
// tests make their own. Field names are the program's established names.
struct LunarisState {
    QString DatabaseFile;    // relative to the program folder
    QString DatabaseConnect; // empty: a plain database file
    QString HelpFile;        // contents page of the help, relative to the program folder
    int MaxChairs = 10;      // chair columns the main window has
    int ChairCount = 0;      // chairs in table Stuhl (at most MaxChairs get columns)
    QString OpenTime = QStringLiteral("08:00");
    QString CloseTime = QStringLiteral("18:00");
    int SlotSetting = 1; // 1 = 10-minute rows, 2 = 15-minute rows
    QString CurrentIdealtag;
    bool DayOpen = false;
    bool ChairsChanged = false;
    QString CurrentBeh;

    // Whether the open day differs from what is stored. The open day's history alone decides (its clean
    // state), so only an edit, an undo or a save changes it; false while no day is in the editor.
    bool modified() const;

private:
    friend class OpenDay;
    const QUndoStack* m_dayHistory = nullptr;
};
