// The day's balancing (the solver) beside a greedy repair, on the demo Monday, 100 generated four-chair days and
// the largest day. Not a test: scripts/bench-balancing builds it in Release and runs it.
#include "editing/DayBalancer.h"
#include "editing/GreedyRepair.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int DayStart = 8 * 60;
constexpr int DayEnd = 18 * 60;

// The demo practice's treatments and its Monday, read from the demo's SQL text.
BalanceDay demoMonday()
{
    QFile file(QStringLiteral(LUNARIS_DEMO_SQL));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("demo.sql not readable");
    const QString sql = QString::fromUtf8(file.readAll());
    BalanceDay day;
    day.dayStart = DayStart;
    day.dayEnd = DayEnd;
    day.slotMinutes = 10;
    static const QRegularExpression treatment(
        QStringLiteral(R"(\('(\w+)', '[^']*', (\d+), (\d+), (\d+), (\d+), (\d+), ([\d.]+)\))"));
    for (auto m = treatment.globalMatch(sql); m.hasNext();) {
        const auto t = m.next();
        day.treatments.insert(t.captured(1), {t.captured(1), t.captured(2).toInt(), t.captured(3).toInt(),
                                              t.captured(4).toInt(), t.captured(5).toInt(), t.captured(6).toInt(),
                                              qint64(std::llround(t.captured(7).toDouble() * 100))});
    }
    static const QRegularExpression block(
        QStringLiteral(R"(\('Montag Standard', '([^']+)', '(\w+)', '(\d\d):(\d\d)', '(\d\d):(\d\d)'\))"));
    QStringList chairs;
    for (auto m = block.globalMatch(sql); m.hasNext();) {
        const auto b = m.next();
        if (!chairs.contains(b.captured(1)))
            chairs.append(b.captured(1));
        const int start = b.captured(3).toInt() * 60 + b.captured(4).toInt();
        const int end = b.captured(5).toInt() * 60 + b.captured(6).toInt();
        day.blocks.append({b.captured(2), int(chairs.indexOf(b.captured(1))), start, end - start});
    }
    day.chairCount = int(chairs.size());
    if (day.blocks.size() != 19 || day.treatments.size() != 12)
        throw std::runtime_error("the demo Monday was not read whole");
    return day;
}

// A four-chair day of 40 to 60 demo treatments placed at random without overlap, reproducible from its seed.
BalanceDay generatedDay(quint32 seed)
{
    BalanceDay day = demoMonday();
    day.blocks.clear();
    day.chairCount = 4;
    QRandomGenerator random(seed);
    const int wanted = 40 + random.bounded(21);
    const QStringList codes = day.treatments.keys();
    QStringList sorted = codes;
    sorted.sort();
    for (int tries = 0; day.blocks.size() < wanted && tries < 20000; ++tries) {
        const BalanceTreatment& t = day.treatments[sorted[random.bounded(int(sorted.size()))]];
        const int chair = random.bounded(4);
        const int start = DayStart + 10 * random.bounded((DayEnd - DayStart) / 10);
        if (start + t.minutes > DayEnd)
            continue;
        const bool free = std::none_of(day.blocks.cbegin(), day.blocks.cend(), [&](const BalanceBlock& b) {
            return b.chair == chair && b.start < start + t.minutes && start < b.start + b.minutes;
        });
        if (free)
            day.blocks.append({t.code, chair, start, t.minutes});
    }
    return day;
}

// The largest day: ten chairs, every row of every chair a 10-minute block with two doctor windows.
BalanceDay largestDay()
{
    BalanceDay day;
    day.chairCount = 10;
    day.dayStart = DayStart;
    day.dayEnd = DayEnd;
    day.slotMinutes = 10;
    day.treatments.insert(QStringLiteral("K"), {QStringLiteral("K"), 10, 0, 5, 5, 5, 1800});
    for (int c = 0; c < 10; ++c)
        for (int s = DayStart; s < DayEnd; s += 10)
            day.blocks.append({QStringLiteral("K"), c, s, 10});
    return day;
}

// The naive way: the greedy repair (the search's own starting point) with the dialog's defaults.
struct GreedyResult {
    int overload = 0;
    int moved = 0;
};

GreedyResult greedyRepair(const BalanceDay& day)
{
    const QList<BalanceBlock> after = GreedyRepair::repair(day, BalanceOptions{});
    GreedyResult result;
    result.overload = DayBalancer::overloadMinutes(day, after);
    for (int b = 0; b < after.size(); ++b)
        result.moved += after[b] != day.blocks[b] ? 1 : 0;
    return result;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype index = std::min<qsizetype>(values.size() - 1, qsizetype(std::ceil(p * values.size())) - 1);
    return values[std::max<qsizetype>(0, index)];
}

