#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "dayview/DayView.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace {
// Three chairs, KONT (30 min, doctor 0+10, fee 20) and LANG (90 min, fee 100); a new day open.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(3, QSize(1000, 700))
    {
        ctx.tempDatabase.addTreatment("KONT", 30, 0, 10, 0, 0, 20);
        ctx.tempDatabase.addTreatment("LANG", 90, 0, 0, 0, 0, 100);
        start();
        newDay();
    }
    // Everything an edit changes: the chairs' blocks, the doctor column, the fee and `Modified`.
    QStringList picture() const
    {
        QStringList all;
        for (int c = 0; c <= 3; ++c)
            all.append(QString::number(c) + ": " + onScreen(c).join(", "));
        all.append("Honorar " + window->findChild<QLineEdit*>("txtHon")->text());
        all.append(ctx.state.modified() ? "geändert" : "ungeändert");
        return all;
    }
    // Keys typed into the window, which is active again after a dialog has closed.
    void keys(const QString& sequence)
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keySequence(window.get(), QKeySequence(sequence));
    }
    QString status() const { return window->findChild<QLabel*>("sbStatusBar_Panel1")->text(); }
    QString undoText() const { return action("mnuEditUndo")->text(); }
    QString redoText() const { return action("mnuEditRedo")->text(); }
};
} // namespace

class TestUndo : public QObject {
    Q_OBJECT
private slots:
    void undoAndRedoOfEachStep_data();
    void undoAndRedoOfEachStep();
    void historyAndTheSavedState();
    void toolTipsShowNamesAsTyped_data();
    void toolTipsShowNamesAsTyped();
    void theSavedStateComesFromTheHistory_data();
    void theSavedStateComesFromTheHistory();
};

void TestUndo::undoAndRedoOfEachStep_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("step"); // as the menu names it
    QTest::newRow("placing") << "place"
                             << "KONT in Stuhl 2 um 08:10";
    QTest::newRow("removing") << "remove"
                              << "KONT in Stuhl 1 um 08:00 entfernt";
}

void TestUndo::undoAndRedoOfEachStep()
{
    QFETCH(QString, kind);
    QFETCH(QString, step);
    Editor e;
    QCOMPARE(e.undoText(), QString("&Rückgängig"));
    QVERIFY(!e.action("mnuEditUndo")->isEnabled());
    e.choose("KONT");
    e.click(0, "08:00");
    e.click(2, "09:00");
    e.ctx.modals.handleNext(saveAs("Montag"));
    e.action("mnuFileSave")->trigger();
    const QStringList before = e.picture();
    QCOMPARE(before.last(), QString("ungeändert"));

    if (kind == "place")
        e.click(1, "08:10", Qt::LeftButton);
    else
        e.click(0, "08:00", Qt::RightButton);
    const QStringList after = e.picture();
    QVERIFY(after != before);
    QCOMPARE(after.last(), QString("geändert"));
    QCOMPARE(e.undoText(), "&Rückgängig: " + step);
    QCOMPARE(e.toolButton("Undo")->toolTip(), "Rückgängig: " + step);

    e.keys("Ctrl+Z");
    QCOMPARE(e.picture(), before); // blocks, doctor column, fee and the saved state
    QCOMPARE(e.redoText(), "&Wiederherstellen: " + step);
    QCOMPARE(e.undoText(), QString("&Rückgängig: KONT in Stuhl 3 um 09:00"));
    e.keys("Ctrl+Y");
    QCOMPARE(e.picture(), after);
    e.toolButton("Undo")->trigger();
    QCOMPARE(e.picture(), before);
    e.keys("Ctrl+Shift+Z");
    QCOMPARE(e.picture(), after);
    e.toolButton("Redo")->trigger(); // nothing left to redo
    QCOMPARE(e.picture(), after);
    QVERIFY(!e.toolButton("Redo")->isEnabled());

    // Back before the save: modified again, and the close asks.
    e.keys("Ctrl+Z");
    e.keys("Ctrl+Z");
    QCOMPARE(e.onScreen(2), QStringList());
    QVERIFY(e.ctx.state.modified());
    QVERIFY(e.ctx.messages.shown().isEmpty());
}

