#pragma once

#include "dayview/DayViewModel.h"
#include "editing/BalanceTypes.h"
#include "editing/DoctorColumn.h"

#include <QList>
#include <QStringList>

struct StoredBlock;
struct Treatment;

// The open day's chair columns as the balancing sees them, and the way back: the block lists a result gives
// the columns, and the moves in words.
class BalanceSnapshot {
public:
    // `unshown`: stored rows of the day that no column shows; their chair time stays taken. Throws
    // LunarisError when a treatment's numbers cannot be read.
    BalanceSnapshot(const QList<const DayViewModel*>& chairs, const DoctorColumn::TreatmentLookup& lookup,
                    const QList<StoredBlock>& unshown = {});

    const BalanceDay& day() const { return m_day; }
    // Makes the treatments of the table known beyond those of the day's blocks (the first row of a code counts,
    // as in the doctor column), so that filling can place them. Throws like the constructor.
    void includeTreatments(const QList<Treatment>& table);
    const QStringList& chairNames() const { return m_names; }

    // Every chair's blocks after the result: moved blocks keep their text and colour and take their new chair
    // and times, added ones come last.
    QList<QList<DayBlock>> blocksAfter(const BalanceResult& result) const;

    // "KONT Stuhl 2 09:10 → 09:40"; a chair change names both chairs.
    QString moveText(const BalanceMove& move) const;
    // "ABD Stuhl 1 10:00" for an added block.
    QString addedText(const BalanceBlock& block) const;

private:
    BalanceDay m_day;
    QStringList m_names;
    QList<QList<DayBlock>> m_before;
    // Where each block of the balancing day stands in the columns: chair, index.
    QList<QPair<int, int>> m_origin;
};
