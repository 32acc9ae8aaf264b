#include "AccessibleEvents.h"
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestContext.h"
#include "TestMain.h"
#include "masterdata/RecordNavigator.h"
#include "masterdata/frmBehandT.h"
#include "masterdata/frmStuhlT.h"
#include "store/DayVersions.h"
#include "store/Tables.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>

#include <functional>
#include <memory>

namespace {
// What the tests need to know about each editor; rows name it by its table.
struct EditorFacts {
    QString caption;
    int nameBox;
    int textBox;
    QString nameField;
};

EditorFacts factsOf(const QString& table)
{
    if (table == QLatin1String("Behand"))
        return {QStringLiteral("Behandlungskürzel"), 0, 1, QStringLiteral("BEH")};
    return {QStringLiteral("Stühle"), 1, 2, QStringLiteral("STUHL")};
}

// Three records; the treatments with a fee that is longer than its box.
void seed(TestContext& ctx, const QString& table)
{
    if (table == QLatin1String("Behand")) {
        ctx.tempDatabase.addTreatment("ERST", 30, 0, 20, 0, 0, 45, "Erstberatung");
        ctx.tempDatabase.addTreatment("BEFU", 40, 10, 15, 30, 5, 62.5, "Befund");
        ctx.tempDatabase.addTreatment("KONT", 20, 10, 5, 0, 0, 18, "Kontrolle");
    } else {
        ctx.tempDatabase.addChair("Stuhl 1", "Fenster");
        ctx.tempDatabase.addChair("Stuhl 2", "Wand");
        ctx.tempDatabase.addChair("Stuhl 3", "Raum 2");
    }
}

std::unique_ptr<RecordEditor> openEditor(TestContext& ctx, const QString& table)
{
    std::unique_ptr<RecordEditor> editor;
    if (table == QLatin1String("Behand"))
        editor = std::make_unique<frmBehandT>(ctx.state, ctx.services);
    else
        editor = std::make_unique<frmStuhlT>(ctx.state, ctx.services);
    editor->show();
    return editor;
}

QStringList stored(TestContext& ctx, const QString& table)
{
    return ctx.tempDatabase.rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
}

QLineEdit* box(QDialog& editor, int index)
{
    return editor.findChild<QLineEdit*>(QStringLiteral("txtFields%1").arg(index));
}

void click(QDialog& editor, const QString& name)
{
    auto* button = editor.findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    button->click();
}

QString caption(QDialog& editor)
{
    return editor.findChild<RecordNavigator*>(QStringLiteral("Data1"))->caption();
}

// Replaces the box's text as a user would: select everything, then type (nothing: delete it).
void type(QLineEdit* target, const QString& text)
{
    target->selectAll();
    if (text.isEmpty())
        QTest::keyClick(target, Qt::Key_Backspace);
    else
        QTest::keyClicks(target, text);
}

// The tables as the family's planner keeps them: no key, no rules on the fields.
void plannerTables(TestContext& ctx)
{
    ctx.tempDatabase.exec("DROP TABLE Stuhl");
    ctx.tempDatabase.exec("CREATE TABLE Stuhl (STUHL, TEXT)");
    ctx.tempDatabase.exec("DROP TABLE Behand");
    ctx.tempDatabase.exec("CREATE TABLE Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON)");
}

void mouseClick(QDialog& editor, const QString& name)
{
    auto* button = editor.findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

const QString kChangedElsewhere = QStringLiteral(
    "Der Datensatz wurde inzwischen von einem anderen Programm geändert oder gelöscht. Er wird neu gelesen.");

} // namespace

class TestMasterData : public QObject {
    Q_OBJECT
private slots:
    void opensOnFirstRecord_data();
    void opensOnFirstRecord();
    void formLayoutAndFocusOrder_data();
    void formLayoutAndFocusOrder();
    void changeThenNextAsks_data();
    void changeThenNextAsks();
    void navigation_data();
    void navigation();
    void saveWritesAtOnce_data();
    void saveWritesAtOnce();
    void refreshDropsChanges_data();
    void refreshDropsChanges();
    void newRecord_data();
    void newRecord();
    void refusedEntries_data();
    void refusedEntries();
    void maxLengths_data();
    void maxLengths();
    void longerStoredValueIsKept();
    void enterAndEscape_data();
    void enterAndEscape();
    void deleteRecord_data();
    void deleteRecord();
    void deleteFailures_data();
    void deleteFailures();
    void noRestartMessage();
    void addWithoutTable();
    void decimalNumbers_data();
    void decimalNumbers();
    void recordsByIdentity_data();
    void recordsByIdentity();
    void chairInUse_data();
    void chairInUse();
    void chairQuestionsAndNamesTwice_data();
    void chairQuestionsAndNamesTwice();
    void openDayFollowsTheChairEditor_data();
    void openDayFollowsTheChairEditor();
};

void TestMasterData::opensOnFirstRecord_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning");
    QTest::newRow("treatments") << "Behand"
                                << "ERST"
                                << "Wenn Sie hier Daten löschen oder ändern, werden Termin- und Template-Daten nicht "
                                   "automatisch aktualisiert!!";
    QTest::newRow("chairs") << "Stuhl"
                            << "Stuhl 1"
                            << "Wenn Sie hier Daten löschen oder ändern, werden Termin-und Template-Daten nicht "
                               "automatisch aktualisiert!!";
}

void TestMasterData::opensOnFirstRecord()
{
    QFETCH(QString, table);
    QFETCH(QString, name);
    QFETCH(QString, warning);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    auto editor = openEditor(ctx, table);
    QCOMPARE(editor->windowTitle(), facts.caption);
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 1"));
    QCOMPARE(box(*editor, facts.nameBox)->text(), name);
    QCOMPARE(editor->findChild<QLabel*>("Label1")->text(), warning);
    QCOMPARE(editor->pos(), editor->screen()->availableGeometry().topLeft());
    QVERIFY(ctx.messages.shown().isEmpty());

    // An empty table shows no record and nothing to type into.
    ctx.tempDatabase.exec(QStringLiteral("DELETE FROM %1").arg(table));
    auto empty = openEditor(ctx, table);
    QCOMPARE(caption(*empty), QStringLiteral("Datensatz: 0"));
    QVERIFY(!box(*empty, facts.nameBox)->isEnabled());
    QVERIFY(box(*empty, facts.nameBox)->text().isEmpty());
}

