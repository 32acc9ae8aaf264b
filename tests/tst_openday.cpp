#include "TestMain.h"
#include "editing/OpenDay.h"
#include "kernel/LunarisState.h"

#include <algorithm>

namespace {
// Two chairs, 08:00 to 18:00 in 10-minute rows; chair 1 holds KONT at 08:00 and 09:00.
struct Day {
    LunarisState state;
    OpenDay day{state};
    Day()
    {
        state.ChairCount = 2;
        for (int i = 0; i < OpenDay::Columns; ++i) {
            day.column(i).setDayStart("08:00");
            day.column(i).setCaption(QString("Stuhl %1").arg(i + 1));
        }
        day.column(0).add("08:00", "08:30", "KONT", Qt::green);
        day.column(0).add("09:00", "09:30", "KONT", Qt::green);
        day.markSaved();
    }
    // Both chairs' blocks as "chair:hh:mm-hh:mm CODE", in list order.
    QStringList blocks() const
    {
        QStringList all;
        for (int c = 0; c < 2; ++c)
            for (const DayBlock& b : day.column(c).blocks())
                all.append(QString("%1:%2-%3 %4").arg(c + 1).arg(b.startTime, b.endTime, b.text));
        return all;
    }
};
} // namespace

class TestOpenDay : public QObject {
    Q_OBJECT
private slots:
    void editsAndTheirUndo_data();
    void editsAndTheirUndo();
    void modifiedFollowsTheSavedState();
};

void TestOpenDay::editsAndTheirUndo_data()
{
    QTest::addColumn<QString>(
        "edit"); // place chair time code minutes | remove chair time | move/copy from index to time
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("step"); // the history's name of the step
    const int none = int(OpenDay::Refusal::None);
    const int overlap = int(OpenDay::Refusal::Overlap);
    const QStringList before{"1:08:00-08:30 KONT", "1:09:00-09:30 KONT"};
    QTest::newRow("place touching both") << "place 0 08:30 KONT 30" << none
                                         << before + QStringList{"1:08:30-09:00 KONT"} << "KONT in Stuhl 1 um 08:30";
    QTest::newRow("place into the next") << "place 0 08:40 KONT 30" << overlap << before << "";
    QTest::newRow("place on a block") << "place 0 08:10 KONT 10" << overlap << before << "";
    QTest::newRow("place past midnight") << "place 0 17:50 LANG 400" << int(OpenDay::Refusal::PastMidnight) << before
                                         << "";
    QTest::newRow("remove") << "remove 0 08:10" << none << QStringList{"1:09:00-09:30 KONT"}
                            << "KONT in Stuhl 1 um 08:00 entfernt";
    QTest::newRow("move to another chair")
        << "move 0 0 1 08:10" << none << QStringList{"1:09:00-09:30 KONT", "2:08:10-08:40 KONT"}
        << "KONT nach Stuhl 2 um 08:10 verschoben";
    QTest::newRow("move over its own place")
        << "move 0 0 0 08:10" << none << QStringList{"1:09:00-09:30 KONT", "1:08:10-08:40 KONT"}
        << "KONT nach Stuhl 1 um 08:10 verschoben";
    QTest::newRow("move into the next") << "move 0 0 0 08:40" << overlap << before << "";
    QTest::newRow("move to start inside another") << "move 0 1 0 08:20" << overlap << before << "";
    QTest::newRow("copy over itself") << "copy 0 0 0 08:10" << overlap << before << "";
    QTest::newRow("copy to another chair") << "copy 0 0 1 08:00" << none << before + QStringList{"2:08:00-08:30 KONT"}
                                           << "KONT nach Stuhl 2 um 08:00 kopiert";
}

void TestOpenDay::editsAndTheirUndo()
{
    QFETCH(QString, edit);
    QFETCH(int, refusal);
    QFETCH(QStringList, after);
    QFETCH(QString, step);
    Day d;
    const QStringList before = d.blocks();
    int changes = 0;
    QList<int> changed; // the chairs each step names for drawing, sorted
    QObject::connect(&d.day, &OpenDay::blocksChanged, [&](QList<int> chairs) {
        ++changes;
        std::sort(chairs.begin(), chairs.end());
        changed = chairs;
    });

    const QStringList f = edit.split(' ');
    OpenDay::Refusal result = OpenDay::Refusal::None;
    if (f[0] == "place")
        result = d.day.place(f[1].toInt(), f[2], f[3], f[4].toInt());
    else if (f[0] == "remove")
        result = d.day.removeAt(f[1].toInt(), f[2]) ? OpenDay::Refusal::None : OpenDay::Refusal::Overlap;
    else
        result = d.day.moveBlock(f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4], f[0] == "copy");
    QCOMPARE(int(result), refusal);
    QCOMPARE(d.blocks(), after);
    if (result != OpenDay::Refusal::None) {
        // A refused edit changes nothing and leaves no step.
        QCOMPARE(changes, 0);
        QVERIFY(!d.state.Modified);
        QVERIFY(!d.day.history().canUndo());
        return;
    }
    QCOMPARE(changes, 1);
    QVERIFY(d.state.Modified);
    QCOMPARE(d.day.history().undoText(), step);
    // Only the chairs a step changes are drawn again: the place or block it touches, for a move both
    // chairs, for a copy the target only.
    QList<int> chairs{f[f[0] == "copy" ? 3 : 1].toInt()};
    if (f[0] == "move" && f[3] != f[1])
        chairs.append(f[3].toInt());
    std::sort(chairs.begin(), chairs.end());
    QCOMPARE(changed, chairs);

    changed.clear();
    d.day.history().undo();
    QCOMPARE(d.blocks(), before);
    QVERIFY(!d.state.Modified); // back at the saved state
    QCOMPARE(changes, 2);
    QCOMPARE(changed, chairs);
    changed.clear();
    d.day.history().redo();
    QCOMPARE(d.blocks(), after);
    QVERIFY(d.state.Modified);
    QCOMPARE(changed, chairs);
}

void TestOpenDay::modifiedFollowsTheSavedState()
{
    Day d;
    QUndoStack& history = d.day.history();
    d.day.place(1, "08:00", "A", 10);
    d.day.markSaved();
    d.day.place(1, "08:10", "B", 10);
    history.undo();
    QVERIFY(!d.state.Modified);
    history.undo(); // before the save
    QVERIFY(d.state.Modified);
    history.redo();
    QVERIFY(!d.state.Modified);

    // Another day after declining to save: as stored, unmodified; undoing its first step comes back there.
    d.day.place(1, "09:00", "C", 10);
    d.day.forgetHistory();
    QVERIFY(!d.state.Modified);
    QVERIFY(!history.canUndo());
    d.day.place(1, "10:00", "D", 10);
    QVERIFY(d.state.Modified);
    history.undo();
    QVERIFY(!d.state.Modified);

    // Marked unsaved (a cancelled Save As): no state counts as saved until the next save.
    d.day.markUnsaved();
    QVERIFY(d.state.Modified);
    history.redo();
    history.undo();
    QVERIFY(d.state.Modified);

    // A fresh unmodified day: undoing its first step makes it unmodified again.
    d.day.markSaved();
    d.day.forgetHistory();
    d.day.place(1, "11:00", "E", 10);
    history.undo();
    QVERIFY(!d.state.Modified);
}

LUNARIS_TEST_MAIN(TestOpenDay)
#include "tst_openday.moc"
