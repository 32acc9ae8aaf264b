#include "Benchmarks.h"

#include "FaultProxy.h"

#include "BackupBenchmarks.h"
#include "BenchChecks.h"
#include "BenchEnvironment.h"
#include "BenchPractice.h"
#include "EditingBenchmarks.h"
#include "NaiveDay.h"
#include "ServerBenchmarks.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "editing/AnalysisPanel.h"
#include "editing/BlockRules.h"
#include "editing/DoctorColumn.h"
#include "editing/OpenDay.h"
#include "store/Database.h"
#include "store/Tables.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include <unistd.h>

#ifdef LUNARIS_BENCH_COLD_START
#include "ColdStart.h"
#endif

namespace {
using Clock = std::chrono::steady_clock;
using Index = BenchSession::TemplateIndex;
constexpr int Repetitions = 9;
constexpr double MinSeconds = 0.3;
// The quick run (CI): every benchmark and its checks, with few iterations.
constexpr int QuickIterations = 3;
// The clicks go to a row that is visible without scrolling.
constexpr int ClickColumn = 3;
constexpr int ClickRow = 5;

std::string name(const char* action, int otherDays, bool naive)
{
    return std::string(action) + "/" + std::to_string(otherDays) + "_days/" + (naive ? "naive" : "program");
}

std::string name(const char* action, bool naive)
{
    return std::string(action) + "/" + (naive ? "naive" : "program");
}

void setTime(benchmark::State& state, Clock::time_point start)
{
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
}

// Runs a benchmark body, which returns the window it worked on (if any). A failure or an unexpected
// message box ends the benchmark with the reason instead of a figure for work that was not done.
void guarded(benchmark::State& state, const std::function<BenchSession*()>& body)
{
    BenchSession* session = nullptr;
    try {
        session = body();
    } catch (const std::exception& e) {
        state.SkipWithError(describeFailure(e).toStdString().c_str());
        return;
    }
    if (session && !session->messages().shown().isEmpty()) {
        const std::string shown = session->messages().shown().join(QStringLiteral(" / ")).toStdString();
        session->messages().clear();
        state.SkipWithError(("unexpected message: " + shown).c_str());
    }
}

// What a doctor column and the fee box show, to compare the naive rebuild with the program's.
QStringList doctorPicture(BenchSession& s, const DayViewModel& doctor)
{
    QStringList picture{s.feeText()};
    for (const DayBlock& b : doctor.blocks())
        picture.append(b.startTime + b.endTime + b.text + b.color.name());
    return picture;
}

// The columns the measured way shows: the window's own, or the naive way's laid over them.
DayView* shownColumn(BenchSession& s, const NaiveDay* naive, int column)
{
    return naive ? naive->view(column) : s.window().SSDay1(column);
}

void requireFullDay(BenchSession& s, const NaiveDay* naive)
{
    if (naive)
        requireFullDay(naive->chairs(), naive->doctor(), s.feeText());
    else
        requireFullDay(s);
}

// The window on the practice file; the naive way works on the copy without the index.
SessionSource fileWindow(BenchEnvironment& env, int otherDays, bool naive)
{
    return [&env, otherDays, naive]() -> BenchSession& {
        return env.session(otherDays, naive ? Index::Dropped : Index::Kept);
    };
}
} // namespace

namespace {
// Another day as full as the large one, every block with the next treatment: opening the large day
// after it changes every row of every chair column, the doctor column and the fee.
const QString OtherFullDay = QStringLiteral("Anderer großer Tag");

void storeOtherFullDay(BenchSession& s)
{
    const IdealDayStore store(s.database());
    QList<TemplateRow> rows = store.blocksOfDay(BenchPractice::DayName);
    for (TemplateRow& row : rows) {
        const int n = row.code.toString().mid(3).toInt() - 1;
        row.code = BenchPractice::treatmentCode((n + 1) % BenchPractice::Treatments);
    }
    store.replaceDay(OtherFullDay, rows);
}

void openStoredDay(BenchSession& s, const QString& day, NaiveDay* naive = nullptr)
{
    s.state().CurrentIdealtag = day;
    if (naive)
        naive->Termin_load();
    else
        s.window().Termin_load();
}

// Every column's frame covered its visible rows: the opening was painted, not skipped.
void requireColumnsRepainted(BenchSession& s, const NaiveDay* naive, const std::function<void()>& opening)
{
    std::vector<std::unique_ptr<PaintCounter>> columns;
    for (int c = 0; c <= s.state().ChairCount; ++c)
        columns.push_back(std::make_unique<PaintCounter>(shownColumn(s, naive, c)));
    opening();
    for (int c = 0; c <= s.state().ChairCount; ++c) {
        // From the middle of the first visible row to the middle of the last, the rows' whole width.
        const DayView* view = shownColumn(s, naive, c);
        int last = view->firstRow();
        while (last + 1 < view->rowCount() && view->pointOfRow(last + 1).y() >= 0)
            ++last;
        const QPoint first = view->pointOfRow(view->firstRow());
        const QRect rows(QPoint(0, first.y()), QPoint(2 * first.x() - 1, view->pointOfRow(last).y()));
        require(last > view->firstRow() + 10 && (QRegion(rows) - columns[c]->painted()).isEmpty(),
                "the frame after the opening did not repaint a column");
    }
}
} // namespace