void TestMasterData::formLayoutAndFocusOrder_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QList<QList<int>>>("rows"); // field indexes per row, left to right
    QTest::addColumn<QStringList>("focusOrder");
    const QStringList buttons = {"cmdAdd", "cmdDelete", "cmdRefresh", "cmdUpdate", "cmdSchließen"};
    // The record buttons come last.
    const QStringList records = {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"};
    QTest::newRow("treatments") << "Behand" << QList<QList<int>>{{0}, {1}, {2, 7}, {3, 4}, {5, 6}}
                                << QStringList{"txtFields0", "txtFields1", "txtFields2", "txtFields7",
                                               "txtFields3", "txtFields4", "txtFields5", "txtFields6"} +
                                       buttons + QStringList{"cmdFarbe"} + records;
    QTest::newRow("chairs") << "Stuhl" << QList<QList<int>>{{1}, {2}}
                            << QStringList{"txtFields1", "txtFields2"} + buttons + records;
}

void TestMasterData::formLayoutAndFocusOrder()
{
    QFETCH(QString, table);
    QFETCH(QList<QList<int>>, rows);
    QFETCH(QStringList, focusOrder);
    TestContext ctx;
    seed(ctx, table);
    auto editor = openEditor(ctx, table);
    int previousTop = -1;
    for (const QList<int>& row : rows) {
        const int top = box(*editor, row.first())->y();
        QVERIFY2(top > previousTop, "rows run from the top down");
        previousTop = top;
        int previousRight = -1;
        for (int index : row) {
            QLineEdit* field = box(*editor, index);
            auto* label = editor->findChild<QLabel*>(QStringLiteral("lblLabels%1").arg(index));
            QVERIFY(label);
            QCOMPARE(field->y(), top);
            QVERIFY2(label->geometry().right() < field->x() && label->x() > previousRight,
                     qPrintable(label->text() + " stands left of its box, after the field before it"));
            QVERIFY(qAbs(label->geometry().center().y() - field->geometry().center().y()) <= 2);
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text() + " is cut off"));
            previousRight = field->geometry().right();
        }
    }
    // The close button at the top right, above "Speichern"; the navigation bar at the bottom.
    auto* close = editor->findChild<QPushButton*>("cmdSchließen");
    auto* update = editor->findChild<QPushButton*>("cmdUpdate");
    QVERIFY(close->y() < box(*editor, rows.at(1).first())->y());
    QCOMPARE(close->geometry().right(), update->geometry().right());
    QVERIFY(editor->findChild<QWidget*>("Data1")->geometry().bottom() > editor->findChild<QLabel*>("Label1")->y());

    QStringList chain;
    QWidget* widget = box(*editor, rows.first().first());
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != box(*editor, rows.first().first()));
    QCOMPARE(chain, focusOrder);
}

void TestMasterData::changeThenNextAsks_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("yes");
    QTest::newRow("treatment, yes") << "Behand" << true;
    QTest::newRow("treatment, no") << "Behand" << false;
    QTest::newRow("chair, yes") << "Stuhl" << true;
    QTest::newRow("chair, no") << "Stuhl" << false;
}

void TestMasterData::changeThenNextAsks()
{
    QFETCH(QString, table);
    QFETCH(bool, yes);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    const QStringList before = stored(ctx, table);
    auto editor = openEditor(ctx, table);
    type(box(*editor, facts.textBox), "Neuer Text");
    ctx.messages.answer(yes ? QMessageBox::Yes : QMessageBox::No);
    click(*editor, "cmdNext");
    compareBox(ctx.messages.last(), "Möchten Sie die Änderungen speichern?", facts.caption, QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 2"));
    const QStringList after = stored(ctx, table);
    QCOMPARE(after.mid(1), before.mid(1));
    QCOMPARE(after.first().contains("|Neuer Text"), yes);
    // Going back shows what is stored, not what was typed.
    click(*editor, "cmdFirst");
    QCOMPARE(box(*editor, facts.textBox)->text() == "Neuer Text", yes);
    QCOMPARE(ctx.messages.shown().size(), 1);
    QVERIFY(!ctx.state.ChairsChanged);
}

void TestMasterData::navigation_data()
{
    QTest::addColumn<QString>("start"); // button pressed first, from record 1
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("first") << "cmdNext"
                           << "cmdFirst" << 1;
    QTest::newRow("previous") << "cmdNext"
                              << "cmdPrevious" << 1;
    QTest::newRow("previous at the first stays") << "cmdFirst"
                                                 << "cmdPrevious" << 1;
    QTest::newRow("next") << "cmdNext"
                          << "cmdNext" << 3;
    QTest::newRow("last") << "cmdFirst"
                          << "cmdLast" << 3;
    QTest::newRow("next at the last stays") << "cmdLast"
                                            << "cmdNext" << 3;
    QTest::newRow("Ctrl+Page Down") << "cmdFirst"
                                    << "Ctrl+PgDown" << 2;
    QTest::newRow("Ctrl+Page Up") << "cmdLast"
                                  << "Ctrl+PgUp" << 2;
    QTest::newRow("Ctrl+Page Down at the last stays") << "cmdLast"
                                                      << "Ctrl+PgDown" << 3;
}

void TestMasterData::navigation()
{
    QFETCH(QString, start);
    QFETCH(QString, button);
    QFETCH(int, expected);
    TestContext ctx;
    seed(ctx, "Behand");
    auto editor = openEditor(ctx, "Behand");
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    QCOMPARE(QApplication::focusWidget(), box(*editor, 0));
    click(*editor, start);
    AccessibleEvents events;
    if (button.startsWith("Ctrl+")) {
        const QKeyCombination key = QKeySequence(button)[0];
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    } else {
        click(*editor, button);
    }
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: %1").arg(expected));
    QCOMPARE(box(*editor, 0)->text(), QStringList({"ERST", "BEFU", "KONT"}).at(expected - 1));
    // The caption has only the number; a screen reader hears the place in the table.
    QCOMPARE(events.announcements(), QStringList{QStringLiteral("Datensatz %1 von 3").arg(expected)});
}

void TestMasterData::saveWritesAtOnce_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("treatments") << "Behand";
    QTest::newRow("chairs") << "Stuhl";
}

void TestMasterData::saveWritesAtOnce()
{
    QFETCH(QString, table);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    auto editor = openEditor(ctx, table);
    click(*editor, "cmdNext");
    type(box(*editor, facts.textBox), "Geaendert");
    if (table == QLatin1String("Behand"))
        type(box(*editor, 2), "45");
    click(*editor, "cmdUpdate");
    QVERIFY(ctx.messages.shown().isEmpty());
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 2"));
    QCOMPARE(box(*editor, facts.textBox)->text(), QStringLiteral("Geaendert"));

    // Committed: another connection to the file sees it, and so does the program's own look-up.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(ctx.tempDatabase.path());
        QVERIFY(other.open());
        QSqlQuery query(QStringLiteral("SELECT TEXT FROM %1 WHERE rowid = 2").arg(table), other);
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("Geaendert"));
    }
    QSqlDatabase::removeDatabase("other");
    if (table == QLatin1String("Behand"))
        QCOMPARE(TreatmentTable(ctx.services.database).find("BEFU")->dauer.toInt(), 45);
    QCOMPARE(ctx.state.ChairsChanged, table == QLatin1String("Stuhl"));

    // Saved entries bring no question when the editor closes, nor a restart notice.
    click(*editor, "cmdSchließen");
    QVERIFY(!editor->isVisible());
    QCOMPARE(ctx.messages.shown().size(), 0);
}

