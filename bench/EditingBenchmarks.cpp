#include "EditingBenchmarks.h"

#include "BenchChecks.h"
#include "BenchEnvironment.h"
#include "BenchPractice.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "editing/BlockRules.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTest>

#include <chrono>
#include <stdexcept>

namespace {
using Clock = std::chrono::steady_clock;
// The dragged block and the place it goes to are visible without scrolling, as for the clicks.
constexpr int FromChair = 3;
constexpr int ToChair = 4;
constexpr int Row = 5;
// A chair neither action changes: its column is not drawn again.
constexpr int OtherChair = 0;

// Fails the benchmark on an exception or on any message box (a refused drop, a failed step).
template <typename Body> void guarded(benchmark::State& state, BenchEnvironment& env, Body body)
{
    BenchSession* session = nullptr;
    try {
        session = &env.session(env.manyDays(), BenchSession::TemplateIndex::Kept);
        body(*session);
    } catch (const std::exception& e) {
        state.SkipWithError(describeFailure(e).toStdString().c_str());
    }
    if (session && !session->messages().shown().isEmpty()) {
        const std::string shown = session->messages().shown().join(QStringLiteral(" / ")).toStdString();
        session->messages().clear();
        state.SkipWithError(("unexpected message: " + shown).c_str());
    }
}

QString blockAtRow(BenchSession& s, int chair)
{
    const DayView* view = s.window().SSDay1(chair);
    const int block = BlockRules::blockAt(view->model(), view->timeOfRow(Row));
    return block < 0 ? QString() : view->item(block).text;
}

QAction* undoAction(BenchSession& s)
{
    auto* undo = s.window().findChild<QAction*>(QStringLiteral("mnuEditUndo"));
    require(undo && undo->isEnabled(), "nothing to undo");
    return undo;
}

// Keys reach the window's shortcuts only while it is the active window.
void activate(BenchSession& s)
{
    s.window().activateWindow();
    require(QTest::qWaitForWindowActive(&s.window()), "the main window is not active");
}

// The whole gesture: press on the block, move beyond the drag distance onto the other chair (the outline
// is computed and drawn in the next frame), release, and the frame with the block in its new place.
void drag(BenchSession& s)
{
    DayView* source = s.window().SSDay1(FromChair);
    DayView* target = s.window().SSDay1(ToChair);
    // Pressed in the middle of the block, dropped with the middle over the same row of the other chair.
    const QPoint press = source->pointOfRow(Row);
    const QPoint drop = source->mapFromGlobal(target->mapToGlobal(target->pointOfRow(Row)));
    QTest::mousePress(source, Qt::LeftButton, {}, press);
    QTest::mouseMove(source, drop);
    s.paintPending();
    require(target->hasDropOutline(), "the drag shows no outline");
    QTest::mouseRelease(source, Qt::LeftButton, {}, drop);
    s.paintPending();
    require(!target->hasDropOutline(), "the outline stayed after the drop");
}

// The measured drag moves chair 4's block to chair 5, where a removal made room; an undo outside the
// measured time takes it back, so every drag starts from the same day.
void dragMove(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, env, [&](BenchSession& s) {
        DayView* source = s.window().SSDay1(FromChair);
        DayView* target = s.window().SSDay1(ToChair);
        require(source->pointOfRow(Row).y() >= 0, "the dragged row is not visible");
        const QString moved = blockAtRow(s, FromChair);
        const QString removed = blockAtRow(s, ToChair);
        require(!moved.isEmpty() && !removed.isEmpty(), "the day is not full");
        QTest::mouseClick(target, Qt::RightButton, {}, target->pointOfRow(Row));
        s.paintPending();
        require(blockAtRow(s, ToChair).isEmpty(), "the removal did not make room");
        {
            const PaintCounter sourcePaints(source);
            const PaintCounter targetPaints(target);
            const PaintCounter doctorPaints(s.window().SSDay1(s.state().ChairCount));
            const PaintCounter otherPaints(s.window().SSDay1(OtherChair));
            const QList<DayBlock> doctorBefore = s.window().SSDay1(s.state().ChairCount)->model().blocks();
            drag(s);
            // The target is drawn with the outline and again with the block, the doctor column after the drop
            // where its demand changed (a block moved within its row demands the same).
            const bool doctorChanged = s.window().SSDay1(s.state().ChairCount)->model().blocks() != doctorBefore;
            require(sourcePaints.count() > 0 && targetPaints.count() >= 2 &&
                        (!doctorChanged || doctorPaints.count() > 0),
                    "the drag's frames did not repaint the columns");
            require(otherPaints.count() == 0, "the drag repainted a chair it did not change");
        }
        require(blockAtRow(s, FromChair).isEmpty() && blockAtRow(s, ToChair) == moved,
                "the drag did not move the block");
        requireFee(s);
        undoAction(s)->trigger();
        s.paintPending();
        require(blockAtRow(s, FromChair) == moved, "the undo did not take the block back");

        for (auto _ : state) {
            const auto start = Clock::now();
            drag(s);
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            undoAction(s)->trigger();
            s.paintPending();
        }
        require(blockAtRow(s, ToChair).isEmpty() && blockAtRow(s, FromChair) == moved, "a drag went wrong");
        // The removal undone too: the day is the one opened, in its order.
        undoAction(s)->trigger();
        s.paintPending();
        require(blockAtRow(s, ToChair) == removed, "the removal was not undone");
        requireFullDay(s);
        require(!s.state().modified(), "the undone steps left the day modified");
    });
}

// Ctrl+Z after a removal click (outside the measured time): the block back with the doctor column and
// fee rebuilt, and the event loop's next frame.
void undo(benchmark::State& state, BenchEnvironment& env)
{
    guarded(state, env, [&](BenchSession& s) {
        activate(s);
        DayView* view = s.window().SSDay1(FromChair);
        const QString code = blockAtRow(s, FromChair);
        require(!code.isEmpty(), "the day is not full");
        const QString fullFee = s.feeText();
        const auto remove = [&] {
            QTest::mouseClick(view, Qt::RightButton, {}, view->pointOfRow(Row));
            s.paintPending();
        };
        const auto undoKey = [&] {
            QTest::keyClick(&s.window(), Qt::Key_Z, Qt::ControlModifier);
            s.paintPending();
        };
        remove();
        require(blockAtRow(s, FromChair).isEmpty(), "the removal click removed nothing");
        {
            const PaintCounter chairPaints(view);
            const PaintCounter doctorPaints(s.window().SSDay1(s.state().ChairCount));
            const PaintCounter otherPaints(s.window().SSDay1(OtherChair));
            undoKey();
            require(chairPaints.count() == 1 && doctorPaints.count() == 1,
                    "the undo's frame did not repaint the columns");
            require(otherPaints.count() == 0, "the undo repainted a chair it did not change");
        }
        require(blockAtRow(s, FromChair) == code, "Ctrl+Z did not bring the block back");
        require(s.feeText() == fullFee, "the undo did not restore the fee");

        for (auto _ : state) {
            remove();
            const auto start = Clock::now();
            undoKey();
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        }
        require(s.feeText() == fullFee, "the undo did not restore the fee");
        requireFullDay(s);
        require(!s.state().modified(), "the undone steps left the day modified");
    });
}
} // namespace

void registerEditingBenchmarks(BenchEnvironment& env, const std::function<void(benchmark::internal::Benchmark*)>& timed)
{
    timed(benchmark::RegisterBenchmark("drag_move/program", [&env](benchmark::State& s) { dragMove(s, env); }));
    timed(benchmark::RegisterBenchmark("undo/program", [&env](benchmark::State& s) { undo(s, env); }));
}
