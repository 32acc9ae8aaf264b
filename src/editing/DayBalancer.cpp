#include "editing/DayBalancer.h"

#include "editing/BalancePlaces.h"
#include "editing/GreedyRepair.h"

#include <gecode/int.hh>
#include <gecode/minimodel.hh>
#include <gecode/search.hh>

#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

using namespace Gecode;

namespace {

constexpr int Midnight = 24 * 60;
// The share of the time limit the least overload may take when it is not found sooner: the rest goes to fewer moves.
constexpr double OverloadShare = 0.6;
// The failures one neighbourhood of a restarting search may have.
constexpr unsigned long int NeighbourhoodFailures = 300;

// Adds one doctor window to `cells` exactly as the doctor column does: a window that starts outside the day's
// rows adds nothing; it fills whole rows from the start of its first row on and puts the rest into the next.
void addWindow(std::map<int, int>& cells, const BalanceDay& day, int blockStart, int start, int length)
{
    if (length <= 0 || day.slotMinutes <= 0)
        return;
    const int windowStart = blockStart + start;
    if (windowStart < 0 || windowStart >= Midnight || windowStart < day.dayStart)
        return;
    const int row = (windowStart - day.dayStart) / day.slotMinutes;
    if (row >= day.rowCount())
        return;
    const int rows = length / day.slotMinutes + 1;
    const int rest = length - day.slotMinutes * (rows - 1);
    if (rows == 1) {
        cells[row] += rest;
        return;
    }
    for (int r = row; r <= row + rows - 2; ++r)
        cells[r] += day.slotMinutes;
    cells[row + rows - 1] += rest;
}

// Ends the search at the time limit or when the user cancels.
class BalanceStop : public Search::Stop {
public:
    BalanceStop(int limitMs, const std::atomic<bool>& cancel) : m_limitMs(limitMs), m_cancel(cancel)
    {
        m_clock.start();
    }
    bool stop(const Search::Statistics&, const Search::Options&) override
    {
        return m_reached || timeUp() || (m_phaseEndMs && m_clock.elapsed() >= *m_phaseEndMs);
    }
    bool timeUp() const { return m_cancel.load() || m_clock.elapsed() >= m_limitMs; }
    // Ends the running search, not the whole, `ms` after the start; none: at the limit.
    void phaseUntil(std::optional<qint64> ms) { m_phaseEndMs = ms; }
    // A point `share` of the way from now to the limit.
    qint64 shareOfTheRest(double share) const
    {
        const qint64 now = m_clock.elapsed();
        return now + qint64(double(std::max<qint64>(0, m_limitMs - now)) * share);
    }
    qint64 elapsed() const { return m_clock.elapsed(); }
    // The answer has reached a proven bound: the running search need not go on.
    void reached() { m_reached = true; }
    bool wasReached() const { return m_reached; }
    void next() { m_reached = false; }

private:
    bool m_reached = false;
    std::optional<qint64> m_phaseEndMs;
    int m_limitMs;
    const std::atomic<bool>& m_cancel;
    QElapsedTimer m_clock;
};

// The doctor's demand of every row as sums of (minutes × "this block takes this place").
class RowSums {
public:
    explicit RowSums(int rows) : m_coefficients(rows), m_places(rows) {}
    void add(int row, int minutes, const BoolVar& place)
    {
        m_coefficients[row].push_back(minutes);
        m_places[row].push_back(place);
    }
    int rows() const { return int(m_coefficients.size()); }
    bool empty(int row) const { return m_coefficients[row].empty(); }
    IntArgs coefficients(int row) const { return IntArgs(m_coefficients[row]); }
    BoolVarArgs places(int row) const
    {
        BoolVarArgs a;
        for (const BoolVar& v : m_places[row])
            a << v;
        return a;
    }
    // The most minutes the row can reach: each block's largest share.
    int most(int row) const
    {
        int sum = 0;
        for (int c : m_coefficients[row])
            sum += c;
        return sum;
    }

private:
    std::vector<std::vector<int>> m_coefficients;
    std::vector<std::vector<BoolVar>> m_places;
};

// The chair time a chair's stored rows off the screen take, as tasks that do not move.
void addBusy(Space& home, const BalanceDay& day, int chair, IntVarArgs& s, IntArgs& p, BoolVarArgs& in)
{
    for (const BalanceBlock& b : day.busy) {
        if (b.chair != chair || b.minutes <= 0)
            continue;
        s << IntVar(home, b.start, b.start);
        p << b.minutes;
        in << BoolVar(home, 1, 1);
    }
}

// What one search of the rebalancing minimises, and the bounds that earlier searches proved.
struct BalanceGoal {
    enum Objective { Overload, Moves, Shift };
    Objective objective = Overload;
    std::optional<int> maxOverload;
    std::optional<int> maxMoves;
    int leastMoves = 0; // proven: no answer within maxOverload moves fewer blocks
    std::optional<int> maxShift;
};

// The rebalancing model: each search minimises one of overload minutes, moved blocks and shifted minutes, the
// earlier ones fixed at their proven best.
class BalanceSpace : public IntLexMinimizeSpace {
public:
    BalanceSpace(const BalanceDay& day, const BalanceOptions& options, const BalanceGoal& goal = {})
        : m_day(&day), m_objective(goal.objective), m_place(*this, day.blocks.size()), m_chair(*this, day.blocks.size())
    {
        const int n = int(day.blocks.size());
        const int chairs = std::max(1, day.chairCount);
        RowSums sums(day.rowCount());
        BoolVarArgs moved(n);
        IntVarArgs shift(n);
        IntVarArgs starts(n);
        IntArgs lengths(n);
        std::vector<bool> inConflict(n, false);
        int doctorMinutes = 0; // the least the blocks need of the doctor inside the rows, wherever they are
        const QList<int> before = DayBalancer::demandPerRow(day, day.blocks);

        for (int b = 0; b < n; ++b) {
            const BalanceBlock& block = day.blocks[b];
            const BalancePlaces places = BalancePlaces::of(day, block, options);
            const int count = int(places.starts.size());
            m_place[b] = IntVar(*this, 0, count - 1);
            BoolVarArgs at(*this, count, 0, 1);
            channel(*this, at, m_place[b]);

            std::vector<int> shifts;
            int least = std::numeric_limits<int>::max();
            for (int i = 0; i < count; ++i) {
                shifts.push_back(std::abs(places.starts[i] - block.start));
                int here = 0;
                for (const auto& [row, minutes] : DayBalancer::demandOf(day, block.code, places.starts[i])) {
                    sums.add(row, minutes, at[i]);
                    here += minutes;
                    if (i == places.own && before[row] > day.slotMinutes)
                        inConflict[b] = true;
                }
                least = std::min(least, here);
            }
            doctorMinutes += least;
            starts[b] = IntVar(*this, places.starts.front(), places.starts.back());
            element(*this, IntArgs(places.starts), m_place[b], starts[b]);
            shift[b] = IntVar(*this, 0, *std::max_element(shifts.begin(), shifts.end()));
            element(*this, IntArgs(shifts), m_place[b], shift[b]);
            lengths[b] = std::max(0, block.minutes);

            const bool movesChair = options.chairChangeAllowed && count > 1 && block.minutes > 0;
            m_chair[b] = movesChair ? IntVar(*this, 0, chairs - 1) : IntVar(*this, block.chair, block.chair);
            moved[b] = movesChair ? expr(*this, (m_place[b] != places.own) || (m_chair[b] != block.chair))
                                  : expr(*this, m_place[b] != places.own);
        }

        // One block at a time in every chair; blocks of no length take no time.
        for (int c = 0; c < chairs; ++c) {
            IntVarArgs s;
            IntArgs p;
            BoolVarArgs in;
            for (int b = 0; b < n; ++b) {
                if (lengths[b] <= 0 || !m_chair[b].in(c))
                    continue;
                s << starts[b];
                p << lengths[b];
                in << (m_chair[b].assigned() ? BoolVar(*this, 1, 1) : expr(*this, m_chair[b] == c));
            }
            addBusy(*this, day, c, s, p, in);
            if (s.size() > 1)
                unary(*this, s, p, in);
        }

        IntVarArgs over, under;
        int reachable = 0;
        std::vector<bool> reachableRows(sums.rows(), false);
        for (int r = 0; r < sums.rows(); ++r) {
            if (sums.empty(r))
                continue;
            ++reachable;
            reachableRows[r] = true;
            IntVar demand(*this, 0, sums.most(r));
            linear(*this, sums.coefficients(r), sums.places(r), IRT_EQ, demand);
            if (sums.most(r) > day.slotMinutes)
                over << expr(*this, max(demand - day.slotMinutes, 0));
            under << expr(*this, max(day.slotMinutes - demand, 0));
        }
        m_overload = over.size() > 0 ? expr(*this, sum(over)) : IntVar(*this, 0, 0);
        // Whatever the arrangement, the rows the blocks can reach take a row's length each without overload: what
        // the doctor is needed beyond that is overload in any case. Reaching this bound ends the hunt for less.
        m_doctorMinutes = doctorMinutes;
        m_reachableRows = reachable;
        m_reachable = std::make_shared<const std::vector<bool>>(std::move(reachableRows));
        rel(*this, m_overload >= overloadFloor());
        if (goal.maxOverload)
            rel(*this, m_overload <= *goal.maxOverload);
        // The same from the other side: overload is demand beyond the rows' length plus the doctor's idle minutes in
        // reachable rows, so little overload leaves little idle time. Idle rows are seen as soon as the blocks that
        // could fill them are placed elsewhere, long before the overload's sum shows it.
        if (under.size() > 0)
            rel(*this, sum(under) <= m_overload - doctorMinutes + day.slotMinutes * reachable);
        m_moved = expr(*this, sum(moved));
        rel(*this, m_moved >= goal.leastMoves);
        if (goal.maxMoves)
            rel(*this, m_moved <= *goal.maxMoves);
        m_shift = expr(*this, sum(shift));
        if (goal.maxShift)
            rel(*this, m_shift <= *goal.maxShift);

        // Which blocks move is decided first, those in red rows first: a set that leaves a red row among the
        // blocks that stay fails at once, which prunes most of the proof. "Stays" comes first, so the first answer
        // is the day as it is. Then each moving block tries the nearest places first, in its own chair first.
        std::vector<int> order(n);
        for (int b = 0; b < n; ++b)
            order[b] = b;
        std::stable_partition(order.begin(), order.end(), [&](int b) { return inConflict[b]; });
        BoolVarArgs movedInOrder;
        for (int b : order)
            movedInOrder << moved[b];
        branch(*this, movedInOrder, BOOL_VAR_NONE(), BOOL_VAL_MIN());
        for (int b : order) {
            const int ownChair = day.blocks[b].chair;
            branch(*this, shift[b], INT_VAL_MIN());
            branch(*this, m_chair[b],
                   INT_VAL([ownChair](const Space&, IntVar x, int) { return x.in(ownChair) ? ownChair : x.min(); }));
            branch(*this, m_place[b], INT_VAL_MIN());
        }
        m_starts = IntVarArray(*this, starts);
    }