void TestMasterData::refreshDropsChanges_data()
{
    saveWritesAtOnce_data();
}

void TestMasterData::refreshDropsChanges()
{
    QFETCH(QString, table);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    const QStringList before = stored(ctx, table);
    auto editor = openEditor(ctx, table);
    click(*editor, "cmdNext");
    type(box(*editor, facts.nameBox), "XX");
    click(*editor, "cmdRefresh");
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 1"));
    QCOMPARE(box(*editor, facts.nameBox)->text(), before.first().section('|', 0, 0));
    // A record begun with "Neu" goes as well.
    click(*editor, "cmdAdd");
    type(box(*editor, facts.nameBox), "YY");
    click(*editor, "cmdRefresh");
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 1"));
    click(*editor, "cmdSchließen");
    QVERIFY(!editor->isVisible());
    QVERIFY(ctx.messages.shown().isEmpty());
    QCOMPARE(stored(ctx, table), before);
    // It reads the table again: a row stored meanwhile by another program shows up.
    ctx.tempDatabase.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES ('Neu')").arg(table, facts.nameField));
    auto second = openEditor(ctx, table);
    ctx.tempDatabase.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES ('Neuer')").arg(table, facts.nameField));
    click(*second, "cmdRefresh");
    click(*second, "cmdLast");
    QCOMPARE(caption(*second), QStringLiteral("Datensatz: 5"));
    QCOMPARE(box(*second, facts.nameBox)->text(), QStringLiteral("Neuer"));
}

void TestMasterData::newRecord_data()
{
    saveWritesAtOnce_data();
}

void TestMasterData::newRecord()
{
    QFETCH(QString, table);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    const QStringList before = stored(ctx, table);
    auto editor = openEditor(ctx, table);
    click(*editor, "cmdAdd");
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 0"));
    QCOMPARE(editor->focusWidget(), box(*editor, facts.nameBox));
    QVERIFY(box(*editor, facts.nameBox)->text().isEmpty());
    if (table == QLatin1String("Behand"))
        QCOMPARE(box(*editor, 2)->text(), QStringLiteral("0")); // the table's default
    // Nothing typed: closing stores nothing and asks nothing.
    click(*editor, "cmdSchließen");
    QVERIFY(!editor->isVisible());
    QVERIFY(ctx.messages.shown().isEmpty());
    QCOMPARE(stored(ctx, table), before);

    // Typed and saved: the new record is appended and stays current.
    auto second = openEditor(ctx, table);
    click(*second, "cmdAdd");
    type(box(*second, facts.nameBox), "NEU");
    click(*second, "cmdUpdate");
    QCOMPARE(caption(*second), QStringLiteral("Datensatz: 4"));
    QCOMPARE(stored(ctx, table).size(), 4);
    QVERIFY(stored(ctx, table).last().startsWith("NEU|"));
    if (table == QLatin1String("Behand"))
        QCOMPARE(stored(ctx, table).last(), QStringLiteral("NEU||0|0|0|0|0|0"));
}

void TestMasterData::refusedEntries_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters in DAUER") << "Behand" << 2 << "abc"
                                      << "Im Feld DAUER ist nur eine ganze Zahl erlaubt.";
    QTest::newRow("fraction in DAUER") << "Behand" << 2 << "2.5"
                                       << "Im Feld DAUER ist nur eine ganze Zahl erlaubt.";
    QTest::newRow("empty DAUER") << "Behand" << 2 << ""
                                 << "Das Feld DAUER darf nicht leer sein.";
    QTest::newRow("letters in HON") << "Behand" << 7 << "2,5x"
                                    << "Im Feld HON ist nur eine Zahl erlaubt.";
    QTest::newRow("decimal comma in DAUER") << "Behand" << 2 << "2,5"
                                            << "Im Feld DAUER ist nur eine ganze Zahl erlaubt.";
    QTest::newRow("duplicate code") << "Behand" << 0 << "BEFU"
                                    << "Eine Behandlung mit diesem Kürzel ist bereits vorhanden.";
    QTest::newRow("duplicate chair") << "Stuhl" << 1 << "Stuhl 2"
                                     << "Ein Stuhl mit diesem Namen ist bereits vorhanden.";
}

void TestMasterData::refusedEntries()
{
    QFETCH(QString, table);
    QFETCH(int, field);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    TestContext ctx;
    seed(ctx, table);
    const QStringList before = stored(ctx, table);
    auto editor = openEditor(ctx, table);
    type(box(*editor, field), entry);

    ctx.messages.answer(QMessageBox::Ok);
    click(*editor, "cmdUpdate");
    compareBox(ctx.messages.last(), message, "Fehler", QMessageBox::NoIcon, QMessageBox::Ok);
    QCOMPARE(box(*editor, field)->text(), entry);
    QCOMPARE(stored(ctx, table), before);
    QVERIFY(!ctx.state.ChairsChanged);

    // Saving on the way to the next record fails as well: the step is abandoned, the entry stays.
    ctx.messages.answer(QMessageBox::Yes);
    ctx.messages.answer(QMessageBox::Ok);
    click(*editor, "cmdNext");
    compareBox(ctx.messages.last(), "Bitte überprüfen Sie die Daten!", "Fehler", QMessageBox::NoIcon, QMessageBox::Ok);
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 1"));
    QCOMPARE(box(*editor, field)->text(), entry);

    // Closing likewise keeps the editor open until the entries are dropped.
    ctx.messages.answer(QMessageBox::Yes);
    ctx.messages.answer(QMessageBox::Ok);
    click(*editor, "cmdSchließen");
    QVERIFY(editor->isVisible());
    ctx.messages.answer(QMessageBox::No);
    click(*editor, "cmdSchließen");
    QVERIFY(!editor->isVisible());
    QCOMPARE(ctx.messages.shown().size(), 6);
    QCOMPARE(ctx.messages.pendingAnswers(), 0);
    QCOMPARE(stored(ctx, table), before);
}

void TestMasterData::maxLengths_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("maxLength");
    QTest::newRow("BEH") << "Behand" << 0 << 6;
    QTest::newRow("TEXT of a treatment") << "Behand" << 1 << 30;
    for (int field = 2; field <= 6; ++field)
        QTest::newRow(qPrintable(QStringLiteral("treatment box %1").arg(field))) << "Behand" << field << 3;
    QTest::newRow("HON, a fee with cents") << "Behand" << 7 << 6; // "999,99"
    QTest::newRow("STUHL") << "Stuhl" << 1 << 15;
    QTest::newRow("TEXT of a chair") << "Stuhl" << 2 << 30;
}

