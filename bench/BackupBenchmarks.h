#pragma once

#include <benchmark/benchmark.h>

#include <functional>

class BenchEnvironment;

// Nothing lost: the recovery copy of the largest day written, the backup of the practice with the most
// days, and one day restored from it. `timed` sets the repetitions and units every timed benchmark uses.
void registerBackupBenchmarks(BenchEnvironment& environment,
                              const std::function<void(benchmark::internal::Benchmark*)>& timed);
