#include "AccessibleEvents.h"
#include "MainWindowFixture.h"
#include "TestMain.h"
#include "commands/frmAusgleichen.h"
#include "dayview/DayView.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
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
        Editor::compute(d);
        shown = Editor::answer(d);
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
    QCOMPARE(shown, (QStringList{"X Stuhl 2 08:00 → 08:10", "1 Block verschoben, keine Überlastung mehr",
                                 "Bestmögliche Lösung"}));
    QCOMPARE(e.onScreen(1), QStringList{"08:10-08:40 X"});
    QCOMPARE(e.onScreen(2), (QStringList{"08:00-08:05 10", "08:10-08:15 10"}));
    QCOMPARE(e.undoText(), QString("&Rückgängig: Arztzeit ausgeglichen: 1 Block verschoben"));
    QVERIFY(e.ctx.state.Modified);

    e.action("mnuEditUndo")->trigger();
    QCOMPARE(e.onScreen(1), QStringList{"08:00-08:30 X"});
    QCOMPARE(e.onScreen(2), QStringList{"08:00-08:05 20"});
    e.action("mnuEditRedo")->trigger();
    QCOMPARE(e.onScreen(1), QStringList{"08:10-08:40 X"});
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:30 X"});
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

LUNARIS_TEST_MAIN(TestBalanceCommands)
#include "tst_balancecommands.moc"
