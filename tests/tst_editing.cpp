#include "DayEdits.h"
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "dayview/DayView.h"
#include "editing/OpenDay.h"
#include "editing/TreatmentRowDelegate.h"
#include "kernel/LunarisState.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QToolTip>
#include <QWindow>

namespace {
// A practice open from `open` to `close`, with treatments of 30, 90 and 0 minutes and two codes
// that differ only in case; the window started at 1000 x 700 pixels.
struct Editor : MainWindowFixture {
    explicit Editor(const QString& open = "08:00", const QString& close = "18:00", int chairs = 3)
        : MainWindowFixture(chairs, QSize(1000, 700))
    {
        ctx.tempSettings.write("Kavemo", "Praxis", "OpenZeit", open);
        ctx.tempSettings.write("Kavemo", "Praxis", "ZuZeit", close);
        ctx.tempDatabase.addTreatment("KONT", 30, 0, 10, 0, 0, 20);
        ctx.tempDatabase.addTreatment("LANG", 90, 0, 0, 0, 0, 100);
        ctx.tempDatabase.addTreatment("NULL", 0, 0, 0, 0, 0, 5);
        ctx.tempDatabase.addTreatment("kont", 10, 0, 0, 0, 0, 1);
        start();
    }
};
} // namespace

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void treatmentDropDown_data();
    void treatmentDropDown();
    void placing_data();
    void placing();
    void placingPastTheClosingTime_data();
    void placingPastTheClosingTime();
    void rightClick();
    void clicksThatDoNothing();
    void overlappingStoredBlocks();
    void treatmentGoneFromTheTable();
    void blockInfoCounts();
    void treatmentTooltips();
    void amPmAndScrollingTogether();
    void doubleClickIsOneClick_data();
    void doubleClickIsOneClick();
    void wheelStepsAddUp_data();
    void wheelStepsAddUp();
    void treatmentCodesAreShownAsTyped();
    void theWholeRoad();
    void treatmentEditorChangesTheNextPlacement();
    void dayFollowsTheTreatmentEditor_data();
    void dayFollowsTheTreatmentEditor();
    void menuItemsOpenTheirWindows();
};

void TestEditing::placing_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QStringList>("expected"); // column 0 afterwards
    QTest::addColumn<QString>("box");          // empty: no box
    const QStringList before{"08:00-08:30 KONT", "09:00-09:30 KONT"};
    QTest::newRow("touching on both sides") << "KONT"
                                            << "08:30" << (before + QStringList{"08:30-09:00 KONT"}) << "";
    QTest::newRow("end inside the next block") << "KONT"
                                               << "08:40" << before << "Termine überlappen!";
    QTest::newRow("on a block: its information") << "KONT"
                                                 << "08:10" << before << "KONT dauert 30 min.\rAnzahl = 2";
    QTest::newRow("enclosing a block") << "LANG"
                                       << "07:50" << before << "Termine überlappen!";
    QTest::newRow("0 minutes at a block's end") << "NULL"
                                                << "08:30" << before << "Termine überlappen!";
    QTest::newRow("0 minutes elsewhere") << "NULL"
                                         << "10:00" << (before + QStringList{"10:00-10:00 NULL"}) << "";
    QTest::newRow("after the last block") << "LANG"
                                          << "09:30" << (before + QStringList{"09:30-11:00 LANG"}) << "";
    QTest::newRow("end carries into the hour") << "KONT"
                                               << "11:50" << (before + QStringList{"11:50-12:20 KONT"}) << "";
}

void TestEditing::placing()
{
    QFETCH(QString, code);
    QFETCH(QString, at);
    QFETCH(QStringList, expected);
    QFETCH(QString, box);
    Editor e("07:00");
    e.newDay();
    QVERIFY(placeBlock(*e.window, 0, "08:00", "08:30", "KONT"));
    QVERIFY(placeBlock(*e.window, 0, "09:00", "09:30", "KONT"));
    e.window->openDay().markSaved();
    e.choose(code);
    if (!box.isEmpty())
        e.ctx.messages.answer(QMessageBox::Ok);
    e.click(0, at);
    QCOMPARE(e.onScreen(0), expected);
    const bool placed = expected.size() > 2;
    QCOMPARE(e.ctx.state.modified(), placed);
    if (placed) {
        QCOMPARE(e.window->SSDay1(0)->item(2).color, QColor(0, 255, 0));
        QVERIFY(e.ctx.messages.shown().isEmpty());
    } else {
        const bool info = box.startsWith("KONT");
        e.expectBox(box, info ? "Info" : "Lunaris", info ? QMessageBox::Information : QMessageBox::NoIcon);
    }
}

