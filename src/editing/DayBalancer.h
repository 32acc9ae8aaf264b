#pragma once

#include "editing/BalanceTypes.h"

#include <atomic>
#include <functional>

// Arranges the blocks of a day so that the doctor is never needed for more minutes than a row has, with a
// constraint solver (Gecode): every chair holds one block at a time, every block stays inside the day's hours and
// keeps its treatment and length. Blocks move by whole rows, so each keeps its place inside a row and its doctor
// windows fall into rows exactly as the doctor column counts them.
//
// The search is branch and bound under a time limit, started from the greedy repair's answer (its first answer, so
// the result is never worse): a first complete run (it proves a practice's day best in milliseconds), then, when
// that is cut off, restarts that search neighbourhoods of the best answer (large neighbourhood search). cancel() (from
// any thread, also before the search has begun) ends it early with the best answer found so far. A cancelled balancer
// stays cancelled: one balancer per search.
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
    // goes first.
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