    BalanceSpace(BalanceSpace& other)
        : IntLexMinimizeSpace(other), m_day(other.m_day), m_objective(other.m_objective),
          m_doctorMinutes(other.m_doctorMinutes), m_reachableRows(other.m_reachableRows),
          m_reachable(other.m_reachable), m_neighbourhood(other.m_neighbourhood), m_seed(other.m_seed)
    {
        m_place.update(*this, other.m_place);
        m_chair.update(*this, other.m_chair);
        m_starts.update(*this, other.m_starts);
        m_overload.update(*this, other.m_overload);
        m_moved.update(*this, other.m_moved);
        m_shift.update(*this, other.m_shift);
    }
    Space* copy() override { return new BalanceSpace(*this); }
    IntVarArgs cost() const override
    {
        switch (m_objective) {
        case BalanceGoal::Overload:
            return IntVarArgs({m_overload});
        case BalanceGoal::Moves:
            return IntVarArgs({m_moved});
        case BalanceGoal::Shift:
            break;
        }
        return IntVarArgs({m_shift});
    }

    int overload() const { return m_overload.val(); }
    // The least overload any arrangement has: the doctor's minutes beyond a row's length in every reachable row.
    int overloadFloor() const { return std::max(0, m_doctorMinutes - m_day->slotMinutes * m_reachableRows); }
    // The most idle doctor minutes in reachable rows an answer with `overload` minutes can have.
    int idleCeiling(int overload) const { return overload - m_doctorMinutes + m_day->slotMinutes * m_reachableRows; }
    int moves() const { return m_moved.val(); }
    int shift() const { return m_shift.val(); }
    int start(int b) const { return m_starts[b].val(); }
    int chair(int b) const { return m_chair[b].val(); }