void TestEditing::placingPastTheClosingTime_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("status");
    QTest::newRow("ends at the closing time") << "KONT"
                                              << "11:30"
                                              << "Nicht gespeichert";
    QTest::newRow("ends after it") << "KONT"
                                   << "11:50"
                                   << "Nicht gespeichert – Endet nach Praxisschluss (12:00)";
    QTest::newRow("a long one from the last row") << "LANG"
                                                  << "11:50"
                                                  << "Nicht gespeichert – Endet nach Praxisschluss (12:00)";
}

void TestEditing::placingPastTheClosingTime()
{
    QFETCH(QString, code);
    QFETCH(QString, at);
    QFETCH(QString, status);
    Editor e("08:00", "12:00");
    e.newDay();
    e.choose(code);
    e.click(0, at);
    // Placed as a click places it, whatever the closing time.
    QCOMPARE(e.onScreen(0).size(), 1);
    QVERIFY(e.onScreen(0).first().startsWith(at));
    auto* panel = e.window->findChild<QLabel*>("sbStatusBar_Panel1");
    QCOMPARE(panel->text(), status);
    e.action("mnuEditUndo")->trigger();
    QCOMPARE(panel->text(), QString("Keine ungespeicherten Änderungen"));
    QVERIFY(e.ctx.messages.shown().isEmpty());
}

void TestEditing::rightClick()
{
    Editor e;
    e.newDay();
    e.choose("KONT");
    e.click(1, "08:00");
    e.click(1, "09:00");
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), QString("40"));
    e.ctx.modals.handleNext(saveAs("Rechtsklick"));
    e.action("mnuFileSave")->trigger();
    QVERIFY(!e.ctx.state.modified());

    // On a free place nothing is removed, but the day is rebuilt and counts as changed.
    e.window->findChild<QLineEdit*>("txtHon")->setText("alt");
    e.click(1, "10:00", Qt::RightButton);
    QCOMPARE(e.onScreen(1).size(), 2);
    QVERIFY(e.ctx.state.modified());
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), QString("40"));

    e.click(1, "08:20", Qt::RightButton);
    QCOMPARE(e.onScreen(1), QStringList{"09:00-09:30 KONT"});
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), QString("20"));
    QCOMPARE(e.onScreen(3), QStringList{"09:00-09:05 10"});
}

void TestEditing::clicksThatDoNothing()
{
    Editor e;
    e.newDay();
    QVERIFY(placeBlock(*e.window, 0, "08:00", "08:30", "KONT"));
    e.window->openDay().markSaved();
    const QStringList doctor = e.onScreen(3);

    // No treatment chosen: a free place does nothing, a block still tells about itself.
    e.click(0, "10:00");
    QCOMPARE(e.onScreen(0).size(), 1);
    e.ctx.messages.answer(QMessageBox::Ok);
    e.click(0, "08:20");
    e.expectBox("KONT dauert 30 min.\rAnzahl = 1", "Info", QMessageBox::Information);

    e.choose("KONT");
    // The doctor column, with either button.
    e.click(3, "08:00");
    e.click(3, "08:00", Qt::RightButton);
    QCOMPARE(e.onScreen(3), doctor);
    // The header.
    QTest::mouseClick(e.window->SSDay1(1), Qt::LeftButton, {}, QPoint(20, 3));
    QTest::mouseClick(e.window->SSDay1(1), Qt::RightButton, {}, QPoint(20, 3));
    QCOMPARE(e.onScreen(1), QStringList());
    QVERIFY(!e.ctx.state.modified());
    QCOMPARE(e.ctx.messages.shown().size(), 1);
}

void TestEditing::overlappingStoredBlocks()
{
    Editor e;
    e.ctx.tempDatabase.addBlock("Alt", "Stuhl 1", "KONT", "08:00", "08:30");
    e.ctx.tempDatabase.addBlock("Alt", "Stuhl 1", "LANG", "08:10", "09:40");
    e.ctx.modals.handleNext(openName("Alt"));
    e.action("mnuFileOpen")->trigger();
    e.ctx.messages.answer(QMessageBox::Ok);
    e.click(0, "08:20");
    e.expectBox("KONT dauert 30 min.\rAnzahl = 1", "Info", QMessageBox::Information);
    e.click(0, "08:20", Qt::RightButton);
    QCOMPARE(e.onScreen(0), QStringList{"08:10-09:40 LANG"});
}