void balanceDemoMonday(benchmark::State& state)
{
    const BalanceDay day = demoMonday();
    BalanceResult last;
    for (auto _ : state) {
        DayBalancer balancer(day);
        last = balancer.balance(BalanceOptions{});
        benchmark::DoNotOptimize(last);
    }
    state.counters["overload_before"] = last.overloadBefore;
    state.counters["overload_after"] = last.overloadAfter;
    state.counters["moved"] = double(last.moves.size());
    state.counters["proven"] = last.proven ? 1 : 0;
}

void greedyDemoMonday(benchmark::State& state)
{
    const BalanceDay day = demoMonday();
    GreedyResult last;
    for (auto _ : state) {
        last = greedyRepair(day);
        benchmark::DoNotOptimize(last);
    }
    state.counters["overload_after"] = last.overload;
    state.counters["moved"] = last.moved;
}

// What one way did with one generated day.
struct DayOutcome {
    double ms = 0;
    int overload = 0;
    int moved = 0;
    bool proven = false;
    bool worseThanGreedy = false;
};

// Runs `way` on all 100 generated days once per iteration and sets the counters, over the days of the last
// iteration; `solver`: also those only a search has (proof, comparison with greedy).
template <class Way> void overGeneratedDays(benchmark::State& state, bool solver, const Way& way)
{
    QList<double> times, timesProven;
    int balanced = 0, proven = 0, worseThanGreedy = 0, moved = 0;
    for (auto _ : state) {
        times.clear();
        timesProven.clear();
        balanced = proven = worseThanGreedy = moved = 0;
        for (quint32 seed = 1; seed <= 100; ++seed) {
            const DayOutcome o = way(generatedDay(seed));
            times.append(o.ms);
            if (o.proven)
                timesProven.append(o.ms);
            balanced += o.overload == 0 ? 1 : 0;
            proven += o.proven ? 1 : 0;
            moved += o.moved;
            worseThanGreedy += o.worseThanGreedy ? 1 : 0;
        }
    }
    state.counters["no_overload_share"] = balanced / 100.0;
    state.counters["median_ms"] = percentile(times, 0.5);
    state.counters["p95_ms"] = percentile(times, 0.95);
    state.counters["mean_moved"] = moved / 100.0;
    if (solver) {
        state.counters["proven_share"] = proven / 100.0;
        state.counters["median_ms_proven"] = percentile(timesProven, 0.5);
        state.counters["worse_than_greedy"] = worseThanGreedy;
    }
}

void balanceGeneratedDays(benchmark::State& state)
{
    overGeneratedDays(state, true, [&state](const BalanceDay& day) {
        DayBalancer balancer(day);
        const BalanceResult r = balancer.balance(BalanceOptions{});
        state.PauseTiming();
        const bool worse = r.overloadAfter > greedyRepair(day).overload;
        state.ResumeTiming();
        return DayOutcome{double(r.elapsedMs), r.overloadAfter, int(r.moves.size()), r.proven, worse};
    });
}

void greedyGeneratedDays(benchmark::State& state)
{
    overGeneratedDays(state, false, [](const BalanceDay& day) {
        QElapsedTimer clock;
        clock.start();
        const GreedyResult r = greedyRepair(day);
        return DayOutcome{double(clock.nsecsElapsed()) / 1e6, r.overload, r.moved, false, false};
    });
}

void balanceLargestDay(benchmark::State& state)
{
    const BalanceDay day = largestDay();
    BalanceResult last;
    for (auto _ : state) {
        DayBalancer balancer(day);
        last = balancer.balance(BalanceOptions{});
        benchmark::DoNotOptimize(last);
    }
    state.counters["overload_before"] = last.overloadBefore;
    state.counters["overload_after"] = last.overloadAfter;
    state.counters["proven"] = last.proven ? 1 : 0;
}

void greedyLargestDay(benchmark::State& state)
{
    const BalanceDay day = largestDay();
    GreedyResult last;
    for (auto _ : state) {
        last = greedyRepair(day);
        benchmark::DoNotOptimize(last);
    }
    state.counters["overload_after"] = last.overload;
}

// Filling the demo Monday with two of every treatment.
void fillDemoMonday(benchmark::State& state)
{
    const BalanceDay day = demoMonday();
    QList<WantedBlocks> wanted;
    for (const QString& code : day.treatments.keys())
        wanted.append({code, 2});
    BalanceResult last;
    for (auto _ : state) {
        DayBalancer balancer(day);
        last = balancer.fill(wanted, 2000);
        benchmark::DoNotOptimize(last);
    }
    state.counters["added"] = double(last.added.size());
    state.counters["proven"] = last.proven ? 1 : 0;
}

} // namespace

BENCHMARK(balanceDemoMonday)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(greedyDemoMonday)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(balanceGeneratedDays)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(greedyGeneratedDays)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(balanceLargestDay)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(greedyLargestDay)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(fillDemoMonday)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