void TestUndo::historyAndTheSavedState()
{
    Editor e;
    e.choose("LANG");
    QCOMPARE(e.status(), QString("Keine ungespeicherten Änderungen"));
    e.click(2, "10:00");
    QVERIFY(e.action("mnuEditUndo")->isEnabled());
    QCOMPARE(e.status(), QString("Nicht gespeichert"));

    // Save keeps the history; undoing past the save marks the day modified, so New asks.
    e.ctx.modals.handleNext(saveAs("Dienstag"));
    const QString before = QTime::currentTime().toString("HH:mm");
    e.action("mnuFileSave")->trigger();
    const QStringList savedAt{"Gespeichert " + before, "Gespeichert " + QTime::currentTime().toString("HH:mm")};
    QVERIFY2(savedAt.contains(e.status()), qPrintable(e.status()));
    QVERIFY(e.action("mnuEditUndo")->isEnabled());
    e.action("mnuEditUndo")->trigger();
    QVERIFY(e.ctx.state.modified());
    QCOMPARE(e.status(), QString("Nicht gespeichert"));
    e.action("mnuEditRedo")->trigger();
    QVERIFY(!e.ctx.state.modified());
    QVERIFY(savedAt.contains(e.status()));
    e.newDay();                                                        // no question: back at the saved state
    QCOMPARE(e.status(), QString("Keine ungespeicherten Änderungen")); // another day: nothing saved of it yet
    QVERIFY(e.ctx.messages.shown().isEmpty());
    QVERIFY(!e.action("mnuEditUndo")->isEnabled());
    QCOMPARE(e.undoText(), QString("&Rückgängig"));

    // Open clears the history too; the refused placement left no step.
    e.click(0, "08:30");
    e.ctx.messages.answer(QMessageBox::Ok);
    e.click(0, "08:00");
    e.expectBox("Termine überlappen!", "Lunaris", QMessageBox::NoIcon);
    QCOMPARE(e.undoText(), QString("&Rückgängig: LANG in Stuhl 1 um 08:30"));
    e.ctx.messages.answer(QMessageBox::No);
    e.ctx.modals.handleNext(openName("Dienstag"));
    e.window->SSDay1(0)->setFirstRow(0);
    e.action("mnuFileOpen")->trigger();
    e.expectBox("Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(!e.action("mnuEditUndo")->isEnabled());
    QCOMPARE(e.onScreen(2), QStringList{"10:00-11:30 LANG"});
    // Opened at its first block, all columns together.
    QCOMPARE(e.window->SSDay1(1)->firstRow(), e.window->SSDay1(1)->rowOfTime("10:00"));
    QCOMPARE(e.window->SSDay1(3)->firstRow(), e.window->SSDay1(1)->rowOfTime("10:00"));
    // The declined edits went with their day: the opened day is as stored.
    QCOMPARE(e.status(), QString("Keine ungespeicherten Änderungen"));
    QVERIFY(!e.ctx.state.modified());

    // Delete clears it as well.
    e.click(2, "10:00", Qt::RightButton);
    QVERIFY(e.action("mnuEditUndo")->isEnabled());
    e.ctx.messages.answer(QMessageBox::Yes);
    e.action("mnuFileDelete")->trigger();
    e.expectBox("Möchten Sie den Dienstag löschen?", "Idealtag löschen", QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No);
    QVERIFY(!e.action("mnuEditUndo")->isEnabled());
    QVERIFY(!e.ctx.state.modified());
    QCOMPARE(e.status(), QString("Keine ungespeicherten Änderungen"));
    QCOMPARE(e.window->SSDay1(0)->firstRow(), 0); // a day without blocks opens at its first row
    QCOMPARE(e.onScreen(2), QStringList());
    e.expectNothingPending();
}

void TestUndo::toolTipsShowNamesAsTyped_data()
{
    QTest::addColumn<QString>("chair");
    QTest::addColumn<QString>("tip");
    QTest::newRow("an ampersand") << "Stuhl & Co"
                                  << "Rückgängig: KONT in Stuhl & Co um 08:00";
    QTest::newRow("two ampersands") << "A&&B"
                                    << "Rückgängig: KONT in A&&B um 08:00";
    QTest::newRow("markup") << "<b>Fenster</b>"
                            << "<p style='white-space:pre'>Rückgängig: KONT in &lt;b&gt;Fenster&lt;/b&gt; um "
                               "08:00</p>";
}

void TestUndo::toolTipsShowNamesAsTyped()
{
    QFETCH(QString, chair);
    QFETCH(QString, tip);
    Editor e;
    e.ctx.tempDatabase.exec("UPDATE Stuhl SET STUHL = ? WHERE STUHL = 'Stuhl 1'", {chair});
    e.window.reset();
    e.start();
    e.newDay();
    e.choose("KONT");
    e.click(0, "08:00");
    QCOMPARE(e.toolButton("Undo")->toolTip(), tip);
}

void TestUndo::theSavedStateComesFromTheHistory_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("chair3"); // afterwards
    QTest::addColumn<QString>("status");
    QTest::newRow("Nein to the save question, then New: nothing asked again")
        << "edit|new:Nein|new" << QStringList{} << "Keine ungespeicherten Änderungen";
    QTest::newRow("Nein to the save question, then Open: nothing asked again")
        << "edit|open:Nein|open" << QStringList{"10:00-11:30 LANG"} << "Keine ungespeicherten Änderungen";
    QTest::newRow("Abbrechen to the save question stops New")
        << "edit|new:Abbrechen" << QStringList{"10:00-11:30 LANG"} << "Nicht gespeichert";
    QTest::newRow("Abbrechen to the save question stops Open")
        << "edit|open:Abbrechen" << QStringList{"10:00-11:30 LANG"} << "Nicht gespeichert";
    QTest::newRow("after Delete, undoing back to the emptied day")
        << "open|delete|edit|undo" << QStringList{} << "Keine ungespeicherten Änderungen";
    // A cancelled Save As changes nothing, and says so.
    QTest::newRow("Save As cancelled") << "open|saveas cancelled" << QStringList{"10:00-11:30 LANG"}
                                       << "„Speichern unter“ abgebrochen";
    // The history keeps its saved state: undoing the edit makes the day unmodified, New asks nothing.
    QTest::newRow("Save As cancelled after an edit, the edit undone, then New")
        << "edit|saveas cancelled|undo|new" << QStringList{} << "Keine ungespeicherten Änderungen";
    QTest::newRow("Save As cancelled after an edit, the edit undone")
        << "edit|saveas cancelled|undo" << QStringList{} << "Keine ungespeicherten Änderungen";
}