void TestMasterData::maxLengths()
{
    QFETCH(QString, table);
    QFETCH(int, field);
    QFETCH(int, maxLength);
    TestContext ctx;
    seed(ctx, table);
    auto editor = openEditor(ctx, table);
    click(*editor, "cmdAdd");
    type(box(*editor, field), QString(40, QLatin1Char('1')));
    QCOMPARE(box(*editor, field)->text(), QString(maxLength, QLatin1Char('1')));
}

void TestMasterData::longerStoredValueIsKept()
{
    // The family's other programs may store values longer than the boxes take; saving must not cut them.
    TestContext ctx;
    seed(ctx, "Behand");
    ctx.tempDatabase.exec("UPDATE Behand SET BEH = 'BEFUND1' WHERE BEH = 'BEFU'");
    auto editor = openEditor(ctx, "Behand");
    click(*editor, "cmdNext");
    QCOMPARE(box(*editor, 0)->text(), QStringLiteral("BEFUND1"));
    QCOMPARE(box(*editor, 7)->text(), QStringLiteral("62,5"));
    type(box(*editor, 1), "Befund neu");
    click(*editor, "cmdUpdate");
    QCOMPARE(stored(ctx, "Behand").at(1), QStringLiteral("BEFUND1|Befund neu|40|10|15|30|5|62.5"));
    // Typing is still held to the box's limit, or to the stored length where that is longer.
    QTest::keyClicks(box(*editor, 0), "9");
    QCOMPARE(box(*editor, 0)->text(), QStringLiteral("BEFUND1"));
    click(*editor, "cmdNext");
    type(box(*editor, 2), "1234");
    QCOMPARE(box(*editor, 2)->text(), QStringLiteral("123"));
}

void TestMasterData::enterAndEscape_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Enter closes the treatment editor") << "Behand" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter of the keypad too") << "Behand" << int(Qt::Key_Enter) << true;
    QTest::newRow("Esc closes the treatment editor") << "Behand" << int(Qt::Key_Escape) << true;
    QTest::newRow("Enter leaves the chair editor open") << "Stuhl" << int(Qt::Key_Return) << false;
    QTest::newRow("Esc closes the chair editor") << "Stuhl" << int(Qt::Key_Escape) << true;
}

void TestMasterData::enterAndEscape()
{
    QFETCH(QString, table);
    QFETCH(int, key);
    QFETCH(bool, closes);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    auto editor = openEditor(ctx, table);
    QTest::keyClick(box(*editor, facts.textBox), Qt::Key(key));
    QCOMPARE(editor->isVisible(), !closes);
    QVERIFY(ctx.messages.shown().isEmpty());
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 1"));

    // With a change the save question comes first.
    auto changed = openEditor(ctx, table);
    type(box(*changed, facts.textBox), "Anders");
    if (closes)
        ctx.messages.answer(QMessageBox::No);
    QTest::keyClick(box(*changed, facts.textBox), Qt::Key(key));
    QCOMPARE(changed->isVisible(), !closes);
    QCOMPARE(ctx.messages.shown().size(), closes ? 1 : 0);

    // Enter on a button that has the focus presses that button.
    auto third = openEditor(ctx, table);
    auto* add = third->findChild<QPushButton*>("cmdAdd");
    add->setFocus();
    QTest::keyClick(add, Qt::Key_Return);
    QVERIFY(third->isVisible());
    QCOMPARE(caption(*third), QStringLiteral("Datensatz: 0"));

    // "Farbe..." too: Enter on it opens the colour dialog, and the editor stays.
    if (table == "Behand") {
        auto fourth = openEditor(ctx, table);
        auto* colour = fourth->findChild<QPushButton*>("cmdFarbe");
        colour->setFocus();
        ctx.modals.handleNext([](QDialog& d) { d.reject(); });
        QTest::keyClick(colour, Qt::Key_Return);
        QVERIFY(fourth->isVisible());
        QCOMPARE(ctx.modals.shownDialogs().count("dlgFarbe"), 1);
    }
}

void TestMasterData::deleteRecord_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("goTo");
    QTest::addColumn<int>("answer"); // to the treatment editor's question; the chair editor asks none
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("captionAfter");
    QTest::newRow("treatment, no") << "Behand" << 3 << "cmdNext" << int(QMessageBox::No)
                                   << QStringList{"ERST", "BEFU", "KONT"} << "Datensatz: 2";
    QTest::newRow("treatment, the next becomes current")
        << "Behand" << 3 << "cmdNext" << int(QMessageBox::Yes) << QStringList{"ERST", "KONT"} << "Datensatz: 2";
    QTest::newRow("treatment, the new last becomes current")
        << "Behand" << 3 << "cmdLast" << int(QMessageBox::Yes) << QStringList{"ERST", "BEFU"} << "Datensatz: 2";
    QTest::newRow("treatment, the last remaining")
        << "Behand" << 1 << "cmdFirst" << int(QMessageBox::Yes) << QStringList{} << "Datensatz: 0";
    QTest::newRow("chair, the next becomes current")
        << "Stuhl" << 3 << "cmdNext" << 0 << QStringList{"Stuhl 1", "Stuhl 3"} << "Datensatz: 2";
    QTest::newRow("chair, the new last becomes current")
        << "Stuhl" << 3 << "cmdLast" << 0 << QStringList{"Stuhl 1", "Stuhl 2"} << "Datensatz: 2";
    QTest::newRow("chair, the last remaining") << "Stuhl" << 1 << "cmdFirst" << 0 << QStringList{} << "Datensatz: 0";
    // A record begun with "Neu" and never stored is only dropped; the record before it is current again.
    QTest::newRow("treatment, an unsaved new record")
        << "Behand" << 3 << "cmdAdd" << int(QMessageBox::Yes) << QStringList{"ERST", "BEFU", "KONT"} << "Datensatz: 1";
    QTest::newRow("chair, an unsaved new record")
        << "Stuhl" << 3 << "cmdAdd" << 0 << QStringList{"Stuhl 1", "Stuhl 2", "Stuhl 3"} << "Datensatz: 1";
}

