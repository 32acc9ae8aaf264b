#include "ServerBenchmarks.h"

#include "BenchEnvironment.h"
#include "Benchmarks.h"

#include <QLocale>

namespace {
// Opening and saving name the number of other days, as on the file; the clicks do not.
bool namesDays(const std::string& action)
{
    return action == "open_day" || action == "Speichern";
}
} // namespace

std::string serverBenchmark(const char* action, const BenchEnvironment& env)
{
    std::string name = std::string("server/") + action;
    if (namesDays(action))
        name.append("/").append(std::to_string(env.manyDays())).append("_days");
    return name;
}

SummaryLine serverSummaryLine(const char* action, const std::string& what, double targetMs, const BenchEnvironment& env)
{
    std::string note = "PostgreSQL on 127.0.0.1";
    if (namesDays(action))
        note.append(", ")
            .append(QLocale(QLocale::English).toString(env.manyDays()).toStdString())
            .append(" other days");
    return {what, serverBenchmark(action, env), "", targetMs, 0, note};
}

void registerServerBenchmarks(BenchEnvironment& env)
{
    using benchmark::RegisterBenchmark;
    const bool quick = env.quick();
    const SessionSource session = [&env]() -> BenchSession& { return env.serverSession(env.manyDays()); };
    timed(RegisterBenchmark(serverBenchmark("open_day", env).c_str(),
                            [session](benchmark::State& s) { openDay(s, session, false); }),
          quick);
    timed(RegisterBenchmark(serverBenchmark("click_place", env).c_str(),
                            [session](benchmark::State& s) { clickBenchmark(s, session, false, Qt::LeftButton); }),
          quick);
    timed(RegisterBenchmark(serverBenchmark("click_remove", env).c_str(),
                            [session](benchmark::State& s) { clickBenchmark(s, session, false, Qt::RightButton); }),
          quick);
    timed(RegisterBenchmark(serverBenchmark("Speichern", env).c_str(),
                            [session](benchmark::State& s) { save(s, session); }),
          quick);
}