// The large day opened while another full day is shown, as a user switches days, and the event loop's
// next frame: every visible row of every column changes and is painted.
namespace {
// The round trips of the measured actions, when they go through a relay.
class RoundTripCount {
public:
    explicit RoundTripCount(const RelaySource& relay) : m_relay(relay ? relay() : nullptr) {}
    void start()
    {
        if (m_relay)
            m_relay->resetCounts();
    }
    void stop()
    {
        if (!m_relay)
            return;
        m_total += m_relay->roundTrips();
        ++m_actions;
    }
    void report(benchmark::State& state) const
    {
        if (m_actions > 0)
            state.counters["round_trips"] = double(m_total) / m_actions;
    }

private:
    FaultProxy* m_relay;
    qint64 m_total = 0;
    qint64 m_actions = 0;
};
} // namespace

void openDay(benchmark::State& state, const SessionSource& session, bool naive, const RelaySource& relay)
{
    guarded(state, [&] {
        BenchSession& s = session();
        storeOtherFullDay(s);
        std::unique_ptr<NaiveDay> naiveDay = naive ? std::make_unique<NaiveDay>(s) : nullptr;
        const auto cleanUp = qScopeGuard([&] {
            IdealDayStore(s.database()).deleteDay(OtherFullDay);
            s.state().CurrentIdealtag = BenchPractice::DayName;
        });
        const auto open = [&](const QString& day) {
            openStoredDay(s, day, naiveDay.get());
            s.paintPending();
        };
        open(OtherFullDay);
        requireColumnsRepainted(s, naiveDay.get(), [&] { open(BenchPractice::DayName); });
        RoundTripCount trips(relay);
        for (auto _ : state) {
            open(OtherFullDay);
            trips.start();
            const auto start = Clock::now();
            open(BenchPractice::DayName);
            setTime(state, start);
            trips.stop();
        }
        trips.report(state);
        requireFullDay(s, naiveDay.get());
        return &s;
    });
}

namespace {
void drLoad(benchmark::State& state, BenchEnvironment& env, bool naive)
{
    guarded(state, [&] {
        BenchSession& s = env.session(env.manyDays(), Index::Kept);
        s.window().DR_Load();
        const QStringList programPicture = doctorPicture(s, s.window().SSDay1(s.state().ChairCount)->model());
        NaiveDay naiveDay(s);
        naiveDay.DR_Load();
        require(doctorPicture(s, naiveDay.doctor()) == programPicture,
                "the naive rebuild shows a different doctor column");
        for (auto _ : state) {
            const auto start = Clock::now();
            if (naive)
                naiveDay.DR_Load();
            else
                s.window().DR_Load();
            setTime(state, start);
        }
        requireFullDay(s, naive ? &naiveDay : nullptr);
        return &s;
    });
}

// The Auswertung panel's rebuild beside DR_Load: the analysis of the whole day from the treatments
// DR_Load has read, and the panel's widgets filled with it.
void analysisPanel(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, [&] {
        BenchSession& s = env.session(env.manyDays(), Index::Kept);
        s.window().DR_Load();
        const auto treatments = DoctorColumn::byCode(TreatmentTable(s.database()).all());
        auto* panel = s.window().findChild<AnalysisPanel*>();
        require(panel, "no analysis panel");
        for (auto _ : state) {
            const auto start = Clock::now();
            panel->showAnalysis(s.window().analysis(treatments));
            setTime(state, start);
        }
        // The panel writes the exact amount in German ("36.000,50 €"), the fee box it rounded once, halves to even.
        QString total = panel->findChild<QLabel*>(QStringLiteral("lblHonorarGesamt"))->text();
        total.remove(QRegularExpression(QStringLiteral("[^0-9.,-]")));
        const double euros = QLocale(QLocale::German, QLocale::Germany).toDouble(total);
        require(static_cast<qint64>(std::nearbyint(euros)) == s.feeText().toLongLong(),
                "the panel's total is not the fee box's");
        requireFullDay(s);
        return &s;
    });
}