    // This model with every block at its place in `blocks` (the same blocks, moved); none when the model does not
    // allow that arrangement.
    std::unique_ptr<BalanceSpace> placedAs(const QList<BalanceBlock>& blocks, const BalanceOptions& options)
    {
        std::unique_ptr<BalanceSpace> placed(static_cast<BalanceSpace*>(clone()));
        for (int b = 0; b < blocks.size(); ++b) {
            const int place = BalancePlaces::of(*m_day, m_day->blocks[b], options).indexOf(blocks[b].start);
            if (place < 0)
                return {};
            rel(*placed, placed->m_place[b], IRT_EQ, place);
            rel(*placed, placed->m_chair[b], IRT_EQ, blocks[b].chair);
        }
        if (placed->status() != SS_SOLVED)
            return {};
        return placed;
    }

    // Only answers better than `seed` count from now on, and the neighbourhoods start around it until the search
    // finds a better one. The seed must outlive the search.
    void startFrom(const BalanceSpace& seed)
    {
        constrain(seed);
        m_seed = &seed;
    }

    // Restarts: every run must beat the best answer so far. The first run goes on after an answer (it may yet
    // prove the best); a neighbourhood is left for a new one around each better answer.
    bool master(const MetaInfo& mi) override
    {
        if (mi.type() == MetaInfo::RESTART && mi.last() != nullptr)
            constrain(*mi.last());
        // The engine's restart count stays when a neighbourhood fails at once; the next one must differ.
        if (mi.type() == MetaInfo::RESTART)
            ++m_neighbourhood;
        return mi.type() == MetaInfo::RESTART && mi.restart() > 0;
    }

