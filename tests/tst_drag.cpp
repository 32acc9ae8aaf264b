#include "MainWindowFixture.h"
#include "TestMain.h"
#include "dayview/DayView.h"
#include "store/Database.h"
#include "store/Tables.h"

#include <QDialog>
#include <QLineEdit>
#include <QScreen>

namespace {
// Three chairs from 08:00 to 23:50 in 10-minute rows; chair 1 holds KONT at 08:00, chair 2 KONT at
// 09:00, chair 1 LANG at 22:00.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(3, QSize(1000, 700))
    {
        ctx.tempSettings.write("Kavemo", "Praxis", "ZuZeit", "23:50");
        ctx.tempDatabase.addTreatment("KONT", 30, 0, 10, 0, 0, 20);
        ctx.tempDatabase.addTreatment("LANG", 90, 0, 0, 0, 0, 100);
        start();
        newDay();
        choose("KONT");
        click(0, "08:00");
        click(1, "09:00");
        choose("LANG");
        click(0, "22:00");
        window->SSDay1(0)->setFirstRow(0);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    QStringList picture() const
    {
        QStringList all;
        for (int c = 0; c <= 3; ++c)
            all.append(QString::number(c) + ": " + onScreen(c).join(", "));
        all.append("Honorar " + window->findChild<QLineEdit*>("txtHon")->text());
        return all;
    }
};
} // namespace

class TestDrag : public QObject {
    Q_OBJECT
private slots:
    void dragAndDrop_data();
    void dragAndDrop();
    void undoDuringDrag_data();
    void undoDuringDrag();
    void anyDialogEndsTheDrag_data();
    void anyDialogEndsTheDrag();
    void theOutlineLeavesNoTrace_data();
    void theOutlineLeavesNoTrace();
    void liveChangeEndsTheDrag_data();
    void liveChangeEndsTheDrag();
};

void TestDrag::dragAndDrop_data()
{
    QTest::addColumn<QString>("from");   // time in chair 1
    QTest::addColumn<int>("toColumn");   // column under the block's top edge at the drop
    QTest::addColumn<QString>("to");     // row under the block's top edge
    QTest::addColumn<bool>("ctrl");      // copy
    QTest::addColumn<QString>("how");    // "drop" or "esc"
    QTest::addColumn<QString>("chair1"); // chair 1 afterwards; the others follow from it
    QTest::addColumn<QString>("chair2");
    QTest::addColumn<QString>("outcome"); // step in the menu, "refused" (message) or "nothing"
    QTest::newRow("move to another chair and row") << "08:10" << 2 << "10:00" << false << "drop"
                                                   << "22:00-23:30 LANG"
                                                   << "09:00-09:30 KONT"
                                                   << "KONT nach Stuhl 3 um 10:00 verschoben";
    QTest::newRow("move down its own chair, over its old place") << "08:20" << 0 << "08:20" << false << "drop"
                                                                 << "22:00-23:30 LANG, 08:20-08:50 KONT"
                                                                 << "09:00-09:30 KONT"
                                                                 << "KONT nach Stuhl 1 um 08:20 verschoben";
    QTest::newRow("copy with Ctrl") << "08:00" << 1 << "08:30" << true << "drop"
                                    << "08:00-08:30 KONT, 22:00-23:30 LANG"
                                    << "09:00-09:30 KONT, 08:30-09:00 KONT"
                                    << "KONT nach Stuhl 2 um 08:30 kopiert";
    QTest::newRow("overlap refused") << "08:00" << 1 << "08:40" << false << "drop"
                                     << "08:00-08:30 KONT, 22:00-23:30 LANG"
                                     << "09:00-09:30 KONT"
                                     << "refused";
    QTest::newRow("copy over itself refused") << "08:00" << 0 << "08:10" << true << "drop"
                                              << "08:00-08:30 KONT, 22:00-23:30 LANG"
                                              << "09:00-09:30 KONT"
                                              << "refused";
    QTest::newRow("past midnight refused") << "22:30" << 2 << "23:00" << false << "drop"
                                           << "08:00-08:30 KONT, 22:00-23:30 LANG"
                                           << "09:00-09:30 KONT"
                                           << "refused";
    QTest::newRow("onto the doctor column") << "08:00" << 3 << "10:00" << false << "drop"
                                            << "08:00-08:30 KONT, 22:00-23:30 LANG"
                                            << "09:00-09:30 KONT"
                                            << "nothing";
    QTest::newRow("cancelled with Esc") << "08:00" << 2 << "10:00" << false << "esc"
                                        << "08:00-08:30 KONT, 22:00-23:30 LANG"
                                        << "09:00-09:30 KONT"
                                        << "nothing";
}

