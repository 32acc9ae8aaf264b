// The balancing dialog's window while its search runs: how long the window's event loop goes without a turn, and
// how long "Bestes übernehmen" takes to stop the search.
#include "BalanceDays.h"
#include "commands/frmAusgleichen.h"
#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "store/Tables.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

constexpr int TickMs = 5;

// A balancing day as the open day's chair columns and treatments: what the dialog is given.
struct WindowDay {
    std::vector<DayViewModel> chairs;
    QHash<QString, Treatment> treatments;

    explicit WindowDay(const BalanceDay& day) : chairs(std::max(1, day.chairCount))
    {
        for (std::size_t c = 0; c < chairs.size(); ++c) {
            DayViewModel& m = chairs[c];
            m.setSlotSize(day.slotMinutes / 5 - 1);
            m.setDayEnd(ClockTime::fromMinutes(day.dayEnd));
            m.setDayStart(ClockTime::fromMinutes(day.dayStart));
            m.setCaption(QStringLiteral("Stuhl %1").arg(c + 1));
        }
        for (const BalanceBlock& b : day.blocks)
            chairs[b.chair].add(ClockTime::fromMinutes(b.start), ClockTime::fromMinutes(b.start + b.minutes), b.code,
                                QColor(0, 255, 0));
        for (const BalanceTreatment& t : day.treatments)
            treatments.insert(t.code, Treatment{t.code, QString(), t.minutes, t.drStart, t.drMinutes, t.drStart2,
                                                t.drMinutes2, double(t.feeCents) / 100});
    }

    BalanceSnapshot snapshot() const
    {
        QList<const DayViewModel*> list;
        for (const DayViewModel& m : chairs)
            list.append(&m);
        return BalanceSnapshot(list, DoctorColumn::lookupIn(treatments));
    }
};

BalanceDay dayFor(const benchmark::State& state)
{
    return state.range(0) == 0   ? BalanceDays::demoMonday()
           : state.range(0) == 1 ? BalanceDays::generatedDay(7)
                                 : BalanceDays::largestDay();
}

// A whole search (to its proof or its time limit) with a timer ticking every few milliseconds in the window's
// thread; the longest gap between two ticks is how long the window could not answer the user.
void balancingDialogEventLoop(benchmark::State& state)
{
    const WindowDay day(dayFor(state));
    double longestMs = 0, searchMs = 0;
    for (auto _ : state) {
        frmAusgleichen dialog(frmAusgleichen::Mode::Balance, day.snapshot(), {});
        dialog.show();
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer tick;
        tick.setInterval(TickMs);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        QEventLoop loop;
        QObject::connect(&dialog, &frmAusgleichen::searchEnded, &loop, &QEventLoop::quit);
        tick.start();
        clock.start();
        dialog.cmdBerechnen_Click();
        loop.exec();
        longest = std::max(longest, clock.nsecsElapsed() - last);
        longestMs = std::max(longestMs, double(longest) / 1e6);
        searchMs = double(clock.nsecsElapsed()) / 1e6;
    }
    state.counters["longest_gap_ms"] = longestMs;
    state.counters["tick_ms"] = TickMs;
    state.counters["search_ms"] = searchMs;
}

// "Bestes übernehmen" a moment after "Berechnen": the click waits for the search to stop.
void balancingDialogStop(benchmark::State& state)
{
    const WindowDay day(dayFor(state));
    double longestMs = 0;
    for (auto _ : state) {
        frmAusgleichen dialog(frmAusgleichen::Mode::Balance, day.snapshot(), {});
        dialog.show();
        dialog.cmdBerechnen_Click();
        QEventLoop loop;
        QTimer::singleShot(int(state.range(1)), &loop, &QEventLoop::quit);
        loop.exec();
        QElapsedTimer clock;
        clock.start();
        dialog.cmdBestes_Click();
        longestMs = std::max(longestMs, double(clock.nsecsElapsed()) / 1e6);
    }
    state.counters["click_ms"] = longestMs;
}

} // namespace

// 0: the demo Monday, 1: a generated day, 2: the largest day.
BENCHMARK(balancingDialogEventLoop)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
// The day, and the milliseconds between Berechnen and Bestes übernehmen.
BENCHMARK(balancingDialogStop)
    ->Args({1, 0})
    ->Args({1, 100})
    ->Args({2, 0})
    ->Args({2, 100})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