    // The first run searches everything (it proves the answer when it ends before its cutoff); every later one
    // searches a neighbourhood of the best answer: blocks around red or idle rows (for less overload) or around the
    // moved blocks (for fewer moves and less shift) and a few others may move, the rest stay where the best answer
    // has them.
    bool slave(const MetaInfo& mi) override
    {
        if (mi.type() != MetaInfo::RESTART || mi.restart() == 0)
            return true;
        const Space* last = mi.last() != nullptr ? mi.last() : m_seed;
        if (last == nullptr)
            return true;
        const auto& best = static_cast<const BalanceSpace&>(*last);
        const BalanceDay& day = *m_day;
        const int n = int(day.blocks.size());
        QList<BalanceBlock> placed = day.blocks;
        for (int b = 0; b < n; ++b) {
            placed[b].start = best.start(b);
            placed[b].chair = best.chair(b);
        }
        QRandomGenerator random(m_neighbourhood);
        std::vector<bool> free(n, false);
        // Fewer moves and less shift search around the moved blocks only: freeing the blocks around red and idle
        // rows as well made the neighbourhoods larger without letting more blocks go back (3 % more moves).
        if (m_objective == BalanceGoal::Overload)
            freeAroundRows(placed, random, free);
        else
            freeAroundMoved(placed, random, free);
        for (int i = 0; n > 0 && i < 2 + int(m_neighbourhood % 5); ++i)
            free[random.bounded(n)] = true;
        for (int b = 0; b < n; ++b) {
            if (free[b])
                continue;
            rel(*this, m_place[b], IRT_EQ, best.m_place[b].val());
            rel(*this, m_chair[b], IRT_EQ, best.m_chair[b].val());
        }
        return false;
    }

private:
    // For less overload: around an idle row (on every third restart, or when no row is red) and around a few red
    // rows.
    void freeAroundRows(const QList<BalanceBlock>& placed, QRandomGenerator& random, std::vector<bool>& free) const
    {
        const BalanceDay& day = *m_day;
        const int n = int(placed.size());
        const QList<int> demand = DayBalancer::demandPerRow(day, placed);
        std::vector<int> redRows, idleRows;
        for (int r = 0; r < demand.size(); ++r) {
            if (demand[r] > day.slotMinutes)
                redRows.push_back(r);
            else if (demand[r] < day.slotMinutes && (*m_reachable)[r])
                idleRows.push_back(r);
        }
        // Overload above the floor is the doctor's idle time in rows some block could fill: every third restart
        // frees the blocks of all chairs around an idle row, so that a block can take its doctor time there.
        if (!idleRows.empty() && (redRows.empty() || m_neighbourhood % 3 == 1)) {
            const int row = idleRows[random.bounded(int(idleRows.size()))];
            const int from = day.dayStart + row * day.slotMinutes - 10 * (2 + int(random.bounded(5)));
            const int to = day.dayStart + (row + 1) * day.slotMinutes + 10 * (1 + int(random.bounded(4)));
            for (int b = 0; b < n; ++b)
                if (placed[b].start < to && from < placed[b].start + placed[b].minutes)
                    free[b] = true;
        }
        // Around a few red rows: the blocks that need the doctor near them (every one, or on every other restart
        // one of them), and their neighbours in their chairs.
        const bool all = m_neighbourhood % 2 == 0;
        const int picks = 1 + int(m_neighbourhood % 3);
        const int rows = int(m_neighbourhood % 3);
        const int reach = 20 + 20 * int(m_neighbourhood % 3);
        for (int i = 0; i < picks && !redRows.empty(); ++i) {
            const int row = redRows[random.bounded(int(redRows.size()))];
            std::vector<int> nearby;
            for (int b = 0; b < n; ++b)
                for (const auto& [r, minutes] : DayBalancer::demandOf(day, placed[b].code, placed[b].start))
                    if (std::abs(r - row) <= rows) {
                        nearby.push_back(b);
                        break;
                    }
            if (!all && !nearby.empty())
                nearby = {nearby[random.bounded(int(nearby.size()))]};
            for (int b : nearby) {
                for (int o = 0; o < n; ++o)
                    if (placed[o].chair == placed[b].chair && std::abs(placed[o].start - placed[b].start) <= reach)
                        free[o] = true;
            }
        }
    }

    // For fewer moves: a few moved blocks and, around their own places, the blocks of their chair (so that they can
    // go back) and about half of those of the other chairs (so that the doctor's load there can go elsewhere).
    void freeAroundMoved(const QList<BalanceBlock>& placed, QRandomGenerator& random, std::vector<bool>& free) const
    {
        const QList<BalanceBlock>& own = m_day->blocks;
        std::vector<int> moved;
        for (int b = 0; b < own.size(); ++b)
            if (placed[b].start != own[b].start || placed[b].chair != own[b].chair)
                moved.push_back(b);
        const int picks = 1 + int(random.bounded(3));
        for (int i = 0; i < picks && !moved.empty(); ++i) {
            const int picked = moved[random.bounded(int(moved.size()))];
            free[picked] = true; // moved far, it is not among the blocks around its own place
            const BalanceBlock& back = own[picked];
            const int margin = 10 * int(random.bounded(4));
            for (int o = 0; o < placed.size(); ++o) {
                const bool overlaps = placed[o].start < back.start + back.minutes + margin &&
                                      back.start - margin < placed[o].start + placed[o].minutes;
                if (overlaps && (placed[o].chair == back.chair || random.bounded(2) == 0))
                    free[o] = true;
            }
        }
    }