void TestMasterData::deleteRecord()
{
    QFETCH(QString, table);
    QFETCH(int, records);
    QFETCH(QString, goTo);
    QFETCH(int, answer);
    QFETCH(QStringList, remaining);
    QFETCH(QString, captionAfter);
    TestContext ctx;
    seed(ctx, table);
    const EditorFacts facts = factsOf(table);
    ctx.tempDatabase.exec(QStringLiteral("DELETE FROM %1 WHERE rowid > ?").arg(table), {records});
    auto editor = openEditor(ctx, table);
    click(*editor, goTo);
    if (answer)
        ctx.messages.answer(QMessageBox::StandardButton(answer));
    click(*editor, "cmdDelete");
    if (answer) {
        const MessageRequest question = ctx.messages.last();
        compareBox(question, "Wollen Sie wirklich löschen?", "Löschen", QMessageBox::Question,
                   QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question.defaultButton, QMessageBox::No);
    }
    QCOMPARE(ctx.messages.shown().size(), answer ? 1 : 0);
    QCOMPARE(ctx.tempDatabase.rows(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(facts.nameField, table)),
             remaining);
    QCOMPARE(caption(*editor), captionAfter);
    QCOMPARE(box(*editor, facts.nameBox)->isEnabled(), !remaining.isEmpty());
    if (!remaining.isEmpty())
        QCOMPARE(box(*editor, facts.nameBox)->text(), remaining.at(captionAfter.back().digitValue() - 1));
    else
        QVERIFY(box(*editor, facts.nameBox)->text().isEmpty());
    QCOMPARE(ctx.state.ChairsChanged, table == QLatin1String("Stuhl") && remaining.size() < records);
}

void TestMasterData::deleteFailures_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("emptyTable"); // else the table refuses deletions
    QTest::addColumn<QString>("message"); // a pattern; empty: no message
    QTest::newRow("treatment refused") << "Behand" << false << "";
    QTest::newRow("chair refused") << "Stuhl" << false
                                   << "^Fehler: \\d+ Die Daten verletzen eine Regel der Tabelle\\.$";
    QTest::newRow("treatment, empty table") << "Behand" << true << "";
    QTest::newRow("chair, empty table") << "Stuhl" << true << "^Fehler: 3021 Kein aktueller Datensatz\\.$";
}

void TestMasterData::deleteFailures()
{
    QFETCH(QString, table);
    QFETCH(bool, emptyTable);
    QFETCH(QString, message);
    TestContext ctx;
    if (!emptyTable) {
        seed(ctx, table);
        ctx.tempDatabase.exec(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON %1 BEGIN "
                                             "SELECT RAISE(ABORT, 'gesperrt'); END")
                                  .arg(table));
    }
    const QStringList before = stored(ctx, table);
    auto editor = openEditor(ctx, table);
    click(*editor, "cmdNext");
    if (table == QLatin1String("Behand"))
        ctx.messages.answer(QMessageBox::Yes);
    if (!message.isEmpty())
        ctx.messages.answer(QMessageBox::Ok);
    click(*editor, "cmdDelete");
    QCOMPARE(ctx.messages.pendingAnswers(), 0);
    if (!message.isEmpty()) {
        const MessageRequest box = ctx.messages.last();
        QVERIFY2(QRegularExpression(message).match(box.text).hasMatch(), qPrintable(box.text));
        QCOMPARE(box.title, QStringLiteral("Lunaris"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QMessageBox::Ok);
    }
    QCOMPARE(stored(ctx, table), before);
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: %1").arg(emptyTable ? 0 : 2));
    QVERIFY(!ctx.state.ChairsChanged);
}

void TestMasterData::noRestartMessage()
{
    TestContext ctx;
    seed(ctx, "Stuhl");
    // Each opening is a fresh editor shown through the modal seam, as the main window does.
    auto runChairEditor = [&](const std::function<void(QDialog&)>& steps) {
        frmStuhlT editor(ctx.state, ctx.services);
        ctx.modals.handleNext([&](QDialog& dialog) {
            steps(dialog);
            click(dialog, "cmdSchließen");
        });
        ctx.services.modals.run(editor);
        QVERIFY(!editor.isVisible());
    };

    // Nothing changed; then changes written through the save question and a new chair: no restart needed.
    runChairEditor([](QDialog&) {});
    runChairEditor([&](QDialog& editor) {
        type(box(editor, 1), "Stuhl A");
        ctx.messages.answer(QMessageBox::Yes);
        click(editor, "cmdNext");
        click(editor, "cmdAdd");
        type(box(editor, 1), "Stuhl B");
        ctx.messages.answer(QMessageBox::Yes);
    });
    QCOMPARE(ctx.messages.shown().size(), 2);
    QCOMPARE(ctx.tempDatabase.rows("SELECT STUHL FROM Stuhl ORDER BY rowid"),
             QStringList({"Stuhl A", "Stuhl 2", "Stuhl 3", "Stuhl B"}));
    QVERIFY(!ctx.state.ChairsChanged);

    // "Speichern" sets the flag, and still no restart is asked for: the main window follows the chairs at
    // once. Neither on the next closing nor through the window's close box (a box nobody expected would
    // fail the test).
    runChairEditor([&](QDialog& editor) { click(editor, "cmdUpdate"); });
    QVERIFY(ctx.state.ChairsChanged);
    runChairEditor([&](QDialog&) {});
    frmStuhlT editor(ctx.state, ctx.services);
    editor.show();
    QVERIFY(editor.close());
    QCOMPARE(ctx.messages.shown().size(), 2);
    QCOMPARE(ctx.modals.shownDialogs(), QStringList(4, QStringLiteral("frmStuhlT")));
}

void TestMasterData::addWithoutTable()
{
    TestContext ctx;
    ctx.tempDatabase.exec("DROP TABLE Behand");
    auto editor = openEditor(ctx, "Behand");
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 0"));
    ctx.messages.answer(QMessageBox::Ok);
    click(*editor, "cmdAdd");
    compareBox(ctx.messages.last(), "Fehler: 3078 Die Tabelle „Behand“ kann nicht gelesen werden.", "Lunaris",
               QMessageBox::NoIcon, QMessageBox::Ok);
    QCOMPARE(caption(*editor), QStringLiteral("Datensatz: 0"));
}

void TestMasterData::decimalNumbers_data()
{
    QTest::addColumn<bool>("planner"); // the planner's tables, without rules on the fields
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("stored"); // "type|value" of the field; empty: refused
    QTest::addColumn<QString>("shown");  // the box after saving, or the message of the refusal
    for (const bool planner : {false, true}) {
        const char* file = planner ? "planner's file" : "own file";
        QTest::addRow("%s: fee with a comma", file) << planner << 7 << "62,5"
                                                    << "real|62.5"
                                                    << "62,5";
        QTest::addRow("%s: fee with a point", file) << planner << 7 << "62.5"
                                                    << "real|62.5"
                                                    << "62,5";
        QTest::addRow("%s: whole fee", file) << planner << 7 << "45"
                                             << "integer|45"
                                             << "45";
        QTest::addRow("%s: fee in words", file) << planner << 7 << "zehn"
                                                << ""
                                                << "Im Feld HON ist nur eine Zahl erlaubt.";
        QTest::addRow("%s: fee with two commas", file) << planner << 7 << "1,2,3"
                                                       << ""
                                                       << "Im Feld HON ist nur eine Zahl erlaubt.";
        QTest::addRow("%s: duration with a comma", file) << planner << 2 << "2,5"
                                                         << ""
                                                         << "Im Feld DAUER ist nur eine ganze Zahl erlaubt.";
        QTest::addRow("%s: doctor start in words", file) << planner << 3 << "abc"
                                                         << ""
                                                         << "Im Feld DR_START ist nur eine ganze Zahl erlaubt.";
        QTest::addRow("%s: whole duration", file) << planner << 2 << "+35"
                                                  << "integer|35"
                                                  << "35";
    }
}

