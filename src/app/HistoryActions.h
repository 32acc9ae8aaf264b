#pragma once

class QAction;
class QMenu;
class QToolBar;
class QUndoStack;

// Rückgängig and Wiederherstellen: items of the Bearbeiten menu that name the step they take back or make
// again, and tool-bar buttons that share their state and captions.
class HistoryActions {
public:
    // Adds the two items and a separator after them to `edit`.
    HistoryActions(QUndoStack& history, QMenu& edit);

    QAction* undo() const { return m_undo; }
    QAction* redo() const { return m_redo; }
    // Adds the buttons to the tool bar.
    void addButtons(QToolBar& bar);

private:
    QAction* m_undo;
    QAction* m_redo;
};
