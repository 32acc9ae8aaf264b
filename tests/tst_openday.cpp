#include "TestMain.h"
#include "editing/OpenDay.h"
#include "kernel/LunarisState.h"

#include <algorithm>

namespace {
StoredBlock row(qint64 id, const QString& chair, const QString& code, const QString& start, const QString& end)
{
    return {id, {chair, code, start, end}};
}

// Two chairs, 08:00 to 18:00 in 10-minute rows; chair 1 holds KONT at 08:00 and 09:00. Reached as the
// program reaches it: the chair table and the hours followed, the day's rows opened.
struct Day {
    LunarisState state;
    OpenDay day{state};
    explicit Day(const QStringList& chairs = {"Stuhl 1", "Stuhl 2"})
    {
        day.followHours("08:00", "18:00", 1);
        day.followChairs({}, chairs);
        open({row(0, "Stuhl 1", "KONT", "08:00", "08:30"), row(0, "Stuhl 1", "KONT", "09:00", "09:30")});
    }
    void open(const QList<StoredBlock>& rows)
    {
        day.replace(rows, DayReplacement::Opened, false);
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
    void replacementKeepsWhatDoesNotFit_data();
    void replacementKeepsWhatDoesNotFit();
    void chairsFollowedByIdentity_data();
    void chairsFollowedByIdentity();
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
        QVERIFY(!d.state.modified());
        QVERIFY(!d.day.history().canUndo());
        return;
    }
    QCOMPARE(changes, 1);
    QVERIFY(d.state.modified());
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
    QVERIFY(!d.state.modified()); // back at the saved state
    QCOMPARE(changes, 2);
    QCOMPARE(changed, chairs);
    changed.clear();
    d.day.history().redo();
    QCOMPARE(d.blocks(), after);
    QVERIFY(d.state.modified());
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
    QVERIFY(!d.state.modified());
    history.undo(); // before the save
    QVERIFY(d.state.modified());
    history.redo();
    QVERIFY(!d.state.modified());

    // Another day after declining to save: as stored, unmodified; undoing its first step comes back there.
    d.day.place(1, "09:00", "C", 10);
    d.day.forgetHistory();
    QVERIFY(!d.state.modified());
    QVERIFY(!history.canUndo());
    d.day.place(1, "10:00", "D", 10);
    QVERIFY(d.state.modified());
    history.undo();
    QVERIFY(!d.state.modified());

    // Marked unsaved: no state counts as saved until the next save.
    d.day.markUnsaved();
    QVERIFY(d.state.modified());
    history.redo();
    history.undo();
    QVERIFY(d.state.modified());