void TestMasterData::decimalNumbers()
{
    QFETCH(bool, planner);
    QFETCH(int, field);
    QFETCH(QString, entry);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    TestContext ctx;
    if (planner)
        plannerTables(ctx);
    seed(ctx, "Behand");
    const QMap<int, QString> names{{2, "DAUER"}, {3, "DR_START"}, {7, "HON"}};
    const QString query = QStringLiteral("SELECT typeof(%1), %1 FROM Behand WHERE rowid = 2").arg(names.value(field));
    const QStringList before = ctx.tempDatabase.rows(query);
    auto editor = openEditor(ctx, "Behand");
    mouseClick(*editor, "cmdNext");
    type(box(*editor, field), entry);
    if (stored.isEmpty())
        ctx.messages.answer(QMessageBox::Ok);
    mouseClick(*editor, "cmdUpdate");
    if (stored.isEmpty()) {
        compareBox(ctx.messages.last(), shown, "Fehler", QMessageBox::NoIcon, QMessageBox::Ok);
        QCOMPARE(ctx.tempDatabase.rows(query), before);
        QCOMPARE(box(*editor, field)->text(), entry);
    } else {
        QVERIFY(ctx.messages.shown().isEmpty());
        QCOMPARE(ctx.tempDatabase.rows(query), QStringList{stored});
        QCOMPARE(box(*editor, field)->text(), shown);
        // The look-ups of the main window read it as a number.
        QCOMPARE(number(TreatmentTable(ctx.services.database).find("BEFU")->hon),
                 field == 7 ? stored.section('|', 1).toDouble() : 62.5);
    }
}

void TestMasterData::recordsByIdentity_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("elsewhere"); // what another program does after the editor read the table
    QTest::addColumn<QStringList>("after"); // the table afterwards, "name|text" by rowid
    QTest::addColumn<QString>("onScreen");  // the text box afterwards
    QTest::newRow("saving the second of two alike chairs") << "Stuhl"
                                                           << "save"
                                                           << "" << QStringList{"A|x", "A|neu", "B|y"} << "neu";
    QTest::newRow("saving the second of two alike treatments") << "Behand"
                                                               << "save"
                                                               << "" << QStringList{"A|x", "A|neu", "B|y"} << "neu";
    QTest::newRow("deleting the second of two alike chairs") << "Stuhl"
                                                             << "delete"
                                                             << "" << QStringList{"A|x", "B|y"} << "y";
    QTest::newRow("deleting the second of two alike treatments") << "Behand"
                                                                 << "delete"
                                                                 << "" << QStringList{"A|x", "B|y"} << "y";
    const QString change = "UPDATE %1 SET TEXT = 'fremd' WHERE rowid = 2";
    const QString remove = "DELETE FROM %1 WHERE rowid = 2";
    QTest::newRow("saving a chair changed elsewhere")
        << "Stuhl"
        << "save" << change << QStringList{"A|x", "A|fremd", "B|y"} << "fremd";
    QTest::newRow("saving a treatment changed elsewhere")
        << "Behand"
        << "save" << change << QStringList{"A|x", "A|fremd", "B|y"} << "fremd";
    QTest::newRow("moving on from a chair changed elsewhere")
        << "Stuhl"
        << "next" << change << QStringList{"A|x", "A|fremd", "B|y"} << "fremd";
    QTest::newRow("saving a chair deleted elsewhere") << "Stuhl"
                                                      << "save" << remove << QStringList{"A|x", "B|y"} << "y";
    QTest::newRow("deleting a chair changed elsewhere")
        << "Stuhl"
        << "delete" << change << QStringList{"A|x", "A|fremd", "B|y"} << "fremd";
}

// Tables without a key may hold two rows alike: exactly the current one is written or deleted, and a
// record another program changed since it was read is not overwritten unseen.
void TestMasterData::recordsByIdentity()
{
    QFETCH(QString, table);
    QFETCH(QString, step);
    QFETCH(QString, elsewhere);
    QFETCH(QStringList, after);
    QFETCH(QString, onScreen);
    TestContext ctx;
    plannerTables(ctx);
    const EditorFacts facts = factsOf(table);
    for (const char* row : {"A|x", "A|x", "B|y"})
        ctx.tempDatabase.exec(QStringLiteral("INSERT INTO %1 (%2, TEXT) VALUES (?, ?)").arg(table, facts.nameField),
                              {QString(row).section('|', 0, 0), QString(row).section('|', 1)});
    auto editor = openEditor(ctx, table);
    mouseClick(*editor, "cmdNext");
    if (step != "delete")
        type(box(*editor, facts.textBox), "neu");
    if (!elsewhere.isEmpty())
        ctx.tempDatabase.exec(elsewhere.arg(table));
    if (step == "delete" && table == "Behand")
        ctx.messages.answer(QMessageBox::Yes);
    if (step == "next")
        ctx.messages.answer(QMessageBox::Yes);
    if (!elsewhere.isEmpty())
        ctx.messages.answer(QMessageBox::Ok);
    mouseClick(*editor, step == "save" ? "cmdUpdate" : step == "next" ? "cmdNext" : "cmdDelete");
    QCOMPARE(ctx.messages.pendingAnswers(), 0);
    if (!elsewhere.isEmpty())
        compareBox(ctx.messages.last(), kChangedElsewhere, "Fehler", QMessageBox::NoIcon, QMessageBox::Ok);
    QCOMPARE(
        ctx.tempDatabase.rows(QStringLiteral("SELECT %1, TEXT FROM %2 ORDER BY rowid").arg(facts.nameField, table)),
        after);
    QCOMPARE(box(*editor, facts.textBox)->text(), onScreen);
    // The record on screen is the one read again: saving it now writes without a complaint.
    if (!elsewhere.isEmpty() && onScreen == "fremd") {
        type(box(*editor, facts.textBox), "danach");
        mouseClick(*editor, "cmdUpdate");
        QCOMPARE(ctx.tempDatabase.rows(QStringLiteral("SELECT TEXT FROM %1 WHERE rowid = 2").arg(table)),
                 QStringList{"danach"});
    }
}

