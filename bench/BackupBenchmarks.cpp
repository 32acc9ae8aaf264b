#include "BackupBenchmarks.h"

#include "BenchChecks.h"
#include "BenchEnvironment.h"
#include "BenchPractice.h"
#include "app/frmLunaris.h"
#include "editing/OpenDay.h"
#include "editing/RecoveryKeeper.h"
#include "store/BackupReader.h"
#include "store/Database.h"
#include "store/PracticeBackup.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <chrono>
#include <stdexcept>

namespace {
using Clock = std::chrono::steady_clock;

void setTime(benchmark::State& state, Clock::time_point start)
{
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
}

template <typename Body> void guarded(benchmark::State& state, Body body)
{
    try {
        body();
    } catch (const std::exception& e) {
        state.SkipWithError(describeFailure(e).toStdString().c_str());
    }
}

qint64 templateRows(const Database& db)
{
    QSqlQuery rows = db.run(QStringLiteral("SELECT COUNT(*) FROM Template"));
    return rows.next() ? rows.value(0).toLongLong() : -1;
}

// The copy of unsaved work of the largest day, written on the window's thread as a second after a step.
void recoveryWrite(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, [&] {
        BenchSession& s = env.session(env.manyDays(), BenchSession::TemplateIndex::Kept);
        QTemporaryDir home;
        const RecoveryFile file(home.path(), QStringLiteral("bench"));
        RecoveryKeeper keeper(s.window().openDay(), s.state(), file);
        s.window().openDay().touch();
        require(s.state().modified(), "the day is not modified");
        for (auto _ : state) {
            const auto start = Clock::now();
            keeper.flush();
            setTime(state, start);
        }
        const std::optional<RecoveryCopy> copy = file.read();
        require(copy && copy->blocks.size() == BenchPractice::BlocksPerDay, "the copy does not hold the whole day");
        s.window().openDay().markSaved();
    });
}

// The whole practice file copied, checked and rotated, as at the day's first close.
void backup(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, [&] {
        const Database db(env.practiceFile(env.manyDays()), QStringLiteral("bench-sicherung"));
        QTemporaryDir folder;
        const PracticeBackup backups(db, {folder.path(), false});
        QDateTime now = QDateTime::currentDateTime();
        QString path;
        for (auto _ : state) {
            now = now.addSecs(60);
            const auto start = Clock::now();
            path = backups.make(now);
            setTime(state, start);
        }
        const Database copy(path, QStringLiteral("bench-sicherung-kopie"));
        require(templateRows(copy) == templateRows(db), "the backup lacks rows");
    });
}

// One full day written back from a backup into a copy of the practice, its former state kept as a version.
void restoreDay(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, [&] {
        QTemporaryDir folder;
        const QString practice = folder.filePath(QStringLiteral("Kavemo.mdb"));
        require(QFile::copy(env.practiceFile(env.manyDays()), practice), "the practice could not be copied");
        const Database db(practice, QStringLiteral("bench-zurueckholen"));
        QDir().mkpath(folder.filePath(QStringLiteral("Sicherungen")));
        const QString path = PracticeBackup(db, {folder.filePath(QStringLiteral("Sicherungen")), false})
                                 .make(QDateTime::currentDateTime());
        const BackupReader reader(path);
        for (auto _ : state) {
            const auto start = Clock::now();
            const BackupReader::Restored restored = reader.restoreInto(db, {BenchPractice::DayName});
            setTime(state, start);
            if (!restored.failure.isEmpty()) {
                state.SkipWithError(restored.failure.toStdString().c_str());
                break;
            }
        }
        QSqlQuery rows =
            db.run(QStringLiteral("SELECT COUNT(*) FROM Template WHERE IDEALTAG = ?"), {BenchPractice::DayName});
        require(rows.next() && rows.value(0).toInt() == BenchPractice::BlocksPerDay, "the day is incomplete");
    });
}
} // namespace

void registerBackupBenchmarks(BenchEnvironment& env, const std::function<void(benchmark::internal::Benchmark*)>& timed)
{
    timed(
        benchmark::RegisterBenchmark("recovery_write/program", [&env](benchmark::State& s) { recoveryWrite(s, env); }));
    timed(benchmark::RegisterBenchmark("backup/program", [&env](benchmark::State& s) { backup(s, env); }));
    timed(benchmark::RegisterBenchmark("restore_day/program", [&env](benchmark::State& s) { restoreDay(s, env); }));
}