// One click and the frame after it: the event loop paints what the click marked dirty.
void click(BenchSession& s, NaiveDay* naive, Qt::MouseButton button)
{
    DayView* view = s.window().SSDay1(ClickColumn);
    if (naive)
        naive->click(ClickColumn, button == Qt::LeftButton ? 1 : 2, ClickRow);
    else
        QTest::mouseClick(view, button, {}, view->pointOfRow(ClickRow));
    s.paintPending();
}

} // namespace

void clickBenchmark(benchmark::State& state, const SessionSource& session, bool naive, Qt::MouseButton measured,
                    const RelaySource& deadPath)
{
    guarded(state, [&] {
        BenchSession& s = session();
        std::unique_ptr<NaiveDay> naiveDay = naive ? std::make_unique<NaiveDay>(s) : nullptr;
        DayView* view = shownColumn(s, naiveDay.get(), ClickColumn);
        require(view->pointOfRow(ClickRow).y() >= 0, "the clicked row is not visible");
        // The placement puts back the treatment the removal takes away, so the day stays as it was.
        const int clicked = BlockRules::blockAt(view->model(), view->timeOfRow(ClickRow));
        require(clicked >= 0, "the clicked row holds no block");
        auto* treatments = s.window().findChild<QComboBox*>(QStringLiteral("DBComboBeh"));
        treatments->setCurrentIndex(treatments->findText(view->item(clicked).text));
        require(s.state().CurrentBeh == view->item(clicked).text, "the treatment list did not choose the treatment");
        const Qt::MouseButton other = measured == Qt::LeftButton ? Qt::RightButton : Qt::LeftButton;
        // The day is full: a placement needs the place cleared first, a removal needs it filled again after.
        const Qt::MouseButton first = measured == Qt::LeftButton ? other : measured;
        const Qt::MouseButton second = measured == Qt::LeftButton ? measured : other;
        {
            const PaintCounter chairPaints(view);
            const PaintCounter doctorPaints(shownColumn(s, naiveDay.get(), s.state().ChairCount));
            click(s, naiveDay.get(), first);
            click(s, naiveDay.get(), second);
            require(chairPaints.count() == 2 && doctorPaints.count() == 2,
                    "a click's frame did not repaint the columns");
        }
        FaultProxy* relay = deadPath ? deadPath() : nullptr;
        RoundTripCount trips(deadPath);
        if (relay)
            relay->setBlackHole(true);
        const auto lift = qScopeGuard([relay] {
            if (relay)
                relay->setBlackHole(false);
        });
        std::chrono::duration<double, std::milli> longest{0};
        for (auto _ : state) {
            trips.start();
            const auto start = Clock::now();
            click(s, naiveDay.get(), first);
            if (first == measured) {
                longest = std::max<std::chrono::duration<double, std::milli>>(longest, Clock::now() - start);
                setTime(state, start);
            }
            const auto secondStart = Clock::now();
            click(s, naiveDay.get(), second);
            if (second == measured) {
                longest = std::max<std::chrono::duration<double, std::milli>>(longest, Clock::now() - secondStart);
                setTime(state, secondStart);
            }
            trips.stop();
        }
        if (relay) {
            state.counters["longest_ms"] = longest.count();
            trips.report(state);
            relay->setBlackHole(false); // the path is back for the save below
        }
        requireFullDay(s, naiveDay.get());
        if (naiveDay) {
            // The naive way changed only its own columns: the open day is as opened.
            require(naiveDay->changed() && !s.state().modified(), "the naive clicks did not change their columns");
            return &s;
        }
        require(s.state().modified(), "the clicks did not mark the day modified");
        // Each placement put back what the removal took: saving writes the day as stored and leaves it
        // unmodified for the next benchmark on this session.
        require(s.window().Speichern() && !s.state().modified(), "the clicked day could not be saved");
        return &s;
    });
}

