#include "MainWindowFixture.h"
#include "TestMain.h"
#include "dayview/DayView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Three chairs from 08:00 to 18:00 in 10-minute rows; KONT lasts 30 minutes.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(3, QSize(1000, 700))
    {
        ctx.tempDatabase.addTreatment("KONT", 30, 0, 10, 0, 0, 20);
        start();
        newDay();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    // A key pressed on whatever has the focus.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        QTest::keyClick(focused, key, modifiers);
    }
    DayView* focusedColumn() const { return qobject_cast<DayView*>(QApplication::focusWidget()); }
};
} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void theWholePathWithoutAMouse();
    void cursorMovesAndScrolls_data();
    void cursorMovesAndScrolls();
    void keysActOnAVisibleRow_data();
    void keysActOnAVisibleRow();
};

void TestKeyboard::theWholePathWithoutAMouse()
{
    Editor e;
    auto* combo = e.window->findChild<QComboBox*>("DBComboBeh");
    combo->setFocus(Qt::TabFocusReason);
    e.key(Qt::Key_K); // the list finds the code by its first letter
    QCOMPARE(e.ctx.state.CurrentBeh, QString("KONT"));

    // Tab goes from the treatment list to the first chair.
    e.key(Qt::Key_Tab);
    QCOMPARE(e.focusedColumn(), e.window->SSDay1(0));
    e.key(Qt::Key_Down);
    QCOMPARE(e.focusedColumn()->cursorRow(), 1);
    e.key(Qt::Key_Space);
    QCOMPARE(e.onScreen(0), QStringList{"08:10-08:40 KONT"});
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), QString("20"));
    QVERIFY(e.ctx.state.modified());

    // Right: the next chair, same row; Enter places there too.
    e.key(Qt::Key_Right);
    QCOMPARE(e.focusedColumn(), e.window->SSDay1(1));
    QCOMPARE(e.focusedColumn()->cursorRow(), 1);
    e.key(Qt::Key_Return);
    QCOMPARE(e.onScreen(1), QStringList{"08:10-08:40 KONT"});
    // Up and Space over the block's start: refused as a click would be.
    e.key(Qt::Key_Up);
    e.ctx.messages.answer(QMessageBox::Ok);
    e.key(Qt::Key_Space);
    e.expectBox("Termine überlappen!", "Lunaris", QMessageBox::NoIcon);
    QCOMPARE(e.onScreen(1), QStringList{"08:10-08:40 KONT"});

    // Copy the block of chair 1, paste it at the end of chair 3's day and at its first row.
    e.key(Qt::Key_Left);
    e.key(Qt::Key_Down);
    e.key(Qt::Key_C, Qt::ControlModifier);
    e.key(Qt::Key_Right);
    e.key(Qt::Key_Right);
    QCOMPARE(e.focusedColumn(), e.window->SSDay1(2));
    e.key(Qt::Key_Right); // the doctor column is read, not edited: Space there places nothing
    QCOMPARE(e.focusedColumn(), e.window->SSDay1(3));
    e.key(Qt::Key_Space);
    QCOMPARE(e.onScreen(2), QStringList());
    e.key(Qt::Key_Left);
    QCOMPARE(e.focusedColumn(), e.window->SSDay1(2));
    e.key(Qt::Key_Home);
    e.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e.onScreen(2), QStringList{"08:00-08:30 KONT"});
    QCOMPARE(e.action("mnuEditUndo")->text(), QString("&Rückgängig: KONT nach Stuhl 3 um 08:00 kopiert"));
    e.ctx.messages.answer(QMessageBox::Ok);
    e.key(Qt::Key_V, Qt::ControlModifier); // the same place again: refused
    e.expectBox("Termine überlappen!", "Lunaris", QMessageBox::NoIcon);
    e.key(Qt::Key_End);
    e.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e.onScreen(2), QStringList({"08:00-08:30 KONT", "17:50-18:20 KONT"}));

    // Information on the block at the cursor (Shift+F10 and the context key), then Delete.
    e.key(Qt::Key_Home);
    e.ctx.messages.answer(QMessageBox::Ok);
    e.key(Qt::Key_F10, Qt::ShiftModifier);
    e.expectBox("KONT dauert 30 min.\rAnzahl = 4", "Info", QMessageBox::Information);
    e.ctx.messages.answer(QMessageBox::Ok);
    e.key(Qt::Key_Menu);
    QCOMPARE(e.ctx.messages.shown().size(), 4);
    e.key(Qt::Key_Delete);
    QCOMPARE(e.onScreen(2), QStringList{"17:50-18:20 KONT"});
    e.key(Qt::Key_Down);
    e.key(Qt::Key_Menu); // no block: nothing to tell
    QCOMPARE(e.ctx.messages.shown().size(), 4);

    // Undo with the keyboard from the column.
    e.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.onScreen(2), QStringList({"08:00-08:30 KONT", "17:50-18:20 KONT"}));
    QCOMPARE(e.onScreen(3), QStringList({"08:00-08:05 10", "08:10-08:15 20", "17:50-17:55 10"}));
    e.expectNothingPending();
}

