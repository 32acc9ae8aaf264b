#include "editing/BalancePlaces.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int Noon = 12 * 60;
}

BalancePlaces BalancePlaces::of(const BalanceDay& day, const BalanceBlock& b, const BalanceOptions& options)
{
    BalancePlaces p;
    const int slot = day.slotMinutes;
    // Blocks of no length, or outside the day's rows, stay where they are: no grid describes them.
    if (b.minutes > 0 && slot > 0 && b.start >= day.dayStart) {
        const int offset = (b.start - day.dayStart) % slot;
        for (int s = day.dayStart + offset; s + b.minutes <= day.dayEnd; s += slot) {
            if (options.keepHalfDay && ((b.start < Noon) != (s < Noon)))
                continue;
            if (options.maxShiftMinutes && std::abs(s - b.start) > *options.maxShiftMinutes)
                continue;
            p.starts.push_back(s);
        }
    }
    if (std::find(p.starts.begin(), p.starts.end(), b.start) == p.starts.end())
        p.starts.push_back(b.start);
    std::sort(p.starts.begin(), p.starts.end());
    p.own = p.indexOf(b.start);
    return p;
}

int BalancePlaces::indexOf(int start) const
{
    const auto it = std::lower_bound(starts.begin(), starts.end(), start);
    return it != starts.end() && *it == start ? int(it - starts.begin()) : -1;
}
