#include "MainWindowFixture.h"
#include "TestMain.h"
#include "dayview/DayView.h"

#include <QAccessible>
#include <QComboBox>

namespace {
// Three chairs; KONT (30 min) needs the doctor for its first 10 minutes.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(3, QSize(1000, 700))
    {
        ctx.tempDatabase.addTreatment("KONT", 30, 0, 10, 0, 0, 20);
        start();
        newDay();
        choose("KONT");
        click(0, "08:10");
        click(1, "08:10");
        click(2, "09:00");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
};

QString nameOf(QAccessibleInterface* item)
{
    return item ? item->text(QAccessible::Name) : QString("(keins)");
}
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void theTreeOfADay_data();
    void theTreeOfADay();
    void theCursorIsTheFocus();
    void theControlsBesideTheColumnsAreNamed_data();
    void theControlsBesideTheColumnsAreNamed();
};

void TestAccessibility::theTreeOfADay_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("row"); // what the row item is called
    QTest::newRow("free row") << 0 << "Stuhl 1"
                              << "08:00"
                              << "08:00";
    QTest::newRow("row where a block starts") << 0 << "Stuhl 1"
                                              << "08:10"
                                              << "08:10 KONT bis 08:40";
    QTest::newRow("row inside a block") << 1 << "Stuhl 2"
                                        << "08:20"
                                        << "08:20";
    QTest::newRow("third chair") << 2 << "Stuhl 3"
                                 << "09:00"
                                 << "09:00 KONT bis 09:30";
    QTest::newRow("doctor row, overloaded") << 3 << "Dr.-Zeit"
                                            << "08:10"
                                            << "08:10 20 Minuten überlastet";
    QTest::newRow("doctor row") << 3 << "Dr.-Zeit"
                                << "09:00"
                                << "09:00 10 Minuten";
    QTest::newRow("doctor row without demand") << 3 << "Dr.-Zeit"
                                               << "08:20"
                                               << "08:20";
}

void TestAccessibility::theTreeOfADay()
{
    QFETCH(int, column);
    QFETCH(QString, name);
    QFETCH(QString, time);
    QFETCH(QString, row);
    Editor e;
    DayView* view = e.window->SSDay1(column);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::List);
    QCOMPARE(list->text(QAccessible::Name), name);
    QCOMPARE(list->childCount(), view->rowCount());
    QAccessibleInterface* item = list->child(view->rowOfTime(time));
    QVERIFY(item);
    QCOMPARE(item->role(), QAccessible::ListItem);
    QCOMPARE(item->text(QAccessible::Name), row);
    QCOMPARE(item->parent(), list);
    QCOMPARE(list->indexOfChild(item), view->rowOfTime(time));
    // The item lies over its row on screen.
    QCOMPARE(list->childAt(item->rect().center().x(), item->rect().center().y()), item);
}

void TestAccessibility::theCursorIsTheFocus()
{
    Editor e;
    e.window->findChild<QComboBox*>("DBComboBeh")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    DayView* view = e.window->SSDay1(0);
    QCOMPARE(QApplication::focusWidget(), view);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
    QCOMPARE(nameOf(list->focusChild()), QString("08:00"));
    QVERIFY(list->focusChild()->state().focused);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(nameOf(list->focusChild()), QString("08:10 KONT bis 08:40"));
    QVERIFY(!list->child(0)->state().focused);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(nameOf(list->focusChild()), QString("(keins)")); // the focus went to the next chair
    QCOMPARE(nameOf(QAccessible::queryAccessibleInterface(e.window->SSDay1(1))->focusChild()),
             QString("08:10 KONT bis 08:40"));
}

void TestAccessibility::theControlsBesideTheColumnsAreNamed_data()
{
    QTest::addColumn<QString>("command"); // the menu item that opens the dialog holding it; empty: the main window
    QTest::addColumn<QString>("control"); // object name
    QTest::addColumn<int>("role");
    // What a screen reader names it by: the label related to it, else its own name.
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value"); // and what it reads as its content (none for a list of names)
    QTest::newRow("treatment list") << ""
                                    << "DBComboBeh" << int(QAccessible::ComboBox) << "Auswahl:"
                                    << "KONT";
    QTest::newRow("fee box") << ""
                             << "txtHon" << int(QAccessible::EditableText) << "Honorar:"
                             << "60";
    QTest::newRow("stored days of the Open dialog")
        << "mnuFileOpen"
        << "DBListIdealtag" << int(QAccessible::List) << "Vorhanden:" << QString();
}

void TestAccessibility::theControlsBesideTheColumnsAreNamed()
{
    QFETCH(QString, command);
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, label);
    QFETCH(QString, value);
    Editor e;
    bool checked = false;
    const auto check = [&](QWidget* holder) {
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(holder->findChild<QWidget*>(control));
        QVERIFY(item);
        QCOMPARE(int(item->role()), role);
        QStringList labels;
        for (const auto& [other, relation] : item->relations(QAccessible::Label))
            labels.append(other->text(QAccessible::Name));
        if (labels.isEmpty())
            labels.append(item->text(QAccessible::Name));
        QCOMPARE(labels, QStringList{label});
        if (!value.isNull())
            QCOMPARE(item->text(QAccessible::Value), value);
        checked = true;
    };
    if (command.isEmpty()) {
        check(e.window.get());
    } else {
        // The day has unsaved blocks: not saved, the dialog comes.
        e.ctx.messages.answer(QMessageBox::No);
        e.ctx.modals.handleNext([&](QDialog& dialog) {
            check(&dialog);
            dialog.reject();
        });
        e.action(command.toLatin1().constData())->trigger();
        e.expectBox("Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
    QVERIFY(checked);
}

LUNARIS_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
