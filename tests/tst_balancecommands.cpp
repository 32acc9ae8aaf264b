#include "AccessibleEvents.h"
#include "MainWindowFixture.h"
#include "TestMain.h"
#include "commands/frmAusgleichen.h"
#include "dayview/ClockTime.h"
#include "dayview/DayView.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

namespace {
// Two chairs; X needs the doctor in its first row, H takes a whole hour; a new day open, 08:00 to 18:00.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(2, QSize(1000, 700))
    {
        ctx.tempDatabase.addTreatment("X", 30, 0, 10, 0, 0, 20);
        ctx.tempDatabase.addTreatment("H", 60, 0, 10, 0, 0, 50);
        start();
    }
    // A menu item as the user reaches it: the menu opens first and looks at the day.
    void choose(const char* item)
    {
        emit window->findChild<QMenu*>("mnuEdit")->aboutToShow();
        action(item)->trigger();
    }
    QString undoText() const { return action("mnuEditUndo")->text(); }
    // The dialog's words after a search.
    static QStringList answer(QDialog& d)
    {
        QStringList lines;
        auto* moves = d.findChild<QListWidget*>("lstMoves");
        for (int i = 0; i < moves->count(); ++i)
            lines.append(moves->item(i)->text());
        lines.append(d.findChild<QLabel*>("lblErgebnis")->text());
        lines.append(d.findChild<QLabel*>("lblUrteil")->text());
        return lines;
    }
    // Berechnen, and the search's end awaited while the window's loop runs.
    static void compute(QDialog& d)
    {
        d.findChild<QPushButton*>("cmdBerechnen")->click();
        auto& dialog = static_cast<frmAusgleichen&>(d);
        QVERIFY(QTest::qWaitFor([&] { return !dialog.searching(); }, 30000));
    }
};
} // namespace

class TestBalanceCommands : public QObject {
    Q_OBJECT
private slots:
    void menuFollowsTheOpenDay();
    void balancingIsOneStepToUndoAndRedo();
    void abbrechenDuringTheSearchKeepsTheDay();
    void fillingAddsBlocksAsOneStep();
    void bestesUebernehmenShowsTheBestSoFar();
    void unreadableTreatmentNumbers_data();
    void unreadableTreatmentNumbers();
};

void TestBalanceCommands::menuFollowsTheOpenDay()
{
    Editor e;
    e.choose("mnuEditAusgleichen"); // no day open: no dialog
    QVERIFY(e.ctx.modals.shownDialogs().isEmpty());
    e.newDay();
    auto* menu = e.window->findChild<QMenu*>("mnuEdit");
    emit menu->aboutToShow();
    QVERIFY(e.action("mnuEditAusgleichen")->isEnabled());
    QVERIFY(e.action("mnuEditFuellen")->isEnabled());
    // Right after Wiederherstellen.
    const QList<QAction*> items = menu->actions();
    const qsizetype redo = items.indexOf(e.action("mnuEditRedo"));
    QCOMPARE(items.value(redo + 1), e.action("mnuEditAusgleichen"));
    QCOMPARE(items.value(redo + 2), e.action("mnuEditFuellen"));
}

