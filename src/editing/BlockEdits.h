#pragma once

#include "dayview/DayViewModel.h"
#include "store/Tables.h"

#include <QUndoCommand>

class OpenDay;

// The undoable edits of the open day. Each names its step for the menu ("KONT in Stuhl 2 um 08:10")
// and is pushed only after the placement rules have allowed it.

// A new block at the end of a chair's list (placing, and the copy of a block).
class PlaceBlockEdit : public QUndoCommand {
public:
    PlaceBlockEdit(OpenDay& day, int chair, const DayBlock& block, const QString& text);
    void redo() override;
    void undo() override;

private:
    OpenDay& m_day;
    int m_chair;
    DayBlock m_block;
    int m_index = -1;
};

// One block taken out; undo puts it back at its place in the list.
class RemoveBlockEdit : public QUndoCommand {
public:
    RemoveBlockEdit(OpenDay& day, int chair, int index);
    void redo() override;
    void undo() override;

private:
    OpenDay& m_day;
    int m_chair;
    int m_index;
    DayBlock m_block;
};

// A block moved to another time or chair, its length kept; it goes to the end of the target's list.
class MoveBlockEdit : public QUndoCommand {
public:
    MoveBlockEdit(OpenDay& day, int from, int index, int to, const QString& start, const QString& end);
    void redo() override;
    void undo() override;

private:
    OpenDay& m_day;
    int m_from;
    int m_index;
    int m_to;
    QString m_start;
    QString m_end;
    DayBlock m_former;
    int m_placedAt = -1;
};

// Every chair's blocks replaced at once (a version, a recovered copy); undo puts the former back. The
// day's unsaved rows that are not shown are part of the step.
class ReplaceDayEdit : public QUndoCommand {
public:
    // after[i]: the new blocks of chair i; unshownAfter: the unsaved rows not shown after it.
    ReplaceDayEdit(OpenDay& day, const QList<QList<DayBlock>>& after, const QList<StoredBlock>& unshownAfter,
                   const QString& text);
    void redo() override;
    void undo() override;

private:
    void show(const QList<QList<DayBlock>>& blocks, const QList<StoredBlock>& unshown);

    OpenDay& m_day;
    QList<QList<DayBlock>> m_before;
    QList<QList<DayBlock>> m_after;
    QList<StoredBlock> m_unshownBefore;
    QList<StoredBlock> m_unshownAfter;
};