void TestMasterData::chairInUse_data()
{
    QTest::addColumn<QString>("step");          // "rename" or "delete"
    QTest::addColumn<int>("answer");            // to the question; 0: no question
    QTest::addColumn<bool>("templateRefuses");  // a rule of the table Template refuses the change
    QTest::addColumn<QStringList>("chairs");    // table Stuhl afterwards
    QTest::addColumn<QStringList>("templates"); // the chairs of the Template rows afterwards
    QTest::addColumn<bool>("versionsFollow");   // a deleted day's version names the renamed chair afterwards
    const QStringList old{"Stuhl 1|Montag", "Prophylaxe|Montag", "Prophylaxe|Montag", "Prophylaxe|Dienstag"};
    const QStringList renamed{"Stuhl 1|Montag", "Prophylaxeraum|Montag", "Prophylaxeraum|Montag",
                              "Prophylaxeraum|Dienstag"};
    QTest::newRow("rename, Ja") << "rename" << int(QMessageBox::Yes) << false
                                << QStringList{"Stuhl 1", "Prophylaxeraum", "Stuhl 3"} << renamed << true;
    QTest::newRow("rename, Nein") << "rename" << int(QMessageBox::No) << false
                                  << QStringList{"Stuhl 1", "Prophylaxeraum", "Stuhl 3"} << old << false;
    QTest::newRow("rename, Ja, the days cannot be changed")
        << "rename" << int(QMessageBox::Yes) << true << QStringList{"Stuhl 1", "Prophylaxe", "Stuhl 3"} << old << false;
    QTest::newRow("delete, Ja") << "delete" << int(QMessageBox::Yes) << false << QStringList{"Stuhl 1", "Stuhl 3"}
                                << QStringList{"Stuhl 1|Montag"} << false;
    QTest::newRow("delete, Nein") << "delete" << int(QMessageBox::No) << false << QStringList{"Stuhl 1", "Stuhl 3"}
                                  << old << false;
    QTest::newRow("delete, Ja, the days cannot be changed")
        << "delete" << int(QMessageBox::Yes) << true << QStringList{"Stuhl 1", "Prophylaxe", "Stuhl 3"} << old << false;
    QTest::newRow("rename an unused chair")
        << "rename unused" << 0 << false << QStringList{"Stuhl 1", "Prophylaxe", "Neu 3"} << old << false;
}