    const BalanceDay* m_day; // outlives the search
    BalanceGoal::Objective m_objective;
    int m_doctorMinutes = 0;
    int m_reachableRows = 0;
    std::shared_ptr<const std::vector<bool>> m_reachable; // rows some place of some block needs the doctor in
    quint32 m_neighbourhood = 0;                          // restarts so far, also those the engine does not count
    const BalanceSpace* m_seed = nullptr;
    IntVarArray m_place;
    IntVarArray m_chair;
    IntVarArray m_starts;
    IntVar m_overload, m_moved, m_shift;
};

// The minutes of the day's hours that no block and no stored row takes, over all chairs.
int freeChairMinutes(const BalanceDay& day)
{
    const int hours = std::max(0, day.dayEnd - day.dayStart);
    int free = 0;
    for (int c = 0; c < std::max(1, day.chairCount); ++c) {
        std::vector<bool> taken(hours, false);
        for (const QList<BalanceBlock>* list : {&day.blocks, &day.busy})
            for (const BalanceBlock& b : *list)
                if (b.chair == c)
                    for (int m = std::max(b.start, day.dayStart); m < std::min(b.start + b.minutes, day.dayEnd); ++m)
                        taken[m - day.dayStart] = true;
        free += int(std::count(taken.begin(), taken.end(), false));
    }
    return free;
}

// The filling model: a wanted block either stays out (place 0) or takes a start on the row grid in a chair.
// Cost: per fee, from the highest down, the number of wanted blocks of that fee left out.
class FillSpace : public IntLexMinimizeSpace {
public:
    // `fixed`: the proven fewest left out of the first fee groups; the search minimises those left out of the next
    // group, fewer than `fewerThan` of them.
    FillSpace(const BalanceDay& day, const QList<BalanceTreatment>& wanted, const std::vector<int>& fixed,
              std::optional<int> fewerThan)
        : m_place(*this, wanted.size()), m_chair(*this, wanted.size()), m_group(int(fixed.size()))
    {
        const int n = int(wanted.size());
        const int chairs = std::max(1, day.chairCount);
        const int slot = std::max(1, day.slotMinutes);
        const QList<int> existing = DayBalancer::demandPerRow(day, day.blocks);
        RowSums sums(day.rowCount());
        BoolVarArgs placed(n);
        IntVarArgs starts(n);
        IntArgs lengths(n);
        IntArgs leastDoctor(n);

        for (int e = 0; e < n; ++e) {
            const BalanceTreatment& t = wanted[e];
            // Place 0 is "left out"; its start does not matter.
            std::vector<int> places{day.dayStart};
            if (t.minutes > 0)
                for (int s = day.dayStart; s + t.minutes <= day.dayEnd; s += slot)
                    places.push_back(s);
            const int count = int(places.size());
            m_place[e] = IntVar(*this, 0, count - 1);
            BoolVarArgs at(*this, count, 0, 1);
            channel(*this, at, m_place[e]);
            placed[e] = expr(*this, m_place[e] != 0);
            int least = std::numeric_limits<int>::max();
            for (int i = 1; i < count; ++i) {
                int here = 0;
                for (const auto& [row, minutes] : DayBalancer::demandOf(day, t.code, places[i])) {
                    sums.add(row, minutes, at[i]);
                    here += minutes;
                }
                least = std::min(least, here);
            }
            leastDoctor[e] = count > 1 ? least : 0;
            starts[e] = IntVar(*this, places.front(), std::max(places.front(), places.back()));
            element(*this, IntArgs(places), m_place[e], starts[e]);
            lengths[e] = std::max(1, t.minutes);
            m_chair[e] = IntVar(*this, 0, chairs - 1);
        }

        // Every chair: its blocks as they are, and the wanted blocks that take it.
        for (int c = 0; c < chairs; ++c) {
            IntVarArgs s;
            IntArgs p;
            BoolVarArgs in;
            for (const BalanceBlock& b : day.blocks) {
                if (b.chair != c || b.minutes <= 0)
                    continue;
                s << IntVar(*this, b.start, b.start);
                p << b.minutes;
                in << BoolVar(*this, 1, 1);
            }
            for (int e = 0; e < n; ++e) {
                s << starts[e];
                p << lengths[e];
                in << expr(*this, placed[e] && (m_chair[e] == c));
            }
            addBusy(*this, day, c, s, p, in);
            if (s.size() > 1)
                unary(*this, s, p, in);
        }

        // No row over its length; a row that already is takes nothing more.
        int doctorRoom = 0;
        for (int r = 0; r < sums.rows(); ++r) {
            const int room = std::max(day.slotMinutes, existing[r]) - existing[r];
            doctorRoom += room;
            if (!sums.empty(r) && sums.most(r) > room)
                linear(*this, sums.coefficients(r), sums.places(r), IRT_LQ, room);
        }
        // The same summed over the day, and the chairs' free time: together they bound how many blocks fit at all,
        // which proves "no more fit" without trying every arrangement.
        linear(*this, leastDoctor, placed, IRT_LQ, doctorRoom);
        linear(*this, lengths, placed, IRT_LQ, freeChairMinutes(day));

        // Equal wanted blocks are interchangeable: the first ones are placed first, in time order.
        for (int e = 0; e + 1 < n; ++e) {
            if (wanted[e].code != wanted[e + 1].code)
                continue;
            rel(*this, placed[e] >= placed[e + 1]);
            const LinIntExpr here = m_chair[e] * (day.dayEnd + 1) + starts[e];
            const LinIntExpr next = m_chair[e + 1] * (day.dayEnd + 1) + starts[e + 1];
            rel(*this, !placed[e + 1] || (here < next));
        }

        // The wanted blocks come sorted by fee, the highest first.
        IntVarArgs leftOut;
        for (int e = 0; e < n;) {
            int end = e;
            BoolVarArgs group;
            while (end < n && wanted[end].feeCents == wanted[e].feeCents)
                group << placed[end++];
            leftOut << expr(*this, group.size() - sum(group));
            e = end;
        }
        m_cost = IntVarArray(*this, leftOut);
        for (int g = 0; g < int(fixed.size()) && g < leftOut.size(); ++g)
            rel(*this, leftOut[g] == fixed[g]);
        if (fewerThan && m_group < leftOut.size())
            rel(*this, leftOut[m_group] < *fewerThan);

        for (int e = 0; e < n; ++e) {
            branch(*this, placed[e], BOOL_VAL_MAX());
            branch(*this, m_place[e], INT_VAL_MIN());
            branch(*this, m_chair[e], INT_VAL_MIN());
        }
        m_starts = IntVarArray(*this, starts);
    }

