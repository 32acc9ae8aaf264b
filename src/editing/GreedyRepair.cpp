#include "editing/GreedyRepair.h"

#include "editing/BalancePlaces.h"
#include "editing/DayBalancer.h"

#include <algorithm>
#include <vector>

namespace {

using RowMinutes = QList<QPair<int, int>>;

// The doctor's minutes per row, and what moving one block's demand does to the overload: only the rows the block
// leaves and enters are looked at.
class RowLoad {
public:
    RowLoad(const BalanceDay& day, const QList<BalanceBlock>& blocks)
        : m_slot(day.slotMinutes), m_minutes(DayBalancer::demandPerRow(day, blocks))
    {
    }

    int change(const RowMinutes& from, const RowMinutes& to)
    {
        std::vector<int> rows;
        for (const auto& [row, minutes] : from)
            rows.push_back(row);
        for (const auto& [row, minutes] : to)
            if (std::find(rows.begin(), rows.end(), row) == rows.end())
                rows.push_back(row);
        const int before = overOf(rows);
        move(from, to);
        const int after = overOf(rows);
        move(to, from);
        return after - before;
    }

    void move(const RowMinutes& from, const RowMinutes& to)
    {
        for (const auto& [row, minutes] : from)
            m_minutes[row] -= minutes;
        for (const auto& [row, minutes] : to)
            m_minutes[row] += minutes;
    }

private:
    int overOf(const std::vector<int>& rows) const
    {
        int over = 0;
        for (int row : rows)
            over += std::max(0, m_minutes[row] - m_slot);
        return over;
    }

    int m_slot;
    QList<int> m_minutes;
};

bool overlaps(const BalanceBlock& a, int start, int minutes)
{
    return a.minutes > 0 && a.start < start + minutes && start < a.start + a.minutes;
}

} // namespace

QList<BalanceBlock> GreedyRepair::repair(const BalanceDay& day, const BalanceOptions& options)
{
    QList<BalanceBlock> blocks = day.blocks;
    const int n = int(blocks.size());
    const int chairs = std::max(1, day.chairCount);

    // Every block's places and its demand at each, computed once.
    std::vector<BalancePlaces> places;
    std::vector<std::vector<RowMinutes>> demand(n);
    std::vector<int> at(n);
    std::vector<bool> changesChair(n);
    for (int b = 0; b < n; ++b) {
        places.push_back(BalancePlaces::of(day, blocks[b], options));
        for (int s : places[b].starts)
            demand[b].push_back(DayBalancer::demandOf(day, blocks[b].code, s));
        at[b] = places[b].own;
        changesChair[b] = options.chairChangeAllowed && places[b].starts.size() > 1 && blocks[b].minutes > 0;
    }

    RowLoad load(day, blocks);
    int overload = DayBalancer::overloadMinutes(day, blocks);
    while (overload > 0) {
        std::vector<std::vector<int>> inChair(chairs);
        for (int b = 0; b < n; ++b)
            if (blocks[b].chair >= 0 && blocks[b].chair < chairs)
                inChair[blocks[b].chair].push_back(b);
        auto isFree = [&](int b, int chair, int start) {
            const int minutes = blocks[b].minutes;
            for (int o : inChair[chair])
                if (o != b && overlaps(blocks[o], start, minutes))
                    return false;
            return std::none_of(day.busy.cbegin(), day.busy.cend(), [&](const BalanceBlock& busy) {
                return busy.chair == chair && overlaps(busy, start, minutes);
            });
        };

        int bestBlock = -1, bestChair = 0, bestPlace = 0, bestChange = 0;
        for (int b = 0; b < n; ++b) {
            if (blocks[b].chair < 0 || blocks[b].chair >= chairs)
                continue; // a chair the day does not have: no free time to judge
            // Its present chair first: a tie keeps the block in it.
            std::vector<int> chairOrder{blocks[b].chair};
            if (changesChair[b])
                for (int c = 0; c < chairs; ++c)
                    if (c != blocks[b].chair)
                        chairOrder.push_back(c);
            for (int chair : chairOrder)
                for (int i = 0; i < int(places[b].starts.size()); ++i) {
                    if (chair == blocks[b].chair && i == at[b])
                        continue;
                    if (blocks[b].minutes > 0 && !isFree(b, chair, places[b].starts[i]))
                        continue;
                    const int change = load.change(demand[b][at[b]], demand[b][i]);
                    if (change < bestChange) {
                        bestChange = change;
                        bestBlock = b;
                        bestChair = chair;
                        bestPlace = i;
                    }
                }
        }
        if (bestBlock < 0)
            break;
        load.move(demand[bestBlock][at[bestBlock]], demand[bestBlock][bestPlace]);
        at[bestBlock] = bestPlace;
        blocks[bestBlock].chair = bestChair;
        blocks[bestBlock].start = places[bestBlock].starts[bestPlace];
        overload += bestChange;
    }
    return blocks;
}