void TestDrag::dragAndDrop()
{
    QFETCH(QString, from);
    QFETCH(int, toColumn);
    QFETCH(QString, to);
    QFETCH(bool, ctrl);
    QFETCH(QString, how);
    QFETCH(QString, chair1);
    QFETCH(QString, chair2);
    QFETCH(QString, outcome);
    Editor e;
    const QStringList before = e.picture();
    const QString stepBefore = e.action("mnuEditUndo")->text();
    DayView* source = e.window->SSDay1(0);
    DayView* target = e.window->SSDay1(toColumn);
    QString blockStart;
    for (const DayBlock& b : source->model().blocks())
        if (b.startTime <= from && from < b.endTime)
            blockStart = b.startTime;
    source->setFirstRow(std::min(source->rowOfTime(blockStart), target->rowOfTime(to)));

    // Pressed inside the block, some rows below its top: the top edge decides where it lands.
    const QPoint press = source->pointOfRow(source->rowOfTime(from));
    const int below = press.y() - source->pointOfRow(source->rowOfTime(blockStart)).y();
    const QPoint drop =
        source->mapFromGlobal(target->mapToGlobal(target->pointOfRow(target->rowOfTime(to)) + QPoint(0, below + 1)));
    const Qt::KeyboardModifiers modifiers = ctrl ? Qt::ControlModifier : Qt::NoModifier;
    QTest::mousePress(source, Qt::LeftButton, modifiers, press);
    QTest::mouseMove(source, press + QPoint(0, 1)); // not yet a drag
    QVERIFY(!target->hasDropOutline());
    QTest::mouseMove(source, drop);
    QCOMPARE(target->hasDropOutline(), toColumn != 3); // outlined in a chair, never in the doctor column
    if (how == "esc") {
        QCOMPARE(QApplication::focusWidget(), source); // the press gave the column the focus
        QTest::keyClick(source, Qt::Key_Escape);
        QVERIFY(!target->hasDropOutline());
    } else if (outcome == "refused") {
        e.ctx.messages.answer(QMessageBox::Ok);
    }
    QTest::mouseRelease(source, Qt::LeftButton, modifiers, drop);
    QVERIFY(!target->hasDropOutline());

    QCOMPARE(e.onScreen(0).join(", "), chair1);
    QCOMPARE(e.onScreen(1).join(", "), chair2);
    if (outcome == "refused") {
        e.expectBox("Termine überlappen!", "Lunaris", QMessageBox::NoIcon);
        QCOMPARE(e.picture(), before);
    } else if (outcome == "nothing") {
        QVERIFY(e.ctx.messages.shown().isEmpty()); // a drag is no click: no information box
        QCOMPARE(e.picture(), before);
    } else {
        // One step on the history: undo restores blocks, doctor column and fee.
        QCOMPARE(e.action("mnuEditUndo")->text(), "&Rückgängig: " + outcome);
        QVERIFY(e.picture() != before);
        e.action("mnuEditUndo")->trigger();
        QCOMPARE(e.picture(), before);
    }
    QCOMPARE(e.action("mnuEditUndo")->text(), stepBefore);

    // A press and release without movement is still the click on the block.
    e.ctx.messages.answer(QMessageBox::Ok);
    e.click(0, "08:00");
    e.expectBox("KONT dauert 30 min.\rAnzahl = 2", "Info", QMessageBox::Information);
    e.expectNothingPending();
}

void TestDrag::undoDuringDrag_data()
{
    QTest::addColumn<QString>("from"); // the dragged block's time in chair 1
    QTest::addColumn<QString>("chair1");
    // LANG, the last step, is undone under the held button; its index names no block any more.
    QTest::newRow("the dragged block is undone") << "22:30"
                                                 << "08:00-08:30 KONT";
    // KONT keeps its index, but the drag started on a day that no longer is.
    QTest::newRow("another block is undone") << "08:00"
                                             << "08:00-08:30 KONT";
}

