#include "ServerBenchmarks.h"

#include "BenchEnvironment.h"
#include "BenchServer.h"
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

std::string remoteBenchmark(const char* action, const BenchEnvironment& env)
{
    return std::string("server_remote/") + action + "/" + std::to_string(env.manyDays()) + "_days";
}

SummaryLine remoteSummaryLine(const char* action, const std::string& what, double targetRoundTrips,
                              const BenchEnvironment& env)
{
    SummaryLine line{what,
                     remoteBenchmark(action, env),
                     "",
                     0,
                     0,
                     "PostgreSQL, " + std::to_string(BenchEnvironment::RemoteDelayMs) + " ms added each way, " +
                         QLocale(QLocale::English).toString(env.manyDays()).toStdString() + " other days"};
    line.targetRoundTrips = targetRoundTrips;
    return line;
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
    // A workstation at a branch office: every round trip costs the added delay twice.
    const SessionSource remote = [&env]() -> BenchSession& { return env.remoteServerSession(env.manyDays()); };
    const RelaySource relay = [&env] { return &env.server().relay(); };
    timed(RegisterBenchmark(remoteBenchmark("open_day", env).c_str(),
                            [remote, relay](benchmark::State& s) { openDay(s, remote, false, relay); }),
          quick);
    // The path dies unnoticed while the user goes on editing: the window must not wait for it.
    timed(RegisterBenchmark(
              remoteBenchmark("click_place_path_dead", env).c_str(),
              [remote, relay](benchmark::State& s) { clickBenchmark(s, remote, false, Qt::LeftButton, relay); }),
          quick);
    timed(RegisterBenchmark(remoteBenchmark("Speichern", env).c_str(),
                            [remote, relay](benchmark::State& s) { save(s, remote, relay); }),
          quick);
    const int days = env.manyDays();
    timed(RegisterBenchmark(remoteBenchmark("open_dialog", env).c_str(),
                            [remote, relay, days](benchmark::State& s) { openDialog(s, remote, days, relay); }),
          quick);
    timed(
        RegisterBenchmark("server/change_seen_elsewhere", [&env](benchmark::State& s) { changeSeenElsewhere(s, env); }),
        quick);
}