    // A fresh unmodified day: undoing its first step makes it unmodified again.
    d.day.markSaved();
    d.day.forgetHistory();
    d.day.place(1, "11:00", "E", 10);
    history.undo();
    QVERIFY(!d.state.modified());
}

void TestOpenDay::replacementKeepsWhatDoesNotFit_data()
{
    // The day as opened: Stuhl 1 holds KONT 08:00 and 09:00 (stored rows 1 and 2); modified: M at 12:00 in
    // Stuhl 1 on top. A load or restore replaces it with `rows`; a change of chairs or hours (`change`) acts
    // on the day opened with `rows` as stored.
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("rows"); // "Stuhl 2 A 10:00-10:20; ..."
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("notice");

    struct Case {
        const char* name;
        const char* rows;
        QStringList shown;
        const char* notice;
    };
    const QList<Case> cases{
        {"fits", "Stuhl 2 A 10:00-10:20", {"2:10:00-10:20 A"}, ""},
        {"chair missing", "Stuhl 3 A 10:00-10:20", {}, "1 Block wird nicht angezeigt: A Stuhl 3 10:00"},
        {"outside the hours", "Stuhl 2 A 07:00-07:20", {}, "1 Block wird nicht angezeigt: A Stuhl 2 07:00"},
        {"overlap",
         "Stuhl 2 A 10:00-10:30; Stuhl 2 B 10:10-10:20",
         {"2:10:00-10:30 A"},
         "1 Block wird nicht angezeigt: B Stuhl 2 10:10"},
    };
    const QList<DayReplacement> loads{DayReplacement::Opened, DayReplacement::Reloaded, DayReplacement::Version,
                                      DayReplacement::Backup, DayReplacement::Recovery};
    for (const bool modified : {false, true}) {
        const char* state = modified ? "modified" : "unmodified";
        for (const DayReplacement reason : loads)
            for (const Case& c : cases) {
                // A load shows stored rows as stored, overlaps included.
                const bool stored = reason == DayReplacement::Opened || reason == DayReplacement::Reloaded;
                const bool overlap = QByteArray(c.name) == "overlap";
                QTest::addRow("%s, %s, %s", qPrintable(DayPlacement::stepName(reason)), c.name, state)
                    << int(reason) << c.rows << "" << modified
                    << (stored && overlap ? QStringList{"2:10:00-10:30 A", "2:10:10-10:20 B"} : c.shown)
                    << (stored && overlap ? "" : c.notice);
            }
        // A change of chairs or hours acts on what the day holds: its Stuhl 2 block at 10:00.
        const int chairs = int(DayReplacement::ChairsChanged);
        const int hours = int(DayReplacement::HoursChanged);
        const QString block = "Stuhl 2 A 10:00-10:20";
        const QStringList kept{"1:08:00-08:30 KONT", "1:09:00-09:30 KONT", "2:10:00-10:20 A"};
        QTest::addRow("chairs, fits, %s", state) << chairs << block << "chairs" << modified << kept << "";
        QTest::addRow("chairs, chair deleted, %s", state) << chairs << block << "delete Stuhl 2" << modified
                                                          << QStringList{"1:08:00-08:30 KONT", "1:09:00-09:30 KONT"}
                                                          << "1 Block wird nicht angezeigt: A Stuhl 2 10:00";
        // Renamed to the first chair's name: the first column of a name shows its rows.
        QTest::addRow("chairs, overlap, %s", state)
            << chairs << "Stuhl 2 A 08:10-08:30"
            << "rename Stuhl 2 Stuhl 1" << modified << QStringList{"1:08:00-08:30 KONT", "1:09:00-09:30 KONT"}
            << "1 Block wird nicht angezeigt: A Stuhl 1 08:10";
        QTest::addRow("hours, fits, %s", state) << hours << block << "hours 08:00" << modified << kept << "";
        QTest::addRow("hours, outside, %s", state)
            << hours << block << "hours 09:30" << modified << QStringList{"2:10:00-10:20 A"}
            << "2 Blöcke werden nicht angezeigt: KONT Stuhl 1 08:00, KONT Stuhl 1 09:00";
    }
}

void TestOpenDay::replacementKeepsWhatDoesNotFit()
{
    QFETCH(int, reason);
    QFETCH(QString, rows);
    QFETCH(QString, change);
    QFETCH(bool, modified);
    QFETCH(QStringList, shown);
    QFETCH(QString, notice);
    const auto why = DayReplacement(reason);

    Day d;
    QList<StoredBlock> given;
    qint64 id = 10;
    for (const QString& text : rows.split("; ")) {
        const QStringList f = text.split(' ');
        given.append(row(0, f[0] + ' ' + f[1], f[2], f[3].left(5), f[3].mid(6)));
    }
    QList<StoredBlock> opened{row(1, "Stuhl 1", "KONT", "08:00", "08:30"), row(2, "Stuhl 1", "KONT", "09:00", "09:30")};
    if (!change.isEmpty())
        for (StoredBlock block : given) {
            block.rowId = id++;
            opened.append(block);
        }
    d.day.replace(opened, DayReplacement::Opened, false);
    if (modified)
        QCOMPARE(d.day.place(0, "12:00", "M", 10), OpenDay::Refusal::None);
    const QStringList before = d.blocks();
    QList<DayReplacement> signalled;
    QStringList notices;
    connect(&d.day, &OpenDay::dayReplaced, this, [&](DayReplacement r, const QString& n) {
        signalled.append(r);
        notices.append(n);
    });

    const bool undoable =
        why == DayReplacement::Version || why == DayReplacement::Backup || why == DayReplacement::Recovery;
    const bool load = why == DayReplacement::Opened || why == DayReplacement::Reloaded;
    if (change.isEmpty()) {
        for (StoredBlock& block : given)
            block.rowId = load ? id++ : 0;
        QCOMPARE(d.day.replace(given, why, undoable), notice);
    } else if (change == "chairs") {
        d.day.followChairs({}, {"Stuhl 1", "Stuhl 2"});
    } else if (change.startsWith("delete")) {
        d.day.followChairs({{"Stuhl 2", QString(), false, 1}}, {"Stuhl 1"});
    } else if (change.startsWith("rename")) {
        d.day.followChairs({{"Stuhl 2", "Stuhl 1", true, 1}}, {"Stuhl 1", "Stuhl 1"});
    } else {
        d.day.followHours(change.mid(6), "18:00", 1);
    }
    QCOMPARE(signalled.value(0), why);
    QCOMPARE(notices.value(0), notice);
    QCOMPARE(d.day.replaceNotice(), notice);

    // Only a load leaves Stuhl 1 as the rows say; the modified day's M is among what it replaced.
    QStringList expected = shown;
    if (!change.isEmpty() && modified && !change.startsWith("hours 09"))
        expected.insert(2, "1:12:00-12:10 M");
    else if (!change.isEmpty() && modified)
        expected.prepend("1:12:00-12:10 M");
    QCOMPARE(d.blocks(), expected);

    // Nothing is dropped: what is not shown is kept, as stored rows or as unsaved ones a save writes.
    const qsizetype unshown = d.day.rowsOnScreen().unshown.size() + d.day.unsavedUnshown().size();
    QCOMPARE(unshown, qsizetype(notice.isEmpty() ? 0 : notice.section(' ', 0, 0).toInt()));
    QCOMPARE(d.day.allRows().size(), qsizetype(expected.size() + unshown));

    if (load) {
        QVERIFY(!d.state.modified());
        QVERIFY(!d.day.history().canUndo());
        QVERIFY(d.day.unsavedUnshown().isEmpty());
    } else if (undoable) {
        QVERIFY(d.state.modified());
        QCOMPARE(d.day.history().undoText(), DayPlacement::stepName(why));
        d.day.history().undo();
        QCOMPARE(d.blocks(), before);
        QVERIFY(d.day.unsavedUnshown().isEmpty());
        QCOMPARE(d.state.modified(), modified);
    } else {
        // Unsaved work kept aside keeps the day modified; stored rows kept aside change nothing stored.
        QCOMPARE(d.state.modified(), modified || !d.day.unsavedUnshown().isEmpty());
        if (change.startsWith("hours 09")) {
            // The hours back: what was kept aside comes back.
            d.day.followHours("08:00", "18:00", 1);
            QCOMPARE(d.blocks().size(), before.size());
            QVERIFY(d.day.replaceNotice().isEmpty());
        }
    }
}

void TestOpenDay::chairsFollowedByIdentity_data()
{
    QTest::addColumn<QString>("now");         // table Stuhl after the change elsewhere, "id:name" in table order
    QTest::addColumn<QStringList>("shown");   // "caption:start" of every column's blocks
    QTest::addColumn<QStringList>("unshown"); // "chair start" of the rows kept aside
    const QString before = "1:Stuhl 1,2:Stuhl 2,3:Stuhl 3";
    QTest::newRow("unchanged") << before
                               << QStringList{"Stuhl 1:08:00", "Stuhl 1:09:00", "Stuhl 2:10:00", "Stuhl 3:11:00"}
                               << QStringList();
    QTest::newRow("the middle one deleted")
        << "1:Stuhl 1,3:Stuhl 3" << QStringList{"Stuhl 1:08:00", "Stuhl 1:09:00", "Stuhl 3:11:00"}
        << QStringList{"Stuhl 2 10:00"};
    QTest::newRow("the first one deleted, one added")
        << "2:Stuhl 2,3:Stuhl 3,4:Stuhl 4" << QStringList{"Stuhl 2:10:00", "Stuhl 3:11:00"}
        << QStringList{"Stuhl 1 08:00", "Stuhl 1 09:00"};
    QTest::newRow("the middle one renamed")
        << "1:Stuhl 1,2:Fenster,3:Stuhl 3"
        << QStringList{"Stuhl 1:08:00", "Stuhl 1:09:00", "Fenster:10:00", "Stuhl 3:11:00"} << QStringList();
    QTest::newRow("two names swapped") << "1:Stuhl 2,2:Stuhl 1,3:Stuhl 3"
                                       << QStringList{"Stuhl 2:08:00", "Stuhl 2:09:00", "Stuhl 1:10:00",
                                                      "Stuhl 3:11:00"}
                                       << QStringList();
}

// Chairs changed elsewhere, told apart by their identities in table Stuhl: each column's blocks stay with their
// chair, a deleted chair's blocks are kept aside, and the stored rows the day remembers carry the names the
// table's rows have now, so that a save writes no block under another chair's name.
void TestOpenDay::chairsFollowedByIdentity()
{
    QFETCH(QString, now);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, unshown);
    Day d({"Stuhl 1", "Stuhl 2", "Stuhl 3"});
    RowsOnScreen& rows = d.day.rowsOnScreen();
    rows.stored = {row(1, "Stuhl 1", "KONT", "08:00", "08:30"), row(2, "Stuhl 1", "KONT", "09:00", "09:30"),
                   row(3, "Stuhl 2", "KONT", "10:00", "10:30"), row(4, "Stuhl 3", "KONT", "11:00", "11:30")};
    rows.rowIds = {1, 2, 3, 4};
    rows.chairs = {"Stuhl 1", "Stuhl 2", "Stuhl 3"};
    d.open(rows.stored);
    const auto table = [](const QString& text) {
        QList<ChairRow> chairs;
        for (const QString& chair : text.split(','))
            chairs.append({chair.section(':', 0, 0).toLongLong(), chair.section(':', 1)});
        return chairs;
    };
    QStringList names;
    for (const ChairRow& chair : table(now))
        names.append(chair.name);

    d.day.followChairs(chairChangesBetween(table("1:Stuhl 1,2:Stuhl 2,3:Stuhl 3"), table(now)), names);

    QStringList shownNow;
    for (const DayViewModel* chair : std::as_const(d.day).chairs())
        for (const DayBlock& block : chair->blocks())
            shownNow.append(chair->caption() + ':' + block.startTime);
    QCOMPARE(shownNow, shown);
    QStringList unshownNow;
    for (const StoredBlock& block : rows.unshown + d.day.unsavedUnshown())
        unshownNow.append(block.row.chair + ' ' + block.row.startTime.toString());
    QCOMPARE(unshownNow, unshown);
    // Each shown block is the stored row of its chair: nothing to write, and no row under another's name.
    for (const StoredBlock& block : d.day.allRows())
        QVERIFY2(block.rowId > 0, qPrintable(block.row.chair + ' ' + block.row.startTime.toString()));
    QVERIFY(!d.day.isModified());
}

LUNARIS_TEST_MAIN(TestOpenDay)
#include "tst_openday.moc"