void TestDrag::undoDuringDrag()
{
    QFETCH(QString, from);
    QFETCH(QString, chair1);
    Editor e;
    DayView* source = e.window->SSDay1(0);
    DayView* target = e.window->SSDay1(2);
    source->setFirstRow(std::max(0, source->rowOfTime(from) - 1));
    const QPoint pressAt = source->pointOfRow(source->rowOfTime(from));
    const QPoint drop = source->mapFromGlobal(target->mapToGlobal(target->pointOfRow(source->rowOfTime(from) + 2)));
    QTest::mousePress(source, Qt::LeftButton, Qt::NoModifier, pressAt);
    QTest::mouseMove(source, drop);
    QVERIFY(target->hasDropOutline());
    QTest::keyClick(source, Qt::Key_Z, Qt::ControlModifier); // the window's shortcut, the button still held
    QVERIFY(!target->hasDropOutline());
    QTest::mouseRelease(source, Qt::LeftButton, Qt::NoModifier, drop);

    // Nothing dropped, no message, no click: only the undo happened.
    QCOMPARE(e.onScreen(0).join(", "), chair1);
    QCOMPARE(e.onScreen(1).join(", "), "09:00-09:30 KONT");
    QCOMPARE(e.onScreen(2).join(", "), "");
    QCOMPARE(e.action("mnuEditUndo")->text(), "&Rückgängig: KONT in Stuhl 2 um 09:00");
    e.expectNothingPending();
    QVERIFY(e.ctx.messages.shown().isEmpty());
}

void TestDrag::anyDialogEndsTheDrag_data()
{
    QTest::addColumn<QString>("interruption");
    QTest::addColumn<QString>("chair1"); // afterwards
    const QString unchanged = "08:00-08:30 KONT, 22:00-23:30 LANG";
    QTest::newRow("a modal dialog over the window") << "dialog" << unchanged;
    QTest::newRow("the settings dialog, cancelled") << "settings" << unchanged;
    QTest::newRow("New, answering Nein") << "new"
                                         << "";
    QTest::newRow("New, answering Abbrechen") << "new cancelled" << unchanged;
}

void TestDrag::anyDialogEndsTheDrag()
{
    QFETCH(QString, interruption);
    QFETCH(QString, chair1);
    Editor e;
    DayView* source = e.window->SSDay1(0);
    DayView* target = e.window->SSDay1(2);
    const QPoint pressAt = source->pointOfRow(source->rowOfTime("08:00"));
    const QPoint drop = source->mapFromGlobal(target->mapToGlobal(target->pointOfRow(source->rowOfTime("10:00"))));
    QTest::mousePress(source, Qt::LeftButton, Qt::NoModifier, pressAt);
    QTest::mouseMove(source, drop);
    QVERIFY(target->hasDropOutline());
    if (interruption == "dialog") {
        QDialog dialog(e.window.get());
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        dialog.reject();
    } else if (interruption == "settings") {
        e.ctx.modals.handleNext([](QDialog& d) { d.reject(); });
        e.action("mnuPref")->trigger();
    } else {
        e.ctx.messages.answer(interruption == "new" ? QMessageBox::No : QMessageBox::Cancel);
        e.action("mnuFileNew")->trigger();
    }
    QVERIFY(!target->hasDropOutline());
    // The release the dialog took, arriving late, moves nothing; neither does the next click's release.
    QTest::mouseRelease(source, Qt::LeftButton, Qt::NoModifier, drop);
    QCOMPARE(e.onScreen(0).join(", "), chair1);
    QCOMPARE(e.onScreen(2).join(", "), "");
    e.expectNothingPending();
}

void TestDrag::theOutlineLeavesNoTrace_data()
{
    QTest::addColumn<QList<int>>("rows"); // rows of chair 3 the block's top edge passes, one after the other
    QTest::newRow("one row at a time, each outline over the last") << QList<int>{6, 7, 8, 9};
    QTest::newRow("jumps") << QList<int>{2, 12, 4};
    QTest::newRow("refused where it overlaps") << QList<int>{4, 1, 5};
}

