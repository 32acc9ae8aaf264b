#pragma once

#include <QList>
#include <QString>

class DayView;
class OpenDay;
class QWidget;
struct AppServices;
struct LunarisState;

// What a mouse button pressed on a day-view column does: a left click on a free place of a chair
// column places the chosen treatment (refused when it overlaps), a left click on a block tells about
// it, a right click removes a block. Every change goes onto the open day's history, which rebuilds
// the doctor column and marks the day modified.
class ColumnClickHandler {
public:
    ColumnClickHandler(OpenDay& day, QList<DayView*> columns, QWidget& window, LunarisState& state,
                       AppServices& services);

    void SSDay1_ColumnClick(int index, int button, int shift, int x, int y);
    // The same on a row time instead of a point (the keyboard's cursor row).
    void clickAt(int index, int button, const QString& t);
    // Tells the treatment, length and count in the day of a block.
    void BlockInfo(const QString& text, int minutes);
    // "Termine überlappen!"
    void showOverlap();

private:
    void place(int index, const QString& t);
    void remove(int index, const QString& t);

    OpenDay& m_day;
    QList<DayView*> m_columns;
    QWidget& m_window;
    LunarisState& m_state;
    AppServices& m_services;
};