void save(benchmark::State& state, const SessionSource& session, const RelaySource& relay)
{
    guarded(state, [&] {
        BenchSession& s = session();
        RoundTripCount trips(relay);
        for (auto _ : state) {
            s.window().openDay().touch(); // a right click on a free place: a day to save
            trips.start();
            const auto start = Clock::now();
            s.window().Speichern();
            setTime(state, start);
            trips.stop();
        }
        trips.report(state);
        require(!s.state().modified(), "Speichern did not save");
        QSqlQuery rows = s.database().run(QStringLiteral("SELECT COUNT(*) FROM Template WHERE IDEALTAG = ?"),
                                          {BenchPractice::DayName});
        require(rows.next() && rows.value(0).toInt() == BenchPractice::BlocksPerDay, "the stored day is incomplete");
        return &s;
    });
}

void changeSeenElsewhere(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, [&] {
        BenchSession& here = env.serverSession(env.manyDays());
        BenchSession& there = env.remoteServerSession(env.manyDays());
        for (BenchSession* s : {&here, &there}) {
            require(!s->state().modified(), "a session was left with unsaved edits");
            openStoredDay(*s, BenchPractice::DayName);
        }
        for (auto _ : state) {
            there.window().openDay().touch(); // a right click on a free place: a day to save
            require(there.window().Speichern(), "the save at the other workstation failed");
            const auto start = Clock::now();
            const QDeadlineTimer deadline(5000);
            // The notice comes through the event loop, as in the running program.
            while (!sameStoredRows(here.window().rowsOnScreen().stored, there.window().rowsOnScreen().stored)) {
                require(!deadline.hasExpired(), "the save was not seen at the other workstation within 5 s");
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            }
            here.paintPending();
            setTime(state, start);
        }
        require(there.messages().shown().isEmpty(), "the saving workstation showed a message");
        require(!here.state().modified(), "the refreshed day is marked modified");
        requireFullDay(here);
        return &here;
    });
}

namespace {
// A click while the Auswertung panel is shown: the panel follows every change of the day.
void clickWithAnalysis(benchmark::State& state, const SessionSource& session)
{
    QAction* analysis = nullptr;
    const SessionSource shown = [&]() -> BenchSession& {
        BenchSession& s = session();
        analysis = s.window().findChild<QAction*>(QStringLiteral("mnuViewAnalysis"));
        require(analysis, "no Auswertung command");
        if (!analysis->isChecked())
            analysis->trigger();
        auto* panel = s.window().findChild<AnalysisPanel*>();
        require(analysis->isChecked() && panel && panel->isVisible(), "the Auswertung panel is not shown");
        return s;
    };
    clickBenchmark(state, shown, false, Qt::LeftButton);
    if (analysis && analysis->isChecked())
        analysis->trigger();
}

void print(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, [&] {
        BenchSession& s = env.session(env.manyDays(), Index::Kept);
        QAction* print = s.window().findChild<QAction*>(QStringLiteral("mnuFilePrint"));
        require(print && print->isEnabled(), "the print command is not available");
        for (auto _ : state) {
            QFile::remove(env.pdfFile());
            const auto start = Clock::now();
            print->trigger();
            setTime(state, start);
        }
        require(QFileInfo(env.pdfFile()).size() > 10000, "no print-out was written");
        return &s;
    });
}

} // namespace

void openDialog(benchmark::State& state, const SessionSource& session, int otherDays, const RelaySource& relay)
{
    guarded(state, [&] {
        BenchSession& s = session();
        QAction* open = s.window().findChild<QAction*>(QStringLiteral("mnuFileOpen"));
        int listed = 0;
        // The dialog is shown and drawn with its list, then cancelled: the day stays as it is.
        s.dialogs().setHandler([&listed](QDialog& dialog) {
            BenchSession::showExposed(dialog);
            listed = dialog.findChild<QListWidget*>(QStringLiteral("DBListIdealtag"))->count();
            dialog.findChild<QPushButton*>(QStringLiteral("cmdAbbrechen"))->click();
            return dialog.result();
        });
        require(!s.state().modified(), "the session was left with unsaved edits");
        RoundTripCount trips(relay);
        for (auto _ : state) {
            trips.start();
            const auto start = Clock::now();
            open->trigger();
            setTime(state, start);
            trips.stop();
        }
        trips.report(state);
        s.dialogs().setHandler({});
        require(listed == otherDays + 1, "the dialog did not list every stored day");
        return &s;
    });
}