// The outline redraws only its old and new places as it follows the mouse: what the window shows
// (its backing store, not a fresh rendering) is the same as before once the drag is cancelled.
void TestDrag::theOutlineLeavesNoTrace()
{
    QFETCH(QList<int>, rows);
    Editor e;
    DayView* source = e.window->SSDay1(0);
    DayView* target = e.window->SSDay1(2);
    e.choose("KONT");
    e.click(2, "08:20"); // the refused row: KONT 08:20-08:50 in chair 3
    QApplication::processEvents();
    const auto shown = [&] {
        const QImage window = e.window->screen()->grabWindow(e.window->winId()).toImage();
        return window.copy(QRect(target->mapTo(e.window.get(), QPoint(0, 0)), target->size()));
    };
    // The press takes the focus (and its cursor frame) from chair 3.
    const QPoint press = source->pointOfRow(0);
    QTest::mousePress(source, Qt::LeftButton, Qt::NoModifier, press);
    QApplication::processEvents();
    const QImage before = shown();
    for (const int row : rows) {
        QTest::mouseMove(source, source->mapFromGlobal(target->mapToGlobal(target->pointOfRow(row))));
        QVERIFY(target->hasDropOutline());
        QApplication::processEvents();
        QVERIFY(shown() != before);
    }
    QTest::keyClick(source, Qt::Key_Escape);
    QApplication::processEvents();
    QTest::mouseRelease(source, Qt::LeftButton, Qt::NoModifier, press);
    QVERIFY(!target->hasDropOutline());
    QCOMPARE(shown(), before);
    e.expectNothingPending();
}

void TestDrag::liveChangeEndsTheDrag_data()
{
    QTest::addColumn<QString>("change"); // made at another workstation while the button is held
    QTest::addColumn<QStringList>("chair1");
    QTest::addColumn<QStringList>("chair3");
    QTest::newRow("the day saved there: reloaded") << "day" << QStringList({"08:30-09:00 KONT"}) << QStringList();
    QTest::newRow("the second chair deleted there") << "chair" << QStringList({"08:00-08:30 KONT"}) << QStringList();
}

// A day read again, or columns that follow a chair deleted elsewhere, under a held button: the drag started on
// a day that no longer is, so nothing is dropped at the release.
void TestDrag::liveChangeEndsTheDrag()
{
    QFETCH(QString, change);
    QFETCH(QStringList, chair1);
    QFETCH(QStringList, chair3);
    MainWindowFixture f(3, QSize(1000, 700));
    f.ctx.tempDatabase.addTreatment("KONT", 30);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:30");
    f.start();
    f.ctx.state.DayOpen = true;
    f.ctx.state.CurrentIdealtag = "Montag";
    f.window->Termin_load();
    f.window->switchOn(true);
    f.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    DayView* source = f.window->SSDay1(0);
    DayView* target = f.window->SSDay1(2);
    source->setFirstRow(std::max(0, source->rowOfTime("08:00") - 1));
    const QPoint drop = source->mapFromGlobal(target->mapToGlobal(target->pointOfRow(source->rowOfTime("10:00"))));
    QTest::mousePress(source, Qt::LeftButton, Qt::NoModifier, source->pointOfRow(source->rowOfTime("08:00")));
    QTest::mouseMove(source, drop);
    QVERIFY(target->hasDropOutline());

    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    if (change == "day") {
        IdealDayStore(elsewhere).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:30", "09:00"}});
        QTRY_COMPARE_WITH_TIMEOUT(f.onScreen(0), chair1, 3000);
    } else {
        elsewhere.run("DELETE FROM Stuhl WHERE STUHL = ?", {"Stuhl 2"});
        QTRY_COMPARE_WITH_TIMEOUT(f.ctx.state.ChairCount, 2, 3000);
    }
    QVERIFY(!target->hasDropOutline());
    QTest::mouseRelease(source, Qt::LeftButton, Qt::NoModifier, drop);
    QCOMPARE(f.onScreen(0), chair1);
    QCOMPARE(f.onScreen(1), QStringList());
    QCOMPARE(f.onScreen(2), chair3);
    QVERIFY(!f.ctx.state.modified());
    f.expectNothingPending();
    QVERIFY(f.ctx.messages.shown().isEmpty());
}

LUNARIS_TEST_MAIN(TestDrag)
#include "tst_drag.moc"
