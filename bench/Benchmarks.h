#pragma once

#include "SummaryReporter.h"

#include <Qt>

#include <functional>
#include <vector>

class BenchEnvironment;
class BenchSession;
class FaultProxy;

// Registers every benchmark with Google Benchmark; they share the environment's files and windows.
void registerBenchmarks(BenchEnvironment& environment);
// The lines of the closing table, in the order of the list.
std::vector<SummaryLine> summaryLines(const BenchEnvironment& environment);

// The window a benchmark works on, made (outside the measured loop) when the benchmark starts.
using SessionSource = std::function<BenchSession&()>;
// The measured actions with their checks (no message box, no lost block, the right fee, a complete
// save), on a window of either backend. `naive`: the naive way on the same window. With a relay, the round trips of
// each measured action are reported too (counter "round_trips").
// The relay of a session, asked for once the session exists.
using RelaySource = std::function<FaultProxy*()>;
void openDay(benchmark::State& state, const SessionSource& session, bool naive, const RelaySource& relay = {});
// With `deadPath`, the measured clicks run while the relay swallows everything, as a path that has just died
// and nothing has noticed yet: the counters tell the longest click (the window's longest stall) and the round
// trips it tried.
void clickBenchmark(benchmark::State& state, const SessionSource& session, bool naive, Qt::MouseButton measured,
                    const RelaySource& deadPath = {});
void save(benchmark::State& state, const SessionSource& session, const RelaySource& relay = {});
// The Open dialog shown with every stored day (otherDays and the large day), then cancelled.
void openDialog(benchmark::State& state, const SessionSource& session, int otherDays, const RelaySource& relay = {});
// A save at one workstation (through the relay) until another shows the saved day, on the server.
void changeSeenElsewhere(benchmark::State& state, BenchEnvironment& env);
// Median of repetitions of a measured time, or a few iterations in the quick run.
benchmark::internal::Benchmark* timed(benchmark::internal::Benchmark* b, bool quick);
