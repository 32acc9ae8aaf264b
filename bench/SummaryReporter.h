#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// One line of the closing table: an action of the user, the program's way and the naive way.
struct SummaryLine {
    std::string action;
    std::string program;     // benchmark name of the program's way
    std::string naive;       // benchmark name of the naive way; empty when there is none
    double targetMs = 0;     // 0: no target
    double targetPeakMB = 0; // peak memory of the process (counter "peak_MiB"); 0: none
    std::string note;
    // Non-zero: the second benchmark is a baseline, the ratio is program / baseline, and a positive
    // value is its target (a negative one: a figure without target).
    double baselineRatio = 0;
    // Round trips to the server per action (counter "round_trips"); 0: none.
    double targetRoundTrips = 0;
};

// Prints Google Benchmark's usual table, then the medians of the lines given (program, naive,
// their ratio, the target) as a Markdown table, ready for bench/README.md.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(std::vector<SummaryLine> lines);

    void ReportRuns(const std::vector<Run>& reports) override;
    void Finalize() override;
    // True when a benchmark failed one of its checks (or could not run).
    bool anyFailed() const { return !m_errors.empty(); }
    // The quick run checks no targets.
    void setTargetsChecked(bool checked) { m_targetsChecked = checked; }

private:
    struct Median {
        double ms = 0;
        std::map<std::string, double> counters;
    };
    std::string cell(const std::string& name) const;

    std::vector<SummaryLine> m_lines;
    std::map<std::string, Median> m_medians;
    std::map<std::string, std::string> m_errors;
    bool m_targetsChecked = true;
};
