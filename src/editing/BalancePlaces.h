#pragma once

#include "editing/BalanceTypes.h"

#include <vector>

// The starts a block may take under the balancing's options: on its own row grid, inside the day's hours, within
// the shift limit and its half of the day, and always its present start.
struct BalancePlaces {
    std::vector<int> starts; // ascending
    int own = 0;             // index of the block's present start

    static BalancePlaces of(const BalanceDay& day, const BalanceBlock& block, const BalanceOptions& options);
    // The index of `start` among the starts, or −1.
    int indexOf(int start) const;
};
