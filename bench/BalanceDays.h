#pragma once

#include "editing/BalanceTypes.h"

// The days the balancing is measured on.
namespace BalanceDays {
// The demo practice's treatments and its Monday, read from the demo's SQL text.
BalanceDay demoMonday();
// A four-chair day of 40 to 60 demo treatments placed at random without overlap, reproducible from its seed.
BalanceDay generatedDay(quint32 seed);
// The largest day: ten chairs, every row of every chair a 10-minute block with two doctor windows.
BalanceDay largestDay();
} // namespace BalanceDays