void TestBalanceCommands::balancingIsOneStepToUndoAndRedo()
{
    Editor e;
    e.newDay();
    e.place(0, "08:00", "08:30", "X");
    e.place(1, "08:00", "08:30", "X");
    QCOMPARE(e.onScreen(2), QStringList{"08:00-08:05 20"});
    QStringList shown;
    e.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(d.windowTitle(), QString("Arztzeit ausgleichen"));
        // The shift limit's box is named with the whole option, its minutes included, as a screen reader says it.
        auto* limit = d.findChild<QCheckBox*>("chkMinuten");
        QCOMPARE(limit->accessibleName(), QString("Blöcke höchstens um 30 Minuten verschieben"));
        d.findChild<QSpinBox*>("spnMinuten")->setValue(45);
        QCOMPARE(limit->accessibleName(), QString("Blöcke höchstens um 45 Minuten verschieben"));
        Editor::compute(d);
        shown = Editor::answer(d);
        // The focus is on Übernehmen, which tells a screen reader the answer.
        auto* ok = d.findChild<QPushButton*>("cmdOK");
        QCOMPARE(d.focusWidget(), ok);
        QCOMPARE(ok->accessibleDescription(),
                 QString("1 Block verschoben, keine Überlastung mehr. Bestmögliche Lösung"));
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    e.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e.window.get()));
    e.window->SSDay1(0)->setFocus();
    AccessibleEvents events;
    QTest::qWait(0);
    events.clear(); // what the placing said
    e.choose("mnuEditAusgleichen");
    // The focus back in the window, as after a modal dialog; a screen reader hears what the step did, last.
    e.window->activateWindow();
    e.window->SSDay1(1)->setFocus();
    QTRY_COMPARE(events.announcements().value(events.announcements().size() - 1),
                 QString("1 Block verschoben, keine Überlastung mehr"));
    QCOMPARE(shown, (QStringList{"X Stuhl 1 08:00 → 08:10", "1 Block verschoben, keine Überlastung mehr",
                                 "Bestmögliche Lösung"}));
    QCOMPARE(e.onScreen(0), QStringList{"08:10-08:40 X"});
    QCOMPARE(e.onScreen(2), (QStringList{"08:00-08:05 10", "08:10-08:15 10"}));
    QCOMPARE(e.undoText(), QString("&Rückgängig: Arztzeit ausgeglichen: 1 Block verschoben"));
    QVERIFY(e.ctx.state.modified());

    e.action("mnuEditUndo")->trigger();
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:30 X"});
    QCOMPARE(e.onScreen(2), QStringList{"08:00-08:05 20"});
    e.action("mnuEditRedo")->trigger();
    QCOMPARE(e.onScreen(0), QStringList{"08:10-08:40 X"});
    QCOMPARE(e.onScreen(1), QStringList{"08:00-08:30 X"});
}

void TestBalanceCommands::abbrechenDuringTheSearchKeepsTheDay()
{
    Editor e;
    e.newDay();
    e.place(0, "08:00", "08:30", "X");
    e.place(1, "08:00", "08:30", "X");
    const QString undoBefore = e.undoText();
    QString afterCancel;
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto& dialog = static_cast<frmAusgleichen&>(d);
        d.findChild<QPushButton*>("cmdBerechnen")->click();
        QVERIFY(dialog.searching());
        // Abbrechen while searching ends the search only; the dialog stays with nothing to take.
        d.findChild<QPushButton*>("cmdAbbrechen")->click();
        QVERIFY(!dialog.searching());
        QVERIFY(d.isVisible());
        QVERIFY(!d.findChild<QPushButton*>("cmdOK")->isEnabled());
        afterCancel = d.findChild<QLabel*>("lblErgebnis")->text();
        // Berechnen comes back once the stopped search has let go of its thread, and searches anew.
        QTRY_VERIFY(d.findChild<QPushButton*>("cmdBerechnen")->isEnabled());
        Editor::compute(d);
        QCOMPARE(Editor::answer(d).value(1), QString("1 Block verschoben, keine Überlastung mehr"));
        // The second Abbrechen closes it.
        d.findChild<QPushButton*>("cmdAbbrechen")->click();
    });
    e.choose("mnuEditAusgleichen");
    QCOMPARE(afterCancel, QString("Abgebrochen."));
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:30 X"});
    QCOMPARE(e.onScreen(1), QStringList{"08:00-08:30 X"});
    QCOMPARE(e.undoText(), undoBefore);
}

void TestBalanceCommands::fillingAddsBlocksAsOneStep()
{
    Editor e;
    e.newDay();
    e.place(0, "08:00", "18:00", "H"); // chair 1 taken all day
    QStringList shown;
    e.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(d.windowTitle(), QString("Tag füllen"));
        auto* table = d.findChild<QTableWidget*>("tblWanted");
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(1, 0)->text(), QString("H"));
        table->item(1, 1)->setData(Qt::EditRole, 2);
        Editor::compute(d);
        shown = Editor::answer(d);
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    e.choose("mnuEditFuellen");
    // The doctor's first row of the day is taken by the long block: the first H comes an hour later.
    QCOMPARE(shown, (QStringList{"H Stuhl 2 08:10", "H Stuhl 2 09:10", "2 Blöcke eingefügt", "Bestmögliche Lösung"}));
    QCOMPARE(e.onScreen(1), (QStringList{"08:10-09:10 H", "09:10-10:10 H"}));
    QCOMPARE(e.undoText(), QString("&Rückgängig: Tag gefüllt: 2 Blöcke eingefügt"));
    e.action("mnuEditUndo")->trigger();
    QVERIFY(e.onScreen(1).isEmpty());
}