void TestUndo::theSavedStateComesFromTheHistory()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, chair3);
    QFETCH(QString, status);
    Editor e;
    e.ctx.tempDatabase.addDayName("Dienstag");
    e.ctx.tempDatabase.addBlock("Dienstag", "Stuhl 3", "LANG", "10:00", "11:30");
    const QString question = "Möchten Sie Speichern?";
    for (const QString& step : steps.split('|')) {
        const QString answer = step.section(':', 1);
        const qsizetype before = e.ctx.messages.shown().size();
        if (answer == "Nein")
            e.ctx.messages.answer(QMessageBox::No);
        else if (answer == "Abbrechen")
            e.ctx.messages.answer(QMessageBox::Cancel);
        if (step == "edit") {
            e.choose("LANG");
            e.click(2, "10:00");
        } else if (step.startsWith("new")) {
            e.action("mnuFileNew")->trigger();
        } else if (step.startsWith("open")) {
            if (answer != "Abbrechen")
                e.ctx.modals.handleNext(openName("Dienstag"));
            e.action("mnuFileOpen")->trigger();
        } else if (step == "delete") {
            e.ctx.messages.answer(QMessageBox::Yes);
            e.action("mnuFileDelete")->trigger();
            e.expectBox("Möchten Sie den Dienstag löschen?", "Idealtag löschen", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No);
        } else if (step == "undo") {
            e.action("mnuEditUndo")->trigger();
        } else if (step == "saveas cancelled") {
            e.ctx.modals.handleNext(clickCancel());
            e.action("mnuFileSaveAs")->trigger();
        }
        if (!answer.isEmpty()) {
            QCOMPARE(e.ctx.messages.shown().size(), before + 1);
            e.expectBox(question, "Lunaris", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        } else if (step != "delete") {
            QCOMPARE(e.ctx.messages.shown().size(), before); // no question
        }
    }
    QCOMPARE(e.onScreen(2), chair3);
    QCOMPARE(e.status(), status);
    QCOMPARE(e.ctx.state.modified(), status == "Nicht gespeichert");
    e.expectNothingPending();
}

LUNARIS_TEST_MAIN(TestUndo)
#include "tst_undo.moc"
