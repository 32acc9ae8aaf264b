#include "SummaryReporter.h"

#include <cstdio>
#include <ostream>

namespace {
double toMs(double value, benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond:
        return value / 1e6;
    case benchmark::kMicrosecond:
        return value / 1e3;
    case benchmark::kMillisecond:
        return value;
    case benchmark::kSecond:
        return value * 1e3;
    }
    return value;
}

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}
} // namespace

SummaryReporter::SummaryReporter(std::vector<SummaryLine> lines) : m_lines(std::move(lines)) {}

void SummaryReporter::ReportRuns(const std::vector<Run>& reports)
{
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        const std::string name = run.run_name.function_name;
        if (run.error_occurred) {
            m_errors[name] = run.error_message;
            continue;
        }
        // Medians over the repetitions; a benchmark run once reports its only run.
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
        if (!median && !single)
            continue;
        Median& m = m_medians[name];
        m.ms = toMs(run.GetAdjustedRealTime(), run.time_unit);
        for (const auto& [key, counter] : run.counters)
            m.counters[key] = counter.value;
    }
}

std::string SummaryReporter::cell(const std::string& name) const
{
    if (name.empty())
        return "—";
    if (const auto e = m_errors.find(name); e != m_errors.end())
        return "failed: " + e->second;
    const auto m = m_medians.find(name);
    if (m == m_medians.end())
        return "not run";
    std::string text = format("%.2f ms", m->second.ms);
    if (const auto peak = m->second.counters.find("peak_MiB"); peak != m->second.counters.end())
        text += format(", peak %.1f MiB", peak->second);
    if (const auto trips = m->second.counters.find("round_trips"); trips != m->second.counters.end())
        text += format(", %.1f round trips", trips->second);
    return text;
}

void SummaryReporter::Finalize()
{
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    out << "\nMedians (ms; ratio = naive / program)\n\n"
        << "| Action | Program | Naive way | Ratio | Target | Met |\n"
        << "|---|---|---|---|---|---|\n";
    for (const SummaryLine& line : m_lines) {
        const auto program = m_medians.find(line.program);
        const auto naive = line.naive.empty() ? m_medians.end() : m_medians.find(line.naive);
        std::string ratio = "—";
        double baselineRatio = 0;
        if (program != m_medians.end() && naive != m_medians.end() && program->second.ms > 0) {
            if (line.baselineRatio != 0) {
                baselineRatio = program->second.ms / naive->second.ms;
                ratio = format("%.2f× of it", baselineRatio);
            } else {
                ratio = format("%.1f×", naive->second.ms / program->second.ms);
            }
        }
        std::string target = line.targetMs > 0 ? format("≤ %.0f ms", line.targetMs) : "—";
        if (line.baselineRatio > 0)
            target += format(", ratio ≤ %.1f", line.baselineRatio);
        std::string met = "—";
        if (line.targetRoundTrips > 0) {
            target = format("≤ %.0f round trips", line.targetRoundTrips);
            if (m_targetsChecked && program != m_medians.end()) {
                const auto trips = program->second.counters.find("round_trips");
                met = trips != program->second.counters.end() && trips->second <= line.targetRoundTrips ? "yes"
                                                                                                        : "**no**";
            }
        }
        if (m_targetsChecked && line.targetMs > 0 && program != m_medians.end()) {
            bool ok = program->second.ms <= line.targetMs;
            if (line.baselineRatio > 0)
                ok = ok && baselineRatio > 0 && baselineRatio <= line.baselineRatio;
            if (line.targetPeakMB > 0) {
                target += format(", ≤ %.0f MB peak", line.targetPeakMB);
                const auto peak = program->second.counters.find("peak_MiB");
                ok = ok && peak != program->second.counters.end() && peak->second * 1.048576 <= line.targetPeakMB;
            }
            met = ok ? "yes" : "**no**";
        }
        out << "| " << line.action << (line.note.empty() ? "" : " (" + line.note + ")") << " | " << cell(line.program)
            << " | " << cell(line.naive) << " | " << ratio << " | " << target << " | " << met << " |\n";
    }
    out << std::flush;
}
