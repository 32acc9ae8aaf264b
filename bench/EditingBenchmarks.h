#pragma once

#include <benchmark/benchmark.h>

#include <functional>

class BenchEnvironment;

// A drag that moves a block to another chair, and the undo of a removal, on the largest day through the
// real main window. `timed` sets the repetitions and units every timed benchmark uses.
void registerEditingBenchmarks(BenchEnvironment& environment,
                               const std::function<void(benchmark::internal::Benchmark*)>& timed);
