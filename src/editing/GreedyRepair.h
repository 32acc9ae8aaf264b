#pragma once

#include "editing/BalanceTypes.h"

// The simple way to lower the doctor's overload: move the one block whose best single move lowers the overload
// most, and again, until no move lowers it. Fast, never a proof; the balancing starts from its answer, so it never
// ends worse. Moves stay within the balancing's options, its grid and free chair time.
class GreedyRepair {
public:
    // The day's blocks afterwards, in the order of the input.
    static QList<BalanceBlock> repair(const BalanceDay& day, const BalanceOptions& options);
};
