#pragma once

#include "SummaryReporter.h"

#include <vector>

class BenchEnvironment;

// Registers every benchmark with Google Benchmark; they share the environment's files and windows.
void registerBenchmarks(BenchEnvironment& environment);
// The lines of the closing table, in the order of the list.
std::vector<SummaryLine> summaryLines(const BenchEnvironment& environment);