void TestKeyboard::cursorMovesAndScrolls_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("row");
    QTest::newRow("up at the top stays") << QList<int>{Qt::Key_Up} << 0;
    QTest::newRow("down twice") << QList<int>{Qt::Key_Down, Qt::Key_Down} << 2;
    QTest::newRow("end") << QList<int>{Qt::Key_End} << 59;
    QTest::newRow("end and down stays") << QList<int>{Qt::Key_End, Qt::Key_Down} << 59;
    QTest::newRow("end then home") << QList<int>{Qt::Key_End, Qt::Key_Home} << 0;
    QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << -1; // by one visible page
    QTest::newRow("page down and up") << QList<int>{Qt::Key_PageDown, Qt::Key_PageUp} << 0;
}

void TestKeyboard::cursorMovesAndScrolls()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, row);
    Editor e;
    DayView* column = e.window->SSDay1(1);
    column->setFocus(Qt::TabFocusReason);
    int page = 0; // rows in view
    while (column->pointOfRow(page).y() >= 0)
        ++page;
    for (int key : keys)
        e.key(Qt::Key(key));
    const int expected = row < 0 ? page : row;
    QVERIFY(page > 1 && page < 59);
    QCOMPARE(column->cursorRow(), expected);
    // The cursor row is in view, and every column shows the same rows.
    QVERIFY(column->pointOfRow(expected).y() >= 0);
    for (int i = 0; i <= 3; ++i)
        QCOMPARE(e.window->SSDay1(i)->firstRow(), column->firstRow());
}

void TestKeyboard::keysActOnAVisibleRow_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("cursor"); // the row afterwards; the cursor started at row 2
    QTest::addColumn<QStringList>("chair1");
    QTest::newRow("Space places at the cursor, shown again")
        << int(Qt::Key_Space) << 2 << QStringList{"08:20-08:50 KONT"};
    QTest::newRow("Down moves on from the cursor, shown again") << int(Qt::Key_Down) << 3 << QStringList{};
}

void TestKeyboard::keysActOnAVisibleRow()
{
    QFETCH(int, key);
    QFETCH(int, cursor);
    QFETCH(QStringList, chair1);
    Editor e;
    e.window->findChild<QComboBox*>("DBComboBeh")->setCurrentText("KONT");
    DayView* column = e.window->SSDay1(0);
    column->setFocus(Qt::TabFocusReason);
    column->setCursorRow(2);
    // AM<>PM scrolls the cursor out of view.
    e.window->findChild<QPushButton*>("cmdZeit")->click();
    QVERIFY(column->firstRow() > 2);
    column->setFocus(Qt::TabFocusReason);
    QTest::keyClick(column, Qt::Key(key));
    QCOMPARE(column->cursorRow(), cursor);
    QVERIFY(column->firstRow() <= cursor && column->rowRect(cursor).isValid());
    QCOMPARE(e.onScreen(0), chair1);
}

LUNARIS_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
