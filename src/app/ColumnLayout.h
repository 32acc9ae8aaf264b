#pragma once

#include <QList>
#include <QStringList>

#include <array>

class DayView;
class OpenDay;
class QWidget;
class TreatmentLooks;
struct LunarisState;

// The main window's day columns: one per chair and the doctor column after them. Made at the design
// positions (in twips) on the client area; given the chairs' captions, roles, tab order and the practice's
// hours; laid out across the room the window leaves them.
class ColumnLayout {
public:
    static constexpr int ColumnCount = 11;

    ColumnLayout(OpenDay& day, QWidget& client, TreatmentLooks& looks, const LunarisState& state);

    DayView* column(int index) const { return m_columns.at(index); }
    QList<DayView*> columns() const { return {m_columns.cbegin(), m_columns.cend()}; }

    // Columns 0 to `last` take the practice's hours and row length.
    void applyHours(int last);
    // Captions, roles, visibility and tab order (after `before`) of the columns for the chairs of table Stuhl.
    void assignChairs(const QStringList& chairs, QWidget* before);
    // Lays the shown columns side by side from `left` on, `width` twips each (pixels: `top`, `height`).
    void place(double left, double width, int top, int height);
    // Ends a drag under way: outline gone, nothing moved.
    void cancelDrags();

private:
    TreatmentLooks& m_looks;
    const LunarisState& m_state;
    std::array<DayView*, ColumnCount> m_columns{};
};