    FillSpace(FillSpace& other) : IntLexMinimizeSpace(other), m_group(other.m_group)
    {
        m_place.update(*this, other.m_place);
        m_chair.update(*this, other.m_chair);
        m_starts.update(*this, other.m_starts);
        m_cost.update(*this, other.m_cost);
    }
    Space* copy() override { return new FillSpace(*this); }
    IntVarArgs cost() const override { return IntVarArgs({m_cost[m_group]}); }

    int groups() const { return m_cost.size(); }
    int leftOut(int group) const { return m_cost[group].val(); }
    bool placed(int e) const { return m_place[e].val() != 0; }
    int start(int e) const { return m_starts[e].val(); }
    int chair(int e) const { return m_chair[e].val(); }

private:
    IntVarArray m_place;
    IntVarArray m_chair;
    IntVarArray m_starts;
    IntVarArray m_cost;
    int m_group;
};

// The failures each run of a restarting search may have: the first, complete run long enough to prove a
// practice's day, the neighbourhoods short.
class FirstLongCutoff : public Search::Cutoff {
public:
    explicit FirstLongCutoff(unsigned long int first) : m_firstFailures(first) {}
    unsigned long int operator()() const override { return m_first ? m_firstFailures : NeighbourhoodFailures; }
    unsigned long int operator++() override
    {
        m_first = false;
        return (*this)();
    }

private:
    unsigned long int m_firstFailures;
    bool m_first = true;
};

// Runs branch and bound to its end or the stop, handing every better answer to `take`. True when the search
// ended by itself: the last answer is the best there is. With `firstRunFailures`, the model's master and slave
// steer restarts after a first, complete run of that many failures (a large neighbourhood search).
template <class Model, class Take>
bool runSearch(std::unique_ptr<Model> root, BalanceStop& stop, const Take& take,
               std::optional<unsigned long int> firstRunFailures = {})
{
    Search::Options o;
    o.threads = 1; // the same answer on every machine
    o.stop = &stop;
    if (firstRunFailures) {
        o.cutoff = new FirstLongCutoff(*firstRunFailures); // the engine deletes it
        RBS<Model, BAB> engine(root.get(), o);             // works on a clone of the root
        root.reset();
        while (Model* answer = engine.next()) {
            take(*answer);
            delete answer;
        }
        return !engine.stopped();
    }
    BAB<Model> engine(root.get(), o); // works on a clone of the root
    root.reset();
    while (Model* answer = engine.next()) {
        take(*answer);
        delete answer;
    }
    return !engine.stopped();
}

// The fewest of `gains` (each block's most) that add up to `needed`.
int fewestCovering(std::vector<int> gains, int needed)
{
    std::sort(gains.begin(), gains.end(), std::greater<>());
    int count = 0;
    for (int g : gains) {
        if (needed <= 0)
            break;
        needed -= g;
        ++count;
    }
    return count;
}

// The fewest blocks that must move for an overload of `overload` minutes, counted twice from the day as it is.
// A block that leaves its place lowers each row's overload by at most its own minutes there, and one that takes a
// new place fills each idle row by at most its minutes there; the rows left idle are bounded by `idleCeiling`.
int leastMoves(const BalanceDay& day, const BalanceOptions& options, int overload, int idleCeiling,
               const std::vector<bool>& reachable)
{
    const QList<int> demand = DayBalancer::demandPerRow(day, day.blocks);
    const int slot = day.slotMinutes;
    int overBefore = 0, idleBefore = 0;
    for (int r = 0; r < demand.size(); ++r) {
        overBefore += std::max(0, demand[r] - slot);
        if (reachable[r])
            idleBefore += std::max(0, slot - demand[r]);
    }
    std::vector<int> relief, fill;
    for (const BalanceBlock& b : day.blocks) {
        int leaving = 0;
        for (const auto& [row, minutes] : DayBalancer::demandOf(day, b.code, b.start))
            leaving += std::min(minutes, std::max(0, demand[row] - slot));
        relief.push_back(leaving);
        int most = 0;
        for (int start : BalancePlaces::of(day, b, options).starts) {
            int filled = 0;
            for (const auto& [row, minutes] : DayBalancer::demandOf(day, b.code, start))
                filled += std::min(minutes, std::max(0, slot - demand[row]));
            most = std::max(most, filled);
        }
        fill.push_back(most);
    }
    return std::max(fewestCovering(relief, overBefore - overload), fewestCovering(fill, idleBefore - idleCeiling));
}

} // namespace