void TestMasterData::chairInUse()
{
    QFETCH(QString, step);
    QFETCH(int, answer);
    QFETCH(bool, templateRefuses);
    QFETCH(QStringList, chairs);
    QFETCH(QStringList, templates);
    QFETCH(bool, versionsFollow);
    TestContext ctx;
    TempDatabase& db = ctx.tempDatabase;
    for (const char* chair : {"Stuhl 1", "Prophylaxe", "Stuhl 3"})
        db.addChair(chair);
    // A day deleted earlier, kept as a version: its rows of the chair follow a rename, those of other names
    // (one differing only in case) do not.
    DayVersionTable(db.database())
        .keep("Mittwoch",
              {{0, {"Prophylaxe", "KONT", "08:00", "08:20"}},
               {0, {"prophylaxe", "KONT", "09:00", "09:20"}},
               {0, {"Stuhl 1", "KONT", "10:00", "10:20"}}},
              VersionCause::Deleted);
    db.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    db.addBlock("Montag", "Prophylaxe", "KONT", "09:00", "09:20");
    db.addBlock("Montag", "Prophylaxe", "KONT", "10:00", "10:20");
    db.addBlock("Dienstag", "Prophylaxe", "KONT", "09:00", "09:20");
    if (templateRefuses)
        db.exec(QStringLiteral("CREATE TRIGGER keep BEFORE %1 ON Template BEGIN SELECT RAISE(ABORT, 'gesperrt'); END")
                    .arg(step == "delete" ? "DELETE" : "UPDATE"));
    auto editor = openEditor(ctx, "Stuhl");
    mouseClick(*editor, "cmdNext");
    if (step == "rename unused") {
        mouseClick(*editor, "cmdNext");
        type(box(*editor, 1), "Neu 3");
    } else if (step == "rename") {
        type(box(*editor, 1), "Prophylaxeraum");
    }
    if (answer)
        ctx.messages.answer(QMessageBox::StandardButton(answer));
    if (templateRefuses && answer == QMessageBox::Yes)
        ctx.messages.answer(QMessageBox::Ok);
    mouseClick(*editor, step == "delete" ? "cmdDelete" : "cmdUpdate");
    QCOMPARE(ctx.messages.pendingAnswers(), 0);
    if (answer) {
        const MessageRequest question = ctx.messages.shown().first();
        const QString used = "Der Stuhl „Prophylaxe“ wird in 2 Idealtagen verwendet. ";
        compareBox(question,
                   used + (step == "delete" ? "Sollen diese Einträge ebenfalls gelöscht werden?"
                                            : "Sollen diese Einträge auf „Prophylaxeraum“ umbenannt werden?"),
                   "Stühle", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        // Deleting the days' rows is the step that cannot be undone.
        QCOMPARE(question.defaultButton, step == "delete" ? QMessageBox::No : QMessageBox::Yes);
    } else {
        QVERIFY(ctx.messages.shown().isEmpty());
    }
    if (templateRefuses) {
        // The chair and its days change together or not at all; the failure is reported as any other.
        const MessageRequest failure = ctx.messages.last();
        QVERIFY2(failure.text.endsWith("Die Daten verletzen eine Regel der Tabelle."), qPrintable(failure.text));
        QCOMPARE(failure.text.startsWith("Fehler: "), step == "delete");
        QCOMPARE(failure.title, step == "delete" ? QString("Lunaris") : QString("Fehler"));
        QCOMPARE(failure.icon, QMessageBox::NoIcon);
        QCOMPARE(failure.buttons, QMessageBox::Ok);
    }
    QCOMPARE(db.rows("SELECT STUHL FROM Stuhl ORDER BY rowid"), chairs);
    QCOMPARE(db.rows("SELECT STUHL, IDEALTAG FROM Template ORDER BY rowid"), templates);
    QCOMPARE(ctx.state.ChairsChanged, !templateRefuses);
    // The days that lost the deleted chair's rows keep their state before as a version; nothing else does.
    const bool deleted = step == "delete" && answer == QMessageBox::Yes && !templateRefuses;
    const DayVersionTable versions(db.database());
    QCOMPARE(versions.versionsOf("Montag").size(), deleted ? 1 : 0);
    QCOMPARE(versions.versionsOf("Dienstag").size(), deleted ? 1 : 0);
    if (deleted)
        QCOMPARE(versions.versionsOf("Montag").first().rows.size(), 3);
    QStringList versionChairs;
    for (const TemplateRow& row : versions.versionsOf("Mittwoch").value(0).rows)
        versionChairs.append(row.chair);
    QCOMPARE(versionChairs, (QStringList{versionsFollow ? "Prophylaxeraum" : "Prophylaxe", "prophylaxe", "Stuhl 1"}));
}

void TestMasterData::chairQuestionsAndNamesTwice_data()
{
    QTest::addColumn<QStringList>("chairs");    // table Stuhl (without the uniqueness rule)
    QTest::addColumn<int>("record");            // the one renamed, from 0
    QTest::addColumn<QString>("question");      // empty: none
    QTest::addColumn<QStringList>("templates"); // the chairs of the Template rows afterwards
    QTest::newRow("a name holding %2 and %1")
        << QStringList{"Stuhl %2 %1", "Stuhl 2"} << 0
        << "Der Stuhl „Stuhl %2 %1“ wird in 1 Idealtag verwendet. Sollen diese Einträge auf „Neu“ umbenannt werden?"
        << QStringList{"Neu"};
    QTest::newRow("the first of two of one name: its rows") << QStringList{"X", "X"} << 0
                                                            << "Der Stuhl „X“ wird in 1 Idealtag verwendet. Sollen "
                                                               "diese Einträge auf „Neu“ umbenannt werden?"
                                                            << QStringList{"Neu"};
    QTest::newRow("the second of two of one name: none of the other's")
        << QStringList{"X", "X"} << 1 << "" << QStringList{"X"};
}

void TestMasterData::chairQuestionsAndNamesTwice()
{
    QFETCH(QStringList, chairs);
    QFETCH(int, record);
    QFETCH(QString, question);
    QFETCH(QStringList, templates);
    TestContext ctx;
    plannerTables(ctx);
    for (const QString& chair : chairs)
        ctx.tempDatabase.exec("INSERT INTO Stuhl (STUHL, TEXT) VALUES (?, '')", {chair});
    ctx.tempDatabase.addBlock("Montag", chairs.first(), "KONT", "08:00", "08:20");
    auto editor = openEditor(ctx, "Stuhl");
    for (int i = 0; i < record; ++i)
        mouseClick(*editor, "cmdNext");
    type(box(*editor, 1), "Neu");
    if (!question.isEmpty())
        ctx.messages.answer(QMessageBox::Yes);
    mouseClick(*editor, "cmdUpdate");
    QCOMPARE(ctx.messages.shown().size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty())
        compareBox(ctx.messages.last(), question, "Stühle", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(ctx.tempDatabase.rows("SELECT STUHL FROM Template ORDER BY rowid"), templates);
}

void TestMasterData::openDayFollowsTheChairEditor_data()
{
    QTest::addColumn<QString>("step"); // "rename" or "delete", of chair "Stuhl 1"
    QTest::addColumn<int>("answer");   // to the question whether the stored days follow
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("status");     // the status panel after the editor closed
    QTest::addColumn<QStringList>("stored"); // the day's rows after placing a block in the first column and saving
    QTest::newRow("rename, Ja") << "rename" << int(QMessageBox::Yes) << QStringList{"Stuhl A", "Stuhl 2"}
                                << "Keine ungespeicherten Änderungen"
                                << QStringList{"Stuhl A|KONT|08:00|08:20", "Stuhl A|KONT|09:00|09:20",
                                               "Stuhl A|KONT|15:00|15:20", "Stuhl 2|KONT|08:00|08:20"};
    QTest::newRow("rename, Nein: the blocks go under the new name with the next save")
        << "rename" << int(QMessageBox::No) << QStringList{"Stuhl A", "Stuhl 2"} << "Nicht gespeichert"
        << QStringList{"Stuhl A|KONT|08:00|08:20", "Stuhl A|KONT|09:00|09:20", "Stuhl A|KONT|15:00|15:20",
                       "Stuhl 2|KONT|08:00|08:20"};
    QTest::newRow("delete, Ja") << "delete" << int(QMessageBox::Yes) << QStringList{"Stuhl 2"}
                                << "Keine ungespeicherten Änderungen"
                                << QStringList{"Stuhl 2|KONT|08:00|08:20", "Stuhl 2|KONT|15:00|15:20"};
    QTest::newRow("delete, Nein: kept, not shown")
        << "delete" << int(QMessageBox::No) << QStringList{"Stuhl 2"} << "2 gespeicherte Einträge nicht angezeigt"
        << QStringList{"Stuhl 1|KONT|08:00|08:20", "Stuhl 1|KONT|09:00|09:20", "Stuhl 2|KONT|08:00|08:20",
                       "Stuhl 2|KONT|15:00|15:20"};
}

void TestMasterData::openDayFollowsTheChairEditor()
{
    QFETCH(QString, step);
    QFETCH(int, answer);
    QFETCH(QStringList, captions);
    QFETCH(QString, status);
    QFETCH(QStringList, stored);
    MainWindowFixture f(2);
    f.ctx.tempDatabase.addTreatment("KONT", 20, 0, 5, 0, 0, 18);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "09:00", "09:20");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 2", "KONT", "08:00", "08:20");
    f.start();
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();

    f.ctx.modals.handleNext([&](QDialog& editor) {
        f.ctx.messages.answer(QMessageBox::StandardButton(answer));
        if (step == "rename") {
            type(box(editor, 1), "Stuhl A");
            mouseClick(editor, "cmdUpdate");
        } else {
            mouseClick(editor, "cmdDelete");
        }
        mouseClick(editor, "cmdSchließen");
    });
    f.action("mnuStuhl")->trigger();
    QCOMPARE(f.ctx.messages.pendingAnswers(), 0);

    QStringList shown;
    for (int i = 0; i <= f.ctx.state.ChairCount; ++i)
        shown.append(f.window->SSDay1(i)->caption());
    QCOMPARE(shown, captions + QStringList{"Dr.-Zeit"});
    const QStringList renamedBlocks{"08:00-08:20 KONT", "09:00-09:20 KONT"};
    QCOMPARE(f.onScreen(0), step == "rename" ? renamedBlocks : QStringList{"08:00-08:20 KONT"});
    QCOMPARE(f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(), status);
    QCOMPARE(f.window->findChild<QLineEdit*>("txtHon")->text(),
             QString::number(18 * f.onScreen(0).size() + (step == "rename" ? 18 : 0)));

    // The next save neither takes the own change for another workstation's nor writes under the old name.
    f.choose("KONT");
    f.click(0, "15:00");
    f.action("mnuFileSave")->trigger();
    QCOMPARE(f.ctx.messages.shown().size(), 1); // the question, nothing since
    QCOMPARE(f.stored("Montag"), stored);
    QVERIFY(!f.ctx.state.modified());
}

LUNARIS_TEST_MAIN(TestMasterData)
#include "tst_masterdata.moc"