namespace {
#ifdef LUNARIS_BENCH_COLD_START
// A program folder as installed: the program and the practice database beside it.
QString programFolder(BenchEnvironment& env, const QString& name, const QString& database)
{
    const QDir folder(env.folder(name));
    folder.mkpath(QStringLiteral("."));
    const QString program = folder.filePath(QStringLiteral("lunaris"));
    if (!QFileInfo::exists(program))
        require(QFile::copy(QStringLiteral(LUNARIS_EXE), program), "cannot copy the program");
    QFile::remove(folder.filePath(QStringLiteral("Kavemo.mdb")));
    require(QFile::copy(database, folder.filePath(QStringLiteral("Kavemo.mdb"))), "cannot copy the database");
    return program;
}

ColdStart coldStarter(BenchEnvironment& env, const QString& program)
{
    const QString runtime = env.folder(QStringLiteral("xdg-runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(env.folder(QStringLiteral("xdg-config")));
    return ColdStart(program, QStringLiteral(LUNARIS_BENCH_LAUNCH), env.folder(QStringLiteral("xdg-config")), runtime);
}

enum class StartFile { Practice, WithoutIndex, Demo, Planner };

// Root may empty the system's page cache; then a start reads everything from the disk again.
bool canDropPageCache()
{
    return ::geteuid() == 0 && QFile(QStringLiteral("/proc/sys/vm/drop_caches")).open(QIODevice::WriteOnly);
}

void dropPageCache()
{
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    require(control.open(QIODevice::WriteOnly) && control.write("3\n") == 2, "cannot drop the page cache");
}

void coldStart(benchmark::State& state, BenchEnvironment& env, StartFile file, bool dropCache)
{
    guarded(state, [&]() -> BenchSession* {
        QString source;
        QString folder;
        switch (file) {
        case StartFile::Practice:
            source = env.practiceFile(env.manyDays());
            folder = QStringLiteral("programm");
            break;
        case StartFile::WithoutIndex:
            source = env.folder(QStringLiteral("praxis-alt.mdb"));
            if (!QFileInfo::exists(source))
                BenchPractice::copyWithoutIndex(env.practiceFile(env.manyDays()), source);
            folder = QStringLiteral("programm-alt");
            break;
        case StartFile::Demo:
            source = env.demoFile();
            folder = QStringLiteral("programm-demo");
            break;
        case StartFile::Planner:
            source = env.plannerFile();
            folder = QStringLiteral("programm-planer");
            break;
        }
        const QString program = programFolder(env, folder, source);
        const ColdStart starter = coldStarter(env, program);
        for (auto _ : state) {
            if (file == StartFile::WithoutIndex)
                programFolder(env, folder, source); // every start meets the old file afresh
            if (dropCache)
                dropPageCache();
            QString error;
            const auto result = starter.run(error);
            if (!result) {
                state.SkipWithError(error.toStdString().c_str());
                break;
            }
            state.SetIterationTime(result->secondsToShown);
            state.counters["peak_MiB"] = result->peakMebibytes;
        }
        return nullptr;
    });
}
#endif

} // namespace

benchmark::internal::Benchmark* timed(benchmark::internal::Benchmark* b, bool quick)
{
    b->UseManualTime()->Unit(benchmark::kMillisecond);
    if (quick)
        return b->Iterations(QuickIterations);
    return b->Repetitions(Repetitions)->MinTime(MinSeconds)->DisplayAggregatesOnly(true);
}

#ifdef LUNARIS_BENCH_COLD_START
namespace {
// Real starts take long; the median of `repetitions` starts.
void starts(benchmark::internal::Benchmark* b, bool quick, int repetitions)
{
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    if (!quick)
        b->Repetitions(repetitions)->DisplayAggregatesOnly(true);
}
} // namespace
#endif

void registerBenchmarks(BenchEnvironment& env)
{
    using benchmark::RegisterBenchmark;
    const bool quick = env.quick();
    const int many = env.manyDays();
    const int huge = env.hugeDays();
    // Without the index the 10,000-day table would take seconds per opening; the naive way is
    // measured with 1,000 and 10 other days.
    for (const bool naive : {false, true})
        for (const int days : {many, int(BenchEnvironment::FewDays), huge})
            if (!naive || days != huge)
                timed(RegisterBenchmark(name("open_day", days, naive).c_str(),
                                        [&env, days, naive](benchmark::State& s) {
                                            openDay(s, fileWindow(env, days, naive), naive);
                                        }),
                      quick);
    for (const bool naive : {false, true})
        timed(RegisterBenchmark(name("DR_Load", naive).c_str(),
                                [&env, naive](benchmark::State& s) { drLoad(s, env, naive); }),
              quick);
    timed(RegisterBenchmark("analysis_panel/program", [&env](benchmark::State& s) { analysisPanel(s, env); }), quick);
    const SessionSource clicked = fileWindow(env, env.manyDays(), false);
    for (const bool naive : {false, true}) {
        timed(RegisterBenchmark(
                  name("click_place", naive).c_str(),
                  [clicked, naive](benchmark::State& s) { clickBenchmark(s, clicked, naive, Qt::LeftButton); }),
              quick);
        timed(RegisterBenchmark(
                  name("click_remove", naive).c_str(),
                  [clicked, naive](benchmark::State& s) { clickBenchmark(s, clicked, naive, Qt::RightButton); }),
              quick);
    }
    timed(RegisterBenchmark("click_place_with_analysis/program",
                            [clicked](benchmark::State& s) { clickWithAnalysis(s, clicked); }),
          quick);
    registerEditingBenchmarks(env, [quick](benchmark::internal::Benchmark* b) { timed(b, quick); });
    registerBackupBenchmarks(env, [quick](benchmark::internal::Benchmark* b) { timed(b, quick); });
    for (const bool naive : {false, true})
        for (const int days : {many, int(BenchEnvironment::FewDays), huge})
            if (!naive || days != huge)
                timed(RegisterBenchmark(
                          name("Speichern", days, naive).c_str(),
                          [&env, days, naive](benchmark::State& s) { save(s, fileWindow(env, days, naive)); }),
                      quick);
    timed(RegisterBenchmark("print_pdf/program", [&env](benchmark::State& s) { print(s, env); }), quick);
    for (const int days : {many, huge})
        timed(RegisterBenchmark(name("open_dialog", days, false).c_str(),
                                [&env, days](benchmark::State& s) {
                                    openDialog(
                                        s, [&env, days]() -> BenchSession& { return env.session(days, Index::Kept); },
                                        days);
                                }),
              quick);
#ifdef LUNARIS_BENCH_COLD_START
    const std::pair<const char*, StartFile> startFiles[] = {{"demo", StartFile::Demo},
                                                            {"program", StartFile::Practice},
                                                            {"planner", StartFile::Planner},
                                                            {"first_start_without_index", StartFile::WithoutIndex}};
    for (const auto& [label, file] : startFiles)
        starts(RegisterBenchmark((std::string("cold_start/") + label).c_str(),
                                 [&env, file = file](benchmark::State& s) { coldStart(s, env, file, false); }),
               quick, file == StartFile::WithoutIndex ? 3 : 15);
    // Only where root may empty the page cache, and not in the quick run: it slows everything else on the machine.
    if (!quick && canDropPageCache())
        for (const auto& [label, file] : startFiles)
            if (file == StartFile::Demo || file == StartFile::Planner)
                starts(RegisterBenchmark((std::string("cold_start_dropped_cache/") + label).c_str(),
                                         [&env, file = file](benchmark::State& s) { coldStart(s, env, file, true); }),
                       quick, 5);
#endif
    registerServerBenchmarks(env);
}

std::vector<SummaryLine> summaryLines(const BenchEnvironment& env)
{
    const auto days = [](const char* action, int n, bool naive) { return name(action, n, naive); };
    const int many = env.manyDays();
    const int huge = env.hugeDays();
    const std::string manyNote = QLocale(QLocale::English).toString(many).toStdString() + " other days";
    const std::string hugeNote = QLocale(QLocale::English).toString(huge).toStdString() + " other days";
    const std::string plannerNote = manyNote + " and " +
                                    QLocale(QLocale::English).toString(env.plannerRows()).toStdString() +
                                    " planner appointments; ratio to the demo practice";
    return {
        // Opening the day within a quarter of a display frame (60 Hz), a click within 1 ms.
        {"1. Opening the day after another full day: Termin_load with DR_Load, and its frame",
         days("open_day", many, false), days("open_day", many, true), 4, 0, manyNote},
        {"1. Opening the day", days("open_day", 10, false), days("open_day", 10, true), 4, 0, "10 other days"},
        {"1. Opening the day", days("open_day", huge, false), "", 4, 0, hugeNote},
        serverSummaryLine("open_day", "1. Opening the day", 16, env),
        {"2. DR_Load alone", name("DR_Load", false), name("DR_Load", true), 2, 0, ""},
        {"2. Auswertung panel rebuilt (analysis and widgets)", "analysis_panel/program", "", 1, 0, ""},
        {"3. Placement click with rebuild and repaint", name("click_place", false), name("click_place", true), 1, 0,
         ""},
        {"3. Removal click with rebuild and repaint", name("click_remove", false), name("click_remove", true), 1, 0,
         ""},
        {"3. Placement click with the Auswertung panel shown", "click_place_with_analysis/program", "", 1, 0, ""},
        serverSummaryLine("click_place", "3. Placement click with rebuild and repaint", 4, env),
        serverSummaryLine("click_remove", "3. Removal click with rebuild and repaint", 4, env),
        {"3. Drag moving a block to another chair, with rebuild and repaint", "drag_move/program", "", 4, 0, ""},
        {"3. Undo (Ctrl+Z) of a removal, with rebuild and repaint", "undo/program", "", 4, 0, ""},
        // Below the 30 ms of the first target: the save's own overhead (versions, comparison) must stay small.
        {"4. Speichern of the whole day", days("Speichern", many, false), days("Speichern", many, true), 5, 0,
         manyNote},
        {"4. Speichern of the whole day", days("Speichern", 10, false), days("Speichern", 10, true), 30, 0,
         "10 other days"},
        {"4. Speichern of the whole day", days("Speichern", huge, false), "", 30, 0, hugeNote},
        serverSummaryLine("Speichern", "4. Speichern of the whole day", 30, env),
        remoteSummaryLine("open_day", "1. Opening the day", 1, env),
        remoteSummaryLine("Speichern", "4. Speichern of the whole day", 1, env),
        remoteSummaryLine("open_dialog", "6. Open dialog listing every stored day", 1, env),
        // The window's longest stall may be one event-loop frame budget of 100 ms; counter longest_ms has the worst.
        {"3. Placement click while the path has just died, unnoticed (PostgreSQL through the relay)",
         remoteBenchmark("click_place_path_dead", env), "", 100, 0, "nothing forwarded; round_trips 0 expected"},
        {"8. A save at one workstation until another shows it (PostgreSQL)", "server/change_seen_elsewhere", "", 0, 0,
         "from the end of the save"},
        {"5. Print-out laid out and rendered to PDF", "print_pdf/program", "", 100, 0, ""},
        {"6. Open dialog listing every stored day", days("open_dialog", many, false), "", 20, 0, manyNote},
        {"6. Open dialog listing every stored day", days("open_dialog", huge, false), "", 20, 0, hugeNote},
        {"7. Cold start to the main window shown", "cold_start/demo", "", 300, 100, "demo practice"},
        {"7. Cold start to the main window shown", "cold_start/program", "", 300, 100, manyNote},
        // The planner's file against the demo: the start must not grow with the appointments.
        {"7. Cold start to the main window shown", "cold_start/planner", "cold_start/demo", 300, 100, plannerNote, 1.2},
        {"7. First start on a file without the index (builds it once)", "cold_start/first_start_without_index", "", 0,
         0, ""},
        {"7. Cold start with an empty page cache", "cold_start_dropped_cache/demo", "", 0, 0, "demo practice"},
        // A figure, not a target.
        {"7. Cold start with an empty page cache", "cold_start_dropped_cache/planner", "cold_start_dropped_cache/demo",
         0, 0, plannerNote, -1},
        // The copy is written on the window's thread a second after a step: it must not be felt.
        {"8. Recovery copy of the largest day written", "recovery_write/program", "", 5, 0, ""},
        {"8. Backup of the practice, checked and rotated", "backup/program", "", 0, 0, manyNote},
        {"8. One full day restored from a backup", "restore_day/program", "", 0, 0, manyNote},
    };
}
