#pragma once

#include "dayview/DayViewModel.h"
#include "editing/ChairChange.h"
#include "store/Tables.h"

#include <QObject>
#include <QUndoStack>

#include <array>

struct LunarisState;

// The ideal day in the editor: its chair columns' blocks (and the doctor column drawn from them),
// its name and whether it differs from what is stored. The name and `Modified` are the shared
// state's, which the commands and the save read. The blocks change only through the undoable edits
// below, which apply the placement rules; the day views show the columns and forward the user's input.
class OpenDay : public QObject {
    Q_OBJECT
public:
    static constexpr int Columns = 11;

    // Why an edit was not made.
    enum class Refusal {
        None,        // made
        Overlap,     // another block (or a stored row not on screen) already takes the time
        PastMidnight // the end cannot be written as a clock time of the day
    };

    explicit OpenDay(LunarisState& state, QObject* parent = nullptr);
    ~OpenDay() override;

    const QString& name() const;
    bool isModified() const;
    // A step that changes no block but still counts as a change (a right click on a free place): the
    // doctor column is rebuilt and the day is modified.
    void touch();
    // The columns equal the stored day now; undoing back to here clears `Modified`.
    void markSaved();
    // No state of the history counts as saved until the next save (Save As cancelled).
    void markUnsaved();
    // Another day is in the editor (New, Open, Delete), as stored: no history, not modified.
    void forgetHistory();

    // The chair table changed under the open day (renames and deletions in the chair editor, `chairs`
    // the table's names now): each column's blocks follow their chair to its new name and place, a
    // deleted chair's blocks leave the screen (its stored rows stay unshown unless they were deleted
    // with it), and the stored rows the day remembers follow what was written, so that the next save
    // neither takes the own change for someone else's nor writes rows back under the old name.
    // True when columns moved, came or went: the history is forgotten then.
    bool followChairs(const ChairChanges& changes, const QStringList& chairs);

    // The practice's hours or row length changed: every column takes them, the chairs keep the blocks
    // that still start inside the day; a stored one that does not becomes an unshown row (kept by the
    // next save), an unsaved one leaves the screen and the day stays modified. True when a block left.
    bool followHours(const QString& open, const QString& close, int slotSetting);

    // Column i of the window: chairs 0 to chairCount() − 1, then the doctor column.
    DayViewModel& column(int index) { return m_columns.at(index); }
    const DayViewModel& column(int index) const { return m_columns.at(index); }
    int chairCount() const;
    QList<DayViewModel*> chairModels();
    QList<const DayViewModel*> chairs() const;
    DayViewModel& doctor() { return column(chairCount()); }
    // The chair columns followed by the doctor column.
    QList<const DayViewModel*> columnsWithDoctor() const;
    // The stored rows of the day that are on screen: a save replaces only these.
    RowsOnScreen& rowsOnScreen() { return m_rowsOnScreen; }

    QUndoStack& history() { return m_history; }

    // Index of the block of a chair that covers the time, or -1.
    int blockAt(int chair, const QString& t) const;
    // Places a block of `minutes` minutes at t: refused when it would overlap (as a click would be)
    // or pass midnight.
    Refusal place(int chair, const QString& t, const QString& code, int minutes);
    // Removes the block covering t; false when there is none.
    bool removeAt(int chair, const QString& t);
    // Moves (or copies) block `index` of chair `from` to start at t in chair `to`, keeping its length.
    Refusal moveBlock(int from, int index, int to, const QString& t, bool copy);
    // What moveBlock would answer, without moving anything (the outline of a drag).
    Refusal moveRefusal(int from, int index, int to, const QString& t, bool copy) const;
    // Places a copy of a block (its code and length) at t in chair `to`.
    Refusal pasteBlock(const DayBlock& block, int to, const QString& t);
    // Whether the span [t, e) in a chair would overlap a block (other than `ignore`) the way the
    // placement rules refuse: e inside a block or at its end, or enclosing one; or overlap a stored
    // row of the chair that the screen does not show.
    bool overlaps(int chair, const QString& t, const QString& e, int ignore = -1) const;

    // For the edits on the history: the blocks themselves.
    void insertBlock(int chair, int index, const DayBlock& block);
    DayBlock takeBlock(int chair, int index);

signals:
    // A step was made, undone or redone: the chairs whose blocks it changed are drawn again (none for a
    // step that only counts as a change), and the doctor column and the fee follow.
    void blocksChanged(const QList<int>& chairs);

private:
    void followHistory();
    // `Modified` of the shared state follows the history's clean state.
    void followClean();
    void noteChanged(int chair);

    LunarisState& m_state;
    std::array<DayViewModel, Columns> m_columns;
    RowsOnScreen m_rowsOnScreen;
    QUndoStack m_history;
    bool m_forgetting = false;
    // The chairs the step being made, undone or redone changed so far.
    QList<int> m_changedChairs;
};