void TestEditing::treatmentGoneFromTheTable()
{
    Editor e("08:00", "23:50");
    e.newDay();
    e.choose("KONT");
    // Past midnight: refused, nothing changes.
    e.click(0, "23:40");
    QCOMPARE(e.onScreen(0), QStringList());
    QVERIFY(!e.ctx.state.modified());
    // Deleted in the treatment editor while chosen: a click places nothing.
    e.ctx.tempDatabase.exec("DELETE FROM Behand WHERE BEH = 'KONT'");
    e.click(0, "10:00");
    QCOMPARE(e.onScreen(0), QStringList());
    QVERIFY(!e.ctx.state.modified());
    // A changed duration counts from the next click on, without a restart.
    e.ctx.tempDatabase.exec("UPDATE Behand SET DAUER = 40 WHERE BEH = 'LANG'");
    e.choose("LANG");
    e.click(0, "10:00");
    QCOMPARE(e.onScreen(0), QStringList{"10:00-10:40 LANG"});
}

void TestEditing::blockInfoCounts()
{
    Editor e;
    e.newDay();
    e.choose("KONT");
    e.click(0, "08:00");
    e.click(2, "08:00");
    e.click(2, "09:00");
    e.choose("kont");
    e.click(1, "08:00");
    e.ctx.messages.answer(QMessageBox::Ok);
    e.click(2, "09:10");
    e.expectBox("KONT dauert 30 min.\rAnzahl = 3", "Info", QMessageBox::Information);
    e.ctx.messages.answer(QMessageBox::Ok);
    e.click(1, "08:00");
    e.expectBox("kont dauert 10 min.\rAnzahl = 1", "Info", QMessageBox::Information);
}

void TestEditing::treatmentTooltips()
{
    Editor e;
    e.newDay();
    auto* combo = e.window->findChild<QComboBox*>("DBComboBeh");
    QCOMPARE(combo->count(), 4);
    QCOMPARE(combo->itemText(0), QString("KONT"));
    QVERIFY(e.ctx.state.CurrentBeh.isEmpty());
    e.choose("LANG");
    for (int i = 0; i <= 9; ++i) // chairs, the doctor column and hidden columns alike
        QCOMPARE(e.window->SSDay1(i)->toolTip(), QString(" LANG "));
    QCOMPARE(e.window->SSDay1(10)->toolTip(), QString());
}