DayBalancer::DayBalancer(BalanceDay day) : m_day(std::move(day)) {}

QList<QPair<int, int>> DayBalancer::demandOf(const BalanceDay& day, const QString& code, int start)
{
    QList<QPair<int, int>> result;
    const auto t = day.treatments.constFind(code);
    if (t == day.treatments.cend())
        return result;
    std::map<int, int> cells;
    addWindow(cells, day, start, t->drStart, t->drMinutes);
    addWindow(cells, day, start, t->drStart2, t->drMinutes2);
    const int rows = day.rowCount();
    for (const auto& [row, minutes] : cells)
        if (row < rows && minutes > 0)
            result.append({row, minutes});
    return result;
}

QList<int> DayBalancer::demandPerRow(const BalanceDay& day, const QList<BalanceBlock>& blocks)
{
    QList<int> rows(std::max(0, day.rowCount()), 0);
    for (const BalanceBlock& b : blocks)
        for (const auto& [row, minutes] : demandOf(day, b.code, b.start))
            rows[row] += minutes;
    return rows;
}

int DayBalancer::overloadMinutes(const BalanceDay& day, const QList<BalanceBlock>& blocks)
{
    int over = 0;
    for (int minutes : demandPerRow(day, blocks))
        over += std::max(0, minutes - day.slotMinutes);
    return over;
}

BalanceResult DayBalancer::balance(const BalanceOptions& options, const Progress& onBetter)
{
    BalanceStop stop(options.timeLimitMs, m_cancel);
    BalanceResult result;
    result.overloadBefore = overloadMinutes(m_day, m_day.blocks);
    result.blocks = m_day.blocks;
    result.overloadAfter = result.overloadBefore;
    int bestMoves = 0;

    // Takes an answer that is better than the best so far in the objectives' order.
    auto take = [&](const BalanceSpace& answer) {
        if (result.found && std::make_tuple(answer.overload(), answer.moves(), answer.shift()) >=
                                std::make_tuple(result.overloadAfter, bestMoves, result.totalShiftMinutes))
            return;
        result.found = true;
        result.overloadAfter = answer.overload();
        result.totalShiftMinutes = answer.shift();
        bestMoves = answer.moves();
        result.moves.clear();
        for (int b = 0; b < m_day.blocks.size(); ++b) {
            BalanceBlock& now = result.blocks[b];
            now.start = answer.start(b);
            now.chair = answer.chair(b);
            const BalanceBlock& was = m_day.blocks[b];
            if (now.start != was.start || now.chair != was.chair)
                result.moves.append({b, was.code, was.chair, now.chair, was.start, now.start});
        }
        result.elapsedMs = stop.elapsed();
        if (onBetter)
            onBetter(result);
    };
    auto finish = [&](bool proven) {
        result.proven = proven;
        result.cancelled = m_cancel.load();
        result.elapsedMs = stop.elapsed();
        return result;
    };

    auto root = std::make_unique<BalanceSpace>(m_day, options);
    if (root->status() == SS_FAILED) {
        // Cannot happen for a day without overlaps: the day as it is always is an answer.
        result.proven = true;
        result.elapsedMs = stop.elapsed();
        return result;
    }
    const int overloadFloor = root->overloadFloor();
    const int idleAtNoOverload = root->idleCeiling(0);
    // The greedy repair's answer is the first one: the searches only look for better ones, so the answer is never
    // worse, and the neighbourhoods start around a good day rather than the red one.
    if (const std::unique_ptr<BalanceSpace> seed = root->placedAs(GreedyRepair::repair(m_day, options), options))
        take(*seed);
    root.reset();

    // The least overload from the best answer so far, ended early when it reaches the floor that no arrangement
    // goes below, or at `share` of the time. True when that overload is proven the least.
    auto leastOverload = [&](std::optional<double> share) {
        if (result.found && result.overloadAfter <= overloadFloor)
            return true;
        auto search = std::make_unique<BalanceSpace>(m_day, options);
        std::unique_ptr<BalanceSpace> from;
        if (search->status() != SS_FAILED && result.found)
            from = search->placedAs(result.blocks, options);
        if (from)
            search->startFrom(*from);
        auto reachedFloor = [&](const BalanceSpace& answer) {
            take(answer);
            if (answer.overload() <= overloadFloor)
                stop.reached();
        };
        if (share)
            stop.phaseUntil(stop.shareOfTheRest(*share));
        const bool ended = search->status() == SS_FAILED || runSearch(std::move(search), stop, reachedFloor, 5000);
        stop.phaseUntil({});
        const bool reached = stop.wasReached();
        stop.next();
        return ended || reached;
    };
    std::vector<bool> reachable(std::max(0, m_day.rowCount()), false);
    for (const BalanceBlock& b : m_day.blocks)
        for (int start : BalancePlaces::of(m_day, b, options).starts)
            for (const auto& [row, minutes] : demandOf(m_day, b.code, start))
                reachable[row] = true;

    // The objectives one after the other, each search with the earlier ones fixed at their best. When the least
    // overload is not proven in its share of the time and the later searches end early, the rest of the time goes
    // to the overload again, and the later ones follow its answer.
    for (std::optional<double> share = OverloadShare;; share.reset()) {
        const bool overloadProven = leastOverload(share);
        if (!overloadProven && stop.timeUp())
            return finish(false);
        if (!result.found && overloadProven) // nothing better than the day as it is
            return finish(true);
        if (!result.found)
            continue;
        const int overload = result.overloadAfter;

        // Then the fewest moves at that overload, ended by a bound on them: a complete search for a third of the
        // time left (it proves a practice's day), then large neighbourhoods around the moved blocks.
        BalanceGoal goal;
        goal.maxOverload = overload;
        goal.leastMoves = leastMoves(m_day, options, overload, idleAtNoOverload + overload, reachable);
        goal.objective = BalanceGoal::Moves;
        for (const bool neighbourhoods : {false, true}) {
            if (bestMoves <= goal.leastMoves)
                break;
            auto fewer = std::make_unique<BalanceSpace>(m_day, options, goal);
            const std::unique_ptr<BalanceSpace> best =
                fewer->status() != SS_FAILED ? fewer->placedAs(result.blocks, options) : nullptr;
            if (!best)
                return finish(false);
            fewer->startFrom(*best);
            stop.phaseUntil(neighbourhoods ? std::nullopt : std::optional(stop.shareOfTheRest(1.0 / 3)));
            const bool ended = neighbourhoods ? runSearch(std::move(fewer), stop, take, NeighbourhoodFailures)
                                              : runSearch(std::move(fewer), stop, take);
            stop.phaseUntil({});
            if (ended)
                break;
            if (stop.timeUp())
                return finish(false);
        }

        // Then the smallest shift with that many moves.
        goal.objective = BalanceGoal::Shift;
        goal.leastMoves = bestMoves;
        goal.maxMoves = bestMoves;
        goal.maxShift = result.totalShiftMinutes - 1;
        auto nearer = std::make_unique<BalanceSpace>(m_day, options, goal);
        if (nearer->status() != SS_FAILED && !runSearch(std::move(nearer), stop, take))
            return finish(false);
        if (overloadProven)
            return finish(true);
    }
}

