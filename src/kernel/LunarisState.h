#pragma once

#include <QString>

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
    bool Modified = false;
    bool modified() const { return Modified; }
    bool ChairsChanged = false;
    QString CurrentBeh;
};
