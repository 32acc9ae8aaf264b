#pragma once

#include "editing/BalanceTypes.h"

#include <atomic>
#include <functional>

// Arranges the blocks of a day so that the doctor is never needed for more minutes than a row has, with a
// constraint solver (Gecode): every chair holds one block at a time, every block stays inside the day's hours and
// keeps its treatment and length. Blocks move by whole rows, so each keeps its place inside a row and its doctor
// windows fall into rows exactly as the doctor column counts them.
//
// The objectives are searched one after the other, each with the earlier ones fixed at their best, all under one
// time limit: the least overload, by branch and bound started from the greedy repair's answer (so the result is
// never worse) with restarts that search neighbourhoods of the best answer (around red rows and around rows where
// the doctor is idle), ended as soon as it reaches the floor that no arrangement goes below, or at 60 % of the time;
// then the fewest moved blocks, the same way around the moved blocks, ended by a bound on them; then the least
// shift. The answer is proven only when all three searches ended. cancel() (from any thread, also before the search has
// begun) ends it early with the best answer found so far. A cancelled balancer stays cancelled: one balancer per
// search.
class DayBalancer {
public:
    // Called from the searching thread with every better answer.
    using Progress = std::function<void(const BalanceResult&)>;

    explicit DayBalancer(BalanceDay day);

    // Moves blocks so that, in this order: no row is over its length, or else the fewest minutes are; the fewest
    // blocks move; the total shift is smallest. A block that the options leave no other place keeps its own.
    BalanceResult balance(const BalanceOptions& options, const Progress& onBetter = {});

    // Adds as many of the wanted blocks as fit into free chair time on the row grid, without moving a block and
    // without a row over its length (a row that already is gets nothing more); when not all fit, the higher fee
    // goes first: fee by fee, the most blocks of a fee beside the proven counts of the dearer ones.
    BalanceResult fill(const QList<WantedBlocks>& wanted, int timeLimitMs, const Progress& onBetter = {});

    // Ends a running search; it returns its best answer so far, marked cancelled.
    void cancel() { m_cancel.store(true); }

    // The doctor's minutes per row (rows 0 to rowCount() − 1), spread as the doctor column spreads them.
    static QList<int> demandPerRow(const BalanceDay& day, const QList<BalanceBlock>& blocks);
    // Minutes above the row length, summed over the rows.
    static int overloadMinutes(const BalanceDay& day, const QList<BalanceBlock>& blocks);
    // The rows (below rowCount()) and minutes one block starting at `start` demands of the doctor.
    static QList<QPair<int, int>> demandOf(const BalanceDay& day, const QString& code, int start);

private:
    BalanceDay m_day;
    std::atomic<bool> m_cancel{false};
};
