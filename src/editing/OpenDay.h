#pragma once

#include "dayview/DayViewModel.h"
#include "editing/ChairChange.h"
#include "editing/DayPlacement.h"
#include "store/Tables.h"

#include <QObject>
#include <QUndoStack>

#include <array>

class ColumnLayout;
struct DoctorLoad;
struct LunarisState;

// The ideal day in the editor: its chair columns' blocks (and the doctor column drawn from them),
// its name and whether it differs from what is stored. The name is the shared state's; whether it is
// modified the shared state reads from this day's history. The commands and the save read both. The blocks change only
// through the undoable edits below, which apply the placement rules; the day views show the columns and forward the
// user's input.
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
    // The columns equal the stored day now; undoing back to here makes the day unmodified again.
    void markSaved();
    // No state of the history counts as saved until the next save.
    void markUnsaved();
    // Another day is in the editor (New, Open, Delete), as stored: no history, not modified.
    void forgetHistory();

    // The chair table changed under the open day (renames and deletions in the chair editor, `chairs`
    // the table's names now): each column's blocks follow their chair to its new name and place, a
    // deleted chair's blocks leave the screen (its stored and unsaved rows stay unshown unless its entries
    // were deleted with it), and the stored rows the day remembers follow what was written, so that the
    // next save neither takes the own change for someone else's nor writes rows back under the old name.
    // True when columns moved, came or went: the history is forgotten then.
    bool followChairs(const ChairChanges& changes, const QStringList& chairs);

    // The practice's hours or row length changed: every column takes them, the chairs keep the blocks
    // that still start inside the day; one that does not becomes an unshown row (kept by the next save,
    // named in the notice, shown again once the hours fit). True when a block left the screen.
    bool followHours(const QString& open, const QString& close, int slotSetting);

    // Replaces the day's rows as a whole (`rows`: the whole day, stored rows with their ids). What fits is
    // shown; the rest is kept as unshown rows, which a save stores again, and named in the notice
    // returned (empty when all fit). `undoable`: one step on the history whose undo brings back the day
    // as it was; otherwise the history starts anew where the columns changed (and the day stays
    // modified when it was). Emits dayReplaced.
    // `step`: the step's name on the history, when not the reason's own.
    QString replace(const QList<StoredBlock>& rows, DayReplacement reason, bool undoable,
                    const QString& step = QString());
    // The chair columns' captions and hours without their blocks: columns to read a stored day into.
    QList<DayViewModel> emptyChairs() const;
    // The day read from the store takes the open day's place with no history: `read` the columns of
    // emptyChairs() as the load filled them (the chairs' captions), `shown` the stored rows. The rows are
    // placed as replace() places them; the notice names what is not shown.
    QString replaceByRead(const QList<DayViewModel>& read, const RowsOnScreen& shown, DayReplacement reason);
    // A load that ended early: the columns show what was read up to then and no more, and the previous
    // day's unsaved rows kept aside are dropped, so that no other day's blocks can be saved under this day's
    // name. Nothing is placed, no notice, no dayReplaced.
    void keepUnfinishedRead(const QList<DayViewModel>& read, const RowsOnScreen& shown);
    // Every row of the day as it stands: the shown blocks (with the id of the stored row each shows), the
    // stored rows not shown and the unsaved rows not shown.
    QList<StoredBlock> allRows() const;
    // Rows not stored and not shown (a restored version's chair that is gone, a block outside changed
    // hours): written by every save with the shown blocks, shown again once they fit.
    const QList<StoredBlock>& unsavedUnshown() const { return m_unsavedUnshown; }
    // The notice of the last replacement that left rows unshown; empty when everything fitted.
    const QString& replaceNotice() const { return m_replaceNotice; }

    // Column i of the window: chairs 0 to chairCount() − 1, then the doctor column. Read only: the
    // blocks change through the steps below, so that every change is on the history.
    const DayViewModel& column(int index) const { return m_columns.at(index); }
    // The key to the columns for the views that draw them, which set a column's look (its hours and
    // caption), never its blocks. Only the window's column layout holds it.
    class ViewKey {
        friend class ::ColumnLayout;
        ViewKey() = default;
    };
    DayViewModel& columnForView(int index, ViewKey) { return m_columns.at(index); }
    int chairCount() const;
    QList<const DayViewModel*> chairs() const;
    // The doctor column is drawn from the chairs and is not part of the history. Emptied first, so that a
    // read of the treatments that fails leaves no stale demand on screen.
    void clearDoctor() { m_columns.at(chairCount()).clear(); }
    // Draws it from the chairs' blocks; throws as DoctorColumn::redraw does.
    DoctorLoad redrawDoctor(const QHash<QString, Treatment>& treatments);
    // The chair columns followed by the doctor column.
    QList<const DayViewModel*> columnsWithDoctor() const;
    // The stored rows of the day that are on screen: a save replaces only these.
    RowsOnScreen& rowsOnScreen() { return m_rowsOnScreen; }
    const RowsOnScreen& rowsOnScreen() const { return m_rowsOnScreen; }

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

signals:
    // A step was made, undone or redone: the chairs whose blocks it changed are drawn again (none for a
    // step that only counts as a change), and the doctor column and the fee follow.
    void blocksChanged(const QList<int>& chairs);
    // The day's rows were replaced as a whole; `notice` names what is not shown (empty: all shown).
    void dayReplaced(DayReplacement reason, const QString& notice);
    // The history was emptied: steps before are no longer on it.
    void historyReset();

private:
    // The edits on the history change the blocks themselves.
    friend class PlaceBlockEdit;
    friend class RemoveBlockEdit;
    friend class MoveBlockEdit;
    friend class ReplaceDayEdit;
    void insertBlock(int chair, int index, const DayBlock& block);
    DayBlock takeBlock(int chair, int index);
    void setUnsavedUnshown(const QList<StoredBlock>& rows) { m_unsavedUnshown = rows; }

    void followHistory();
    void noteChanged(int chair);

    LunarisState& m_state;
    std::array<DayViewModel, Columns> m_columns;
    RowsOnScreen m_rowsOnScreen;
    QUndoStack m_history;
    bool m_forgetting = false;
    QList<StoredBlock> m_unsavedUnshown;
    QString m_replaceNotice;
    // The chairs the step being made, undone or redone changed so far.
    QList<int> m_changedChairs;
};
