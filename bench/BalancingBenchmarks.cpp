// The day's balancing (the solver) beside a greedy repair, on the demo Monday, 100 generated four-chair days and
// the largest day; and the dialog's window while it searches. Not a test: bench/README.md says how to build and run
// it.
#include "BalanceDays.h"
#include "editing/DayBalancer.h"
#include "editing/GreedyRepair.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using namespace BalanceDays;

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
// `blocks`: only the first that many blocks of each day (0: all).
template <class Way> void overGeneratedDays(benchmark::State& state, bool solver, const Way& way, int blocks = 0)
{
    QList<double> times, timesProven;
    int balanced = 0, proven = 0, worseThanGreedy = 0, moved = 0, overload = 0;
    for (auto _ : state) {
        times.clear();
        timesProven.clear();
        balanced = proven = worseThanGreedy = moved = overload = 0;
        for (quint32 seed = 1; seed <= 100; ++seed) {
            BalanceDay day = generatedDay(seed);
            if (blocks > 0)
                day.blocks = day.blocks.mid(0, blocks);
            const DayOutcome o = way(day);
            times.append(o.ms);
            if (o.proven)
                timesProven.append(o.ms);
            balanced += o.overload == 0 ? 1 : 0;
            proven += o.proven ? 1 : 0;
            moved += o.moved;
            overload += o.overload;
            worseThanGreedy += o.worseThanGreedy ? 1 : 0;
        }
    }
    state.counters["no_overload_share"] = balanced / 100.0;
    state.counters["median_ms"] = percentile(times, 0.5);
    state.counters["p95_ms"] = percentile(times, 0.95);
    state.counters["mean_moved"] = moved / 100.0;
    state.counters["mean_overload"] = overload / 100.0;
    if (solver) {
        state.counters["proven_share"] = proven / 100.0;
        state.counters["median_ms_proven"] = percentile(timesProven, 0.5);
        state.counters["worse_than_greedy"] = worseThanGreedy;
    }
}

DayOutcome balanceOneDay(benchmark::State& state, const BalanceDay& day)
{
    DayBalancer balancer(day);
    const BalanceResult r = balancer.balance(BalanceOptions{});
    state.PauseTiming();
    const bool worse = r.overloadAfter > greedyRepair(day).overload;
    state.ResumeTiming();
    return DayOutcome{double(r.elapsedMs), r.overloadAfter, int(r.moves.size()), r.proven, worse};
}

void balanceGeneratedDays(benchmark::State& state)
{
    overGeneratedDays(state, true, [&state](const BalanceDay& day) { return balanceOneDay(state, day); });
}

// A practice's size: the first 20 or 30 blocks of each generated day.
void balancePracticeSizedDays(benchmark::State& state)
{
    overGeneratedDays(
        state, true, [&state](const BalanceDay& day) { return balanceOneDay(state, day); }, int(state.range(0)));
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
BENCHMARK(balancePracticeSizedDays)->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(balanceLargestDay)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(greedyLargestDay)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(fillDemoMonday)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    // The dialog's benchmark needs an application; its window stays off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The off-screen platform says so for every window it shows; it is not about the program.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.contains(QLatin1String("does not support propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