BalanceResult DayBalancer::fill(const QList<WantedBlocks>& wanted, int timeLimitMs, const Progress& onBetter)
{
    BalanceStop stop(timeLimitMs, m_cancel);
    BalanceResult result;
    result.overloadBefore = overloadMinutes(m_day, m_day.blocks);
    result.overloadAfter = result.overloadBefore;
    result.blocks = m_day.blocks;

    // One entry per wanted block, the highest fee first; codes unknown to the treatments cannot be placed.
    QList<BalanceTreatment> each;
    QMap<QString, int> unknown;
    for (const WantedBlocks& w : wanted) {
        const auto t = m_day.treatments.constFind(w.code);
        for (int i = 0; i < w.count; ++i) {
            if (t == m_day.treatments.cend())
                ++unknown[w.code];
            else
                each.append(*t);
        }
    }
    std::stable_sort(each.begin(), each.end(), [](const BalanceTreatment& a, const BalanceTreatment& b) {
        return a.feeCents > b.feeCents || (a.feeCents == b.feeCents && a.code < b.code);
    });

    std::vector<int> bestLeftOut;
    auto take = [&](const FillSpace& answer) {
        result.found = true;
        bestLeftOut.clear();
        for (int g = 0; g < answer.groups(); ++g)
            bestLeftOut.push_back(answer.leftOut(g));
        result.added.clear();
        for (int e = 0; e < each.size(); ++e)
            if (answer.placed(e))
                result.added.append({each[e].code, answer.chair(e), answer.start(e), each[e].minutes});
        result.blocks = m_day.blocks + result.added;
        result.overloadAfter = overloadMinutes(m_day, result.blocks);
        result.elapsedMs = stop.elapsed();
        if (onBetter)
            onBetter(result);
    };
    // Fee group by fee group, the highest first: the most blocks of the group that fit beside the proven counts of
    // the dearer ones. Each search is small, and the bounds of the doctor's and the chairs' free time end it early.
    bool ended = true;
    std::vector<int> fixed;
    for (int groups = 1; ended && !each.isEmpty() && int(fixed.size()) < groups;) {
        std::optional<int> fewerThan;
        if (result.found)
            fewerThan = bestLeftOut[fixed.size()];
        auto root = std::make_unique<FillSpace>(m_day, each, fixed, fewerThan);
        groups = root->groups();
        ended = root->status() == SS_FAILED || runSearch(std::move(root), stop, take);
        if (ended)
            fixed.push_back(bestLeftOut.at(fixed.size()));
    }
    result.proven = ended;
    result.cancelled = m_cancel.load();
    result.elapsedMs = stop.elapsed();

    QMap<QString, int> left = unknown;
    for (const BalanceTreatment& t : each)
        ++left[t.code];
    for (const BalanceBlock& b : result.added)
        --left[b.code];
    // In the order the wanted blocks were asked for.
    for (const WantedBlocks& w : wanted)
        if (left.value(w.code) > 0) {
            result.notPlaced.append({w.code, left.value(w.code)});
            left.remove(w.code);
        }
    return result;
}