void TestBalanceCommands::bestesUebernehmenShowsTheBestSoFar()
{
    Editor e;
    e.newDay();
    // Both chairs nearly full of blocks that need the doctor at the same time, with a few gaps: far more to search
    // than the time before the click allows.
    for (int half = 0; half < 20; ++half) {
        const QString start = ClockTime::fromMinutes(8 * 60 + 30 * half);
        if (half % 6 != 3)
            e.place(0, start, ClockTime::addMinutes(start, 30), "X");
        if (half % 7 != 5)
            e.place(1, start, ClockTime::addMinutes(start, 30), "X");
    }
    const QStringList before = e.onScreen(0) + e.onScreen(1);
    QStringList shown;
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto& dialog = static_cast<frmAusgleichen&>(d);
        auto* bestes = d.findChild<QPushButton*>("cmdBestes");
        QVERIFY(!bestes->isVisible());
        d.findChild<QPushButton*>("cmdBerechnen")->click();
        QVERIFY(dialog.searching());
        QVERIFY(bestes->isVisible());
        // The button waits for a first answer (the greedy one comes within milliseconds).
        QTRY_VERIFY(bestes->isEnabled());
        QVERIFY2(dialog.searching(), "the search must still run: this day takes it the whole time limit");
        bestes->click();
        // The search has stopped at once, and its best answer so far is the preview.
        QVERIFY(!dialog.searching());
        QVERIFY(!bestes->isVisible());
        QVERIFY(dialog.result().has_value());
        const BalanceResult& result = *dialog.result();
        QVERIFY(result.cancelled);
        QVERIFY(result.overloadAfter < result.overloadBefore);
        QCOMPARE(d.findChild<QListWidget*>("lstMoves")->count(), result.moves.size());
        QCOMPARE(d.findChild<QLabel*>("lblErgebnis")->text(),
                 frmAusgleichen::summary(frmAusgleichen::Mode::Balance, result));
        const QString verdict = d.findChild<QLabel*>("lblUrteil")->text();
        QVERIFY2(verdict.startsWith("Beste gefundene Lösung nach "), qPrintable(verdict));
        QVERIFY(d.findChild<QPushButton*>("cmdOK")->isEnabled());
        shown = Editor::answer(d);
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    e.choose("mnuEditAusgleichen");
    QVERIFY(shown.size() > 2);
    // What the preview showed is what the day now has.
    QVERIFY(e.onScreen(0) + e.onScreen(1) != before);
    QVERIFY(e.undoText().startsWith("&Rückgängig: Arztzeit ausgeglichen: "));
    e.action("mnuEditUndo")->trigger();
    QCOMPARE(e.onScreen(0) + e.onScreen(1), before);
    QVERIFY(e.ctx.messages.shown().isEmpty());
}

void TestBalanceCommands::unreadableTreatmentNumbers_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("number");
    // Balancing reads the treatments of the day's blocks, filling every treatment of the table.
    QTest::newRow("balancing, a doctor window beyond a whole number") << "mnuEditAusgleichen"
                                                                      << "DR_START" << QVariant(40000) << "6";
    QTest::newRow("balancing, a second doctor window below a whole number") << "mnuEditAusgleichen"
                                                                            << "DR_DAUER2" << QVariant(-40000) << "6";
    QTest::newRow("filling, a length beyond a whole number") << "mnuEditFuellen"
                                                             << "DAUER" << QVariant(-40000) << "6";
    QTest::newRow("filling, a fee beyond any total") << "mnuEditFuellen"
                                                     << "HON" << QVariant(1e300) << "6";
}

void TestBalanceCommands::unreadableTreatmentNumbers()
{
    QFETCH(QString, item);
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, number);
    Editor e;
    e.newDay();
    e.place(0, "08:00", "08:30", "X");
    e.place(1, "08:00", "08:30", "X");
    e.ctx.tempDatabase.exec(QStringLiteral("UPDATE Behand SET %1 = ? WHERE BEH = 'X'").arg(field), {value});
    e.ctx.messages.answer(QMessageBox::Ok);
    e.choose(item.toLatin1().constData());
    // No dialog: the message says what went wrong, and the day is as it was.
    QVERIFY(e.ctx.modals.shownDialogs().isEmpty());
    QCOMPARE(e.ctx.messages.shown().size(), 1);
    compareBox(e.ctx.messages.last(), number + " Fehler: Bitte Öffnungszeit und Datenbank überprüfen", "Datenfehler",
               QMessageBox::Warning, QMessageBox::Ok);
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:30 X"});
    QCOMPARE(e.onScreen(1), QStringList{"08:00-08:30 X"});
}

LUNARIS_TEST_MAIN(TestBalanceCommands)
#include "tst_balancecommands.moc"
