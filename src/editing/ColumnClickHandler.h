#pragma once

#include "dayview/DayViewModel.h"
#include "ui/Announcer.h"

#include <QList>
#include <QPoint>
#include <QString>

#include <optional>
#include <utility>

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

    // The columns' clicks, keys and drags come here from now on; no failure leaves their handlers.
    void listen();

    void SSDay1_ColumnClick(int index, int button, int shift, int x, int y);
    // The same on a row time instead of a point (the keyboard's cursor row).
    void clickAt(int index, int button, const QString& t);
    // An editing key on the cursor row of a column (DayView::Key): the same rules and messages as the mouse.
    void SSDay1_ColumnKey(int index, int key, int row);
    // A dragged block: its outline follows, a drop moves (or with Ctrl copies) it, Esc cancels.
    void SSDay1_BlockDragMove(int index, int block, QPoint topEdge, bool copy);
    void SSDay1_BlockDrop(int index, int block, QPoint topEdge, bool copy);
    void SSDay1_BlockDragCancel();
    // Tells the treatment, length and count in the day of a block.
    void BlockInfo(const QString& text, int minutes);
    // "Termine überlappen!"
    void showOverlap();

private:
    // The column (chairs and the doctor column) and row time under a global point; -1 for none.
    std::pair<int, QString> dropTarget(QPoint global) const;
    void clearOutlines();
    // The block index a drag reported still names a block of that chair.
    bool hasBlock(int index, int block) const;
    void place(int index, const QString& t);
    // The doctor column is read-only: only Left leaves it; editing keys say why they do nothing.
    void doctorColumnKey(int key, int row);
    void moveCursorTo(int index, int row);
    void remove(int index, const QString& t);

    OpenDay& m_day;
    QList<DayView*> m_columns;
    QWidget& m_window;
    LunarisState& m_state;
    AppServices& m_services;
    // The block Ctrl+C took, for Ctrl+V.
    std::optional<DayBlock> m_copied;
    Announcer m_announcer;
};