void TestEditing::amPmAndScrollingTogether()
{
    Editor e("07:00", "18:00"); // 66 rows
    e.newDay();
    auto* amPm = e.window->findChild<QPushButton*>("cmdZeit");
    QTest::mouseClick(amPm, Qt::LeftButton);
    for (int i = 0; i <= 3; ++i)
        QCOMPARE(e.window->SSDay1(i)->firstRow(), 33);
    QCOMPARE(e.window->SSDay1(4)->firstRow(), 0); // hidden columns are not scrolled
    QTest::mouseClick(amPm, Qt::LeftButton);
    for (int i = 0; i <= 3; ++i)
        QCOMPARE(e.window->SSDay1(i)->firstRow(), 0);

    // Scrolling any one column, here with the wheel, moves all.
    DayView* doctor = e.window->SSDay1(3);
    QWheelEvent wheel(QPointF(20, 60), doctor->mapToGlobal(QPointF(20, 60)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(doctor, &wheel);
    QVERIFY(doctor->firstRow() > 0);
    for (int i = 0; i <= 2; ++i)
        QCOMPARE(e.window->SSDay1(i)->firstRow(), doctor->firstRow());
    QCOMPARE(e.window->SSDay1(7)->firstRow(), 0);
}

void TestEditing::doubleClickIsOneClick_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("on a free row: placed once, no information") << "10:00" << QStringList{"10:00-10:30 KONT"};
    QTest::newRow("on a block's second row: no second placement") << "08:10" << QStringList{"08:00-08:30 KONT"};
}

void TestEditing::doubleClickIsOneClick()
{
    QFETCH(QString, at);
    QFETCH(QStringList, expected);
    Editor e;
    e.newDay();
    e.choose("KONT");
    if (at == "08:10")
        e.click(0, "08:00");
    DayView* view = e.window->SSDay1(0);
    const QPoint p = view->pointOfRow(view->rowOfTime(at));
    if (at == "08:10")
        e.ctx.messages.answer(QMessageBox::Ok); // the one click on a block tells about it
    // Through the window system, which makes the second press a double click.
    QTest::mouseDClick(e.window->windowHandle(), Qt::LeftButton, {}, view->mapTo(e.window.get(), p));
    QCOMPARE(e.onScreen(0), expected);
    QCOMPARE(e.ctx.messages.shown().size(), at == "08:10" ? 1 : 0);
}

void TestEditing::wheelStepsAddUp_data()
{
    QTest::addColumn<QList<int>>("deltas"); // eighths of a degree; 120 is one notch
    QTest::addColumn<int>("firstRow");
    QTest::newRow("one notch: three rows") << QList<int>{-120} << 3;
    QTest::newRow("a touchpad's three thirds") << QList<int>{-40, -40, -40} << 3;
    QTest::newRow("two thirds: not yet") << QList<int>{-40, -40} << 0;
    QTest::newRow("remainders carry on") << QList<int>{-150, -90} << 6;
    QTest::newRow("back up") << QList<int>{-240, 60, 60} << 3;
}

void TestEditing::wheelStepsAddUp()
{
    QFETCH(QList<int>, deltas);
    QFETCH(int, firstRow);
    Editor e("07:00", "18:00");
    e.newDay();
    DayView* view = e.window->SSDay1(1);
    for (int delta : deltas) {
        QWheelEvent wheel(QPointF(20, 60), view->mapToGlobal(QPointF(20, 60)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
    }
    for (int i = 0; i <= 3; ++i)
        QCOMPARE(e.window->SSDay1(i)->firstRow(), firstRow);
}

void TestEditing::treatmentCodesAreShownAsTyped()
{
    Editor e;
    e.ctx.tempDatabase.addTreatment("<b>F</b>", 30, 0, 0, 0, 0, 1);
    e.newDay();
    e.choose("<b>F</b>");
    DayView* view = e.window->SSDay1(0);
    QHelpEvent help(QEvent::ToolTip, QPoint(20, 60), view->mapToGlobal(QPoint(20, 60)));
    QApplication::sendEvent(view, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText(), QString(" <b>F</b> "));
    QToolTip::hideText();
}

void TestEditing::theWholeRoad()
{
    Editor e;
    e.newDay();
    e.choose("KONT");
    e.click(0, "08:00");
    e.click(1, "08:00");
    QCOMPARE(e.onScreen(3), QStringList{"08:00-08:05 20"});
    QCOMPARE(e.window->SSDay1(3)->item(0).color, QColor(255, 0, 0));
    e.choose("LANG");
    e.click(2, "10:00");
    e.click(0, "09:00");
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), QString("240"));
    e.ctx.modals.handleNext(saveAs("Donnerstag"));
    e.action("mnuFileSave")->trigger();
    e.window->close();

    // Start again on the same database.
    e.ctx.state = LunarisState();
    e.ctx.state.MaxChairs = 10;
    e.start();
    e.ctx.modals.handleNext(openName("Donnerstag"));
    e.action("mnuFileOpen")->trigger();
    QCOMPARE(e.onScreen(0), QStringList({"08:00-08:30 KONT", "09:00-10:30 LANG"}));
    e.click(0, "09:30", Qt::RightButton);
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.stored("Donnerstag"),
             QStringList({"Stuhl 1|KONT|08:00|08:30", "Stuhl 2|KONT|08:00|08:30", "Stuhl 3|LANG|10:00|11:30"}));
    QVERIFY(!e.ctx.state.modified());
}

void TestEditing::treatmentEditorChangesTheNextPlacement()
{
    Editor e;
    e.newDay();
    e.choose("KONT");
    e.click(0, "08:00");
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:30 KONT"});
    // In the treatment editor: KONT is the first record; its length becomes 45 and is saved.
    e.ctx.modals.handleNext([](QDialog& d) {
        QCOMPARE(d.findChild<QLineEdit*>("txtFields0")->text(), QString("KONT"));
        auto* length = d.findChild<QLineEdit*>("txtFields2");
        length->selectAll();
        QTest::keyClicks(length, "45");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdUpdate"), Qt::LeftButton);
        QTest::mouseClick(d.findChild<QPushButton*>(QString::fromUtf8("cmdSchließen")), Qt::LeftButton);
    });
    e.action("mnuBeh")->trigger();
    e.click(1, "08:00");
    QCOMPARE(e.onScreen(1), QStringList{"08:00-08:45 KONT"});
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:30 KONT"}); // placed blocks keep their times
}

