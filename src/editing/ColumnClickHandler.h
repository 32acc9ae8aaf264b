#pragma once

#include <QString>

class frmLunaris;
struct AppServices;
struct LunarisState;

// What a mouse button pressed on a day-view column does: a left click on a free place of a chair
// column places the chosen treatment (refused when it overlaps), a left click on a block tells about
// it, a right click removes a block. Every change rebuilds the doctor column and marks the day modified.
class ColumnClickHandler {
public:
    ColumnClickHandler(frmLunaris& window, LunarisState& state, AppServices& services);

    void SSDay1_ColumnClick(int index, int button, int shift, int x, int y);

private:
    void place(int index, const QString& t);
    void remove(int index, const QString& t);

    frmLunaris& m_window;
    LunarisState& m_state;
    AppServices& m_services;
};
