#pragma once

#include "SummaryReporter.h"

#include <string>

class BenchEnvironment;

// Opening, clicking and saving the largest day (among manyDays() other days) on a PostgreSQL server
// over TCP on 127.0.0.1, with the same checks as on the file. A server that cannot be started fails
// these benchmarks, and so the run, also the quick one. Also: opening and saving through a slow relay
// (a branch office), and a save seen at another workstation.
void registerServerBenchmarks(BenchEnvironment& environment);
// The name of the server's variant of an action ("open_day", "click_place", ...).
std::string serverBenchmark(const char* action, const BenchEnvironment& environment);
// A line of the closing table for the server's variant, beside the file's line of the same action.
SummaryLine serverSummaryLine(const char* action, const std::string& what, double targetMs,
                              const BenchEnvironment& environment);
// The name of an action's variant at a branch office (through the relay, with its added delay).
std::string remoteBenchmark(const char* action, const BenchEnvironment& environment);
// The same for a workstation whose round trips each cost a relay's added delay; its target is the
// number of round trips per action.
SummaryLine remoteSummaryLine(const char* action, const std::string& what, double targetRoundTrips,
                              const BenchEnvironment& environment);