void TestEditing::dayFollowsTheTreatmentEditor_data()
{
    QTest::addColumn<QString>("change"); // what the editor writes to table Behand
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QStringList>("doctor");
    QTest::newRow("nothing") << ""
                             << "40" << QStringList{"08:00-08:05 10", "09:00-09:05 10"};
    QTest::newRow("a fee") << "UPDATE Behand SET HON = 25.5 WHERE BEH = 'KONT'"
                           << "51" << QStringList{"08:00-08:05 10", "09:00-09:05 10"};
    QTest::newRow("a doctor window") << "UPDATE Behand SET DR_DAUER = 20 WHERE BEH = 'KONT'"
                                     << "40"
                                     << QStringList{"08:00-08:05 10", "08:10-08:15 10", "09:00-09:05 10",
                                                    "09:10-09:15 10"};
    QTest::newRow("the code deleted") << "DELETE FROM Behand WHERE BEH = 'KONT'"
                                      << "0" << QStringList{};
}

void TestEditing::dayFollowsTheTreatmentEditor()
{
    QFETCH(QString, change);
    QFETCH(QString, fee);
    QFETCH(QStringList, doctor);
    Editor e;
    e.newDay();
    e.choose("KONT");
    e.click(0, "08:00");
    e.click(1, "09:00");
    e.ctx.modals.handleNext([&](QDialog& d) {
        if (!change.isEmpty())
            e.ctx.tempDatabase.exec(change);
        d.reject();
    });
    e.action("mnuBeh")->trigger();
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), fee);
    QCOMPARE(e.onScreen(3), doctor);
}

void TestEditing::menuItemsOpenTheirWindows()
{
    Editor e;
    const QList<std::pair<const char*, const char*>> items = {{"mnuBeh", "frmBehandT"},
                                                              {"mnuStuhl", "frmStuhlT"},
                                                              {"mnuPref", "frmEinstellungenT"},
                                                              {"mnuHelpAbout", "frmAbout"}};
    QStringList expected;
    for (const auto& [item, dialog] : items) {
        e.ctx.modals.handleNext([](QDialog& d) { d.reject(); });
        e.action(item)->trigger();
        expected.append(dialog);
    }
    QCOMPARE(e.ctx.modals.shownDialogs(), expected);

    // A help file that is not there: its description under the program's title.
    e.ctx.state.HelpFile = e.ctx.tempDatabase.folder() + "/fehlt.html";
    e.ctx.messages.answer(QMessageBox::Ok);
    e.action("mnuHelpSearch")->trigger();
    const MessageRequest box = e.ctx.messages.last();
    QVERIFY2(box.text.startsWith("Die Hilfedatei") && box.text.contains("stichworte.html"), qPrintable(box.text));
    QCOMPARE(box.title, QString("Lunaris"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestEditing::treatmentDropDown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("fee");
    QTest::addColumn<QString>("row");
    QTest::newRow("all fields") << "Kontrolle" << QVariant(25.5) << "KONT – Kontrolle, 20 min, 25,50 €";
    QTest::newRow("no text, a large fee") << "" << QVariant(1234) << "KONT, 20 min, 1.234,00 €";
    QTest::newRow("no fee") << "Kontrolle" << QVariant(0) << "KONT – Kontrolle, 20 min, 0,00 €";
}

void TestEditing::treatmentDropDown()
{
    QFETCH(QString, text);
    QFETCH(QVariant, fee);
    QFETCH(QString, row);
    MainWindowFixture f(2);
    f.ctx.tempDatabase.addTreatment("KONT", 20, 0, 0, 0, 0, fee, text);
    f.ctx.tempDatabase.addTreatment("ERST", 45, 0, 0, 0, 0, 45, "Erstberatung");
    // German amounts also on a system with another language.
    const QLocale system;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    f.start();
    QLocale::setDefault(system);
    auto* combo = f.window->findChild<QComboBox*>("DBComboBeh");
    QVERIFY(dynamic_cast<TreatmentRowDelegate*>(combo->itemDelegate()));
    QCOMPARE(combo->itemData(0, TreatmentRowDelegate::RowTextRole).toString(), row);
    QCOMPARE(combo->itemData(1, TreatmentRowDelegate::RowTextRole).toString(),
             QString("ERST – Erstberatung, 45 min, 45,00 €"));
    // The open list shows every row whole, though the box is narrower.
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    for (int i = 0; i < combo->count(); ++i) {
        const QString text = combo->itemData(i, TreatmentRowDelegate::RowTextRole).toString();
        QVERIFY2(list->viewport()->width() > QFontMetrics(list->font()).horizontalAdvance(text), qPrintable(text));
    }
    QVERIFY(list->viewport()->width() > combo->width());
    combo->hidePopup();
    f.choose("KONT");
    QCOMPARE(combo->currentText(), QString("KONT")); // the chosen entry shows its code
    QCOMPARE(f.ctx.state.CurrentBeh, QString("KONT"));
}

LUNARIS_TEST_MAIN(TestEditing)
#include "tst_editing.moc"
