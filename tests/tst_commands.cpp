#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "commands/frmVersionen.h"
#include "dayview/DayView.h"
#include "editing/OpenDay.h"
#include "store/DayVersions.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <QWindow>

namespace {
// Three chairs and two treatments, the window started.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(3)
    {
        ctx.tempDatabase.addTreatment("KONT", 20, 10, 5, 0, 0, 18);
        ctx.tempDatabase.addTreatment("BOGEN", 30, 0, 10, 0, 0, 28.5);
        start();
    }
    // A stored Montag with one KONT block in Stuhl 1 at 08:00, opened through Datei → Öffnen.
    void openStoredMonday()
    {
        ctx.tempDatabase.addDayName("Montag");
        ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
        ctx.modals.handleNext(openName("Montag"));
        action("mnuFileOpen")->trigger();
    }
};
} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newRightAfterStart();
    void saveQuestionOnNewAndOpen_data();
    void saveQuestionOnNewAndOpen();
    void saveWithoutChangesDoesNothing();
    void saveOfAnUnnamedDay();
    void saveAsKeepsTheOldRows();
    void overwriteQuestion();
    void saveAsDialogLayout();
    void openDialog();
    void doubleClickIsClickAndOk_data();
    void doubleClickIsClickAndOk();
    void listChoiceWithTheKeyboard_data();
    void listChoiceWithTheKeyboard();
    void dayNamesAreShownAsTyped();
    void openCancelledKeepsTheEdits();
    void openAnUnlistedName();
    void deleteDay_data();
    void deleteDay();
    void renameKeepsTheOpenDayAndItsVersions();
    void renameRefusals_data();
    void renameRefusals();
    void renameOfADayDeletedElsewhere();
    void failedSaveKeepsTheStoredDay();
    void namesWithApostrophes();
    void endToEnd();

private:
    std::unique_ptr<Editor> m_editor;
};

void TestCommands::init()
{
    m_editor = std::make_unique<Editor>();
}

void TestCommands::cleanup()
{
    if (m_editor)
        m_editor->expectNothingPending();
    m_editor.reset();
}

void TestCommands::newRightAfterStart()
{
    Editor& e = *m_editor;
    for (int pass = 0; pass < 2; ++pass) { // New twice gives the same caption
        e.toolButton("New")->trigger();
        QCOMPARE(e.window->windowTitle(), QString("Template:  [ Unbenannt ]"));
    }
    QVERIFY(e.ctx.state.DayOpen);
    QVERIFY(e.ctx.messages.shown().isEmpty());
    for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFilePrint"})
        QVERIFY2(e.action(name)->isEnabled(), name);
    QVERIFY(!e.action("mnuFileDelete")->isEnabled());
    QVERIFY(e.toolButton("Save")->isEnabled());
    QVERIFY(e.toolButton("Print")->isEnabled());
    for (const char* name : {"DBComboBeh", "lblBehAuswahl", "lblHon", "txtHon"})
        QVERIFY2(e.window->findChild<QWidget*>(name)->isVisible(), name);
    for (int i = 0; i <= 10; ++i)
        QVERIFY(e.window->SSDay1(i)->isEnabled());
    QCOMPARE(e.window->SSDay1(0)->caption(), QString("Stuhl 1"));
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), QString("0"));
}

void TestCommands::saveQuestionOnNewAndOpen_data()
{
    QTest::addColumn<QString>("command"); // Neu, Öffnen or Beenden
    // "Nein"; "Ja" and a name; "Ja", then the name dialog cancelled; "Ja", then the save fails; "Abbrechen".
    QTest::addColumn<QString>("answer");
    for (const char* command : {"Neu", "Öffnen", "Beenden"})
        for (const char* answer : {"Nein", "Ja", "Ja, abgebrochen", "Ja, Fehler", "Abbrechen"})
            QTest::addRow("%s, %s", command, answer) << QString::fromUtf8(command) << QString(answer);
}

void TestCommands::saveQuestionOnNewAndOpen()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    Editor& e = *m_editor;
    e.action("mnuFileNew")->trigger();
    e.place(0, "08:00", "08:20", "KONT");
    const bool yes = answer.startsWith("Ja");
    const bool saved = answer == "Ja";
    if (answer == "Ja, Fehler")
        e.ctx.tempDatabase.exec("CREATE TRIGGER fail BEFORE INSERT ON Template BEGIN SELECT RAISE(ABORT, 'x'); END");

    e.ctx.messages.answer(yes ? QMessageBox::Yes : answer == "Abbrechen" ? QMessageBox::Cancel : QMessageBox::No);
    if (yes)
        e.ctx.modals.handleNext(answer == "Ja, abgebrochen" ? clickCancel() : saveAs("Montag"));
    if (answer == "Ja, Fehler")
        e.ctx.messages.answer(QMessageBox::Ok);
    // The command goes on unless the user cancelled or wanted the day saved and it was not.
    const bool goesOn = answer == "Nein" || saved;
    if (command == "Öffnen" && goesOn)
        e.ctx.modals.handleNext(clickCancel());
    e.action(command == "Neu" ? "mnuFileNew" : command == "Öffnen" ? "mnuFileOpen" : "mnuFileExit")->trigger();

    compareBox(e.ctx.messages.shown().first(),
               command == "Beenden" ? "Möchten Sie noch Speichern?" : "Möchten Sie Speichern?", "Lunaris",
               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(e.ctx.messages.shown().first().defaultButton, QMessageBox::Yes);
    if (answer == "Ja, Fehler")
        e.expectBox("Daten konnten nicht gespeichert werden", "Speichern", QMessageBox::Critical);
    QCOMPARE(e.stored("Montag"), saved ? QStringList{"Stuhl 1|KONT|08:00|08:20"} : QStringList{});
    // Declined: the edits are dropped with their day, and the new day is unmodified (the Open dialog
    // is cancelled here, which keeps the edits).
    QCOMPARE(e.ctx.state.modified(), command == "Neu" ? !goesOn : !saved);
    QCOMPARE(e.ctx.modals.shownDialogs().contains("frmOpen"), command == "Öffnen" && goesOn);
    QCOMPARE(e.window->isVisible(), command != "Beenden" || !goesOn);
    QCOMPARE(e.onScreen(0).isEmpty(), command == "Neu" && goesOn);
    if (command == "Neu" && answer == "Nein") {
        // One "Nein" leaves no unsaved state behind: the next New of the unchanged day asks nothing.
        e.action("mnuFileNew")->trigger();
        QCOMPARE(e.ctx.messages.shown().size(), 1);
        QCOMPARE(e.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(),
                 QString("Keine ungespeicherten Änderungen"));
    }
    if (command == "Beenden" && !goesOn) {
        // The next close asks again; "Nein" closes.
        e.ctx.messages.answer(QMessageBox::No);
        e.window->close();
        QVERIFY(!e.window->isVisible());
    }
}

void TestCommands::saveWithoutChangesDoesNothing()
{
    Editor& e = *m_editor;
    e.action("mnuFileSave")->trigger(); // no day open: nothing
    e.action("mnuFileNew")->trigger();
    e.toolButton("Save")->trigger(); // not modified: no dialog, nothing written
    QVERIFY(e.ctx.modals.shownDialogs().isEmpty());
    QVERIFY(e.dayNames().isEmpty());
}

void TestCommands::saveOfAnUnnamedDay()
{
    Editor& e = *m_editor;
    e.action("mnuFileNew")->trigger();
    e.place(1, "09:00", "09:30", "BOGEN");

    e.ctx.modals.handleNext(clickCancel());
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.ctx.modals.shownDialogs(), QStringList{"frmSpeichern"});
    QVERIFY(e.ctx.state.modified());
    QVERIFY(e.ctx.state.CurrentIdealtag.isEmpty());
    QCOMPARE(e.ctx.tempDatabase.rows("SELECT COUNT(*) FROM Template"), QStringList{"0"});

    e.ctx.modals.handleNext(saveAs("Dienstag"));
    e.action("mnuFileSave")->trigger();
    QVERIFY(!e.ctx.state.modified());
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Dienstag"));
    QCOMPARE(e.window->windowTitle(), QString("Template für [ Dienstag ]"));
    QCOMPARE(e.stored("Dienstag"), QStringList{"Stuhl 2|BOGEN|09:00|09:30"});
    QCOMPARE(e.dayNames(), QStringList{"Dienstag"});
    // Named now: a later save asks nothing.
    e.place(0, "10:00", "10:20", "KONT");
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.ctx.modals.shownDialogs().size(), 2);
    QCOMPARE(e.stored("Dienstag"), QStringList({"Stuhl 1|KONT|10:00|10:20", "Stuhl 2|BOGEN|09:00|09:30"}));
}

void TestCommands::saveAsKeepsTheOldRows()
{
    Editor& e = *m_editor;
    e.openStoredMonday();
    QVERIFY(!e.ctx.state.modified());

    // Save As shows the dialog even without changes.
    e.ctx.modals.handleNext(saveAs("Montag Kopie"));
    e.action("mnuFileSaveAs")->trigger();
    QCOMPARE(e.stored("Montag Kopie"), QStringList{"Stuhl 1|KONT|08:00|08:20"});
    QCOMPARE(e.stored("Montag"), QStringList{"Stuhl 1|KONT|08:00|08:20"});
    QCOMPARE(e.dayNames(), QStringList({"Montag", "Montag Kopie"}));

    // Cancelled: nothing written; the day keeps its name, the one in the caption.
    e.ctx.modals.handleNext(clickCancel());
    e.action("mnuFileSaveAs")->trigger();
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Montag Kopie"));
    QCOMPARE(e.window->windowTitle(), QString("Template für [ Montag Kopie ]"));
    // So Save writes under that name without asking, and Delete asks about that day.
    e.place(1, "09:00", "09:20", "KONT");
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.ctx.modals.shownDialogs().size(), 3);
    QCOMPARE(e.stored("Montag Kopie"), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|KONT|09:00|09:20"}));
    QVERIFY(!e.ctx.state.modified());
    e.ctx.modals.handleNext(openName("Montag Kopie"));
    e.action("mnuFileOpen")->trigger();
    e.ctx.modals.handleNext(clickCancel());
    e.action("mnuFileSaveAs")->trigger();
    // The cancelled Save As left the day unmodified: after "Nein", New asks nothing.
    e.ctx.messages.answer(QMessageBox::No);
    e.action("mnuFileDelete")->trigger();
    QCOMPARE(e.ctx.messages.shown().size(), 1);
    QCOMPARE(e.ctx.messages.shown().first().text, QString("Möchten Sie den Montag Kopie löschen?"));
}

void TestCommands::overwriteQuestion()
{
    Editor& e = *m_editor;
    e.ctx.tempDatabase.addDayName("Montag");
    e.ctx.tempDatabase.addBlock("Montag", "Stuhl 3", "BOGEN", "11:00", "11:30");
    e.action("mnuFileNew")->trigger();
    e.place(0, "08:00", "08:20", "KONT");

    e.ctx.modals.handleNext([&](QDialog& d) {
        auto* box = d.findChild<QLineEdit*>("txtName");
        auto* ok = d.findChild<QPushButton*>("cmdOK");
        // An empty box: OK does nothing, the dialog stays open.
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(d.isVisible());
        // A stored name, No: the box is emptied, the dialog stays open.
        box->setText("Montag");
        e.ctx.messages.answer(QMessageBox::No);
        QTest::mouseClick(ok, Qt::LeftButton);
        e.expectBox("Idealtag überschreiben?", "Speichern unter..", QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->text(), QString());
        QVERIFY(d.isVisible());
        // Yes: the stored day is replaced, no second name row.
        box->setText("Montag");
        e.ctx.messages.answer(QMessageBox::Yes);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.stored("Montag"), QStringList{"Stuhl 1|KONT|08:00|08:20"});
    QCOMPARE(e.dayNames(), QStringList{"Montag"});
}

void TestCommands::saveAsDialogLayout()
{
    Editor& e = *m_editor;
    e.ctx.tempDatabase.addDayName("Zeta");
    e.ctx.tempDatabase.addDayName("Alpha");
    e.action("mnuFileNew")->trigger();
    e.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(d.windowTitle(), QString("Idealtag speichern unter..."));
        QCOMPARE(d.findChild<QLabel*>("Label1_0")->text(), QString("Vorhanden:"));
        QCOMPARE(d.findChild<QLabel*>("Label1_1")->text(), QString("Name:"));
        auto* box = d.findChild<QLineEdit*>("txtName");
        QCOMPARE(box->toolTip(), QString("Neuer Idealtag eingeben"));
        auto* list = d.findChild<QListWidget*>("DBListIdealtag");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QString("Zeta")); // table order, unsorted
        auto* cancelButton = d.findChild<QPushButton*>("cmdAbbrechen");
        QVERIFY(cancelButton->isDefault());
        QVERIFY(!d.findChild<QPushButton*>("cmdOK")->isDefault());
        QCOMPARE(d.focusWidget(), box);
        QCOMPARE(box->nextInFocusChain(), cancelButton);
        // Enter while typing cancels.
        box->setText("Neu");
        QTest::keyClick(box, Qt::Key_Return);
    });
    e.window->openDay().touch(); // a right click on a free place: a day to save
    e.action("mnuFileSave")->trigger();
    QVERIFY(e.ctx.state.CurrentIdealtag.isEmpty());
    QCOMPARE(e.dayNames(), QStringList({"Zeta", "Alpha"}));
}

void TestCommands::openDialog()
{
    Editor& e = *m_editor;
    e.ctx.tempDatabase.addDayName("Montag");
    e.ctx.tempDatabase.addDayName("Dienstag");
    e.ctx.tempDatabase.addBlock("Dienstag", "Stuhl 2", "KONT", "08:00", "08:20");
    e.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(d.windowTitle(), QString("Template öffnen"));
        QCOMPARE(d.findChild<QLabel*>("Label1_1")->text(), QString("Dateiname:"));
        auto* cancelButton = d.findChild<QPushButton*>("cmdAbbrechen");
        QVERIFY(cancelButton->isDefault());
        QCOMPARE(d.focusWidget(), cancelButton);
        QCOMPARE(cancelButton->nextInFocusChain(), d.findChild<QPushButton*>("cmdOK"));
        auto* list = d.findChild<QListWidget*>("DBListIdealtag");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(d.findChild<QLineEdit*>("txtIdealtag")->text(), QString("Dienstag"));
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    e.toolButton("Open")->trigger();
    QCOMPARE(e.window->windowTitle(), QString("Template: Dienstag"));
    QCOMPARE(e.onScreen(1), QStringList{"08:00-08:20 KONT"});
    QVERIFY(e.action("mnuFileDelete")->isEnabled());
    QVERIFY(e.toolButton("Print")->isEnabled());

    // OK with an empty box does nothing, as in the Save-As dialog: the dialog stays open, and
    // Abbrechen leaves the day, its name and the caption as they were.
    for (int pass = 0; pass < 2; ++pass) {
        e.ctx.modals.handleNext([](QDialog& d) {
            d.findChild<QLineEdit*>("txtIdealtag")->clear();
            QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
            QVERIFY(d.isVisible());
            QTest::mouseClick(d.findChild<QPushButton*>("cmdAbbrechen"), Qt::LeftButton);
        });
        e.action("mnuFileOpen")->trigger();
        QCOMPARE(e.window->windowTitle(), QString("Template: Dienstag"));
        QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Dienstag"));
        QCOMPARE(e.onScreen(1), QStringList{"08:00-08:20 KONT"});
    }
}

void TestCommands::doubleClickIsClickAndOk_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Open") << "mnuFileOpen";
    QTest::newRow("Save As") << "mnuFileSaveAs";
}

void TestCommands::doubleClickIsClickAndOk()
{
    QFETCH(QString, command);
    Editor& e = *m_editor;
    e.ctx.tempDatabase.addDayName("Montag");
    e.ctx.tempDatabase.addDayName("Dienstag");
    e.ctx.tempDatabase.addBlock("Dienstag", "Stuhl 2", "KONT", "08:00", "08:20");
    e.action("mnuFileNew")->trigger();
    e.place(0, "09:00", "09:20", "KONT");
    const bool open = command == "mnuFileOpen";
    if (open)
        e.ctx.messages.answer(QMessageBox::No);
    else
        e.ctx.messages.answer(QMessageBox::Yes); // "Idealtag überschreiben?"
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto* list = d.findChild<QListWidget*>("DBListIdealtag");
        QVERIFY(list);
        const QPoint at = list->visualItemRect(list->item(1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!d.isVisible());
    });
    e.action(command.toLatin1().constData())->trigger();
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Dienstag"));
    if (open) {
        QCOMPARE(e.onScreen(1), QStringList{"08:00-08:20 KONT"});
    } else {
        e.expectBox("Idealtag überschreiben?", "Speichern unter..", QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(e.stored("Dienstag"), QStringList{"Stuhl 1|KONT|09:00|09:20"});
    }
}

void TestCommands::listChoiceWithTheKeyboard_data()
{
    QTest::addColumn<bool>("open"); // the Open dialog, else Save As
    QTest::newRow("Open") << true;
    QTest::newRow("Save As") << false;
}

void TestCommands::listChoiceWithTheKeyboard()
{
    QFETCH(bool, open);
    Editor& e = *m_editor;
    for (const char* name : {"Montag", "Dienstag", "Mittwoch"})
        e.ctx.tempDatabase.addDayName(name);
    e.ctx.tempDatabase.addBlock("Dienstag", "Stuhl 2", "KONT", "08:00", "08:20");
    e.action("mnuFileNew")->trigger();
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto* box = d.findChild<QLineEdit*>(open ? "txtIdealtag" : "txtName");
        auto* list = d.findChild<QListWidget*>("DBListIdealtag");
        QVERIFY(QTest::qWaitForWindowActive(&d));
        box->setText("getippt");
        // Tab to the list, as a user does: reaching it marks an entry but leaves the typed name.
        for (int i = 0; i < 4 && d.focusWidget() != list; ++i)
            QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
        QCOMPARE(d.focusWidget(), list);
        QCOMPARE(box->text(), QString("getippt"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(box->text(), QString("Dienstag"));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(box->text(), QString("Mittwoch"));
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(box->text(), QString("Dienstag"));
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    if (!open)
        e.ctx.messages.answer(QMessageBox::Yes); // overwrite "Dienstag"
    if (!open)
        e.window->openDay().touch(); // a right click on a free place: a day to save
    e.action(open ? "mnuFileOpen" : "mnuFileSaveAs")->trigger();
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Dienstag"));
    if (open)
        QCOMPARE(e.onScreen(1), QStringList{"08:00-08:20 KONT"});
    else
        QCOMPARE(e.window->windowTitle(), QString("Template für [ Dienstag ]"));
}

void TestCommands::dayNamesAreShownAsTyped()
{
    Editor& e = *m_editor;
    const QString name = "Tag [*] <b>fett</b>";
    e.action("mnuFileNew")->trigger();
    e.place(0, "08:00", "08:20", "KONT");
    e.ctx.modals.handleNext(saveAs(name));
    e.action("mnuFileSave")->trigger();
    // What the window system shows as the caption, not only what was set.
    QCOMPARE(e.window->windowHandle()->title(), "Template für [ " + name + " ]");
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto* list = d.findChild<QListWidget*>("DBListIdealtag");
        QCOMPARE(list->item(0)->text(), name);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    e.action("mnuFileOpen")->trigger();
    QCOMPARE(e.window->windowHandle()->title(), "Template: " + name);
}

void TestCommands::openCancelledKeepsTheEdits()
{
    Editor& e = *m_editor;
    e.openStoredMonday();
    e.place(2, "12:00", "12:30", "BOGEN");

    e.ctx.messages.answer(QMessageBox::No);
    e.ctx.modals.handleNext(clickCancel());
    e.action("mnuFileOpen")->trigger();
    QCOMPARE(e.onScreen(2), QStringList{"12:00-12:30 BOGEN"});
    QVERIFY(e.ctx.state.modified());
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Montag"));
}

void TestCommands::openAnUnlistedName()
{
    Editor& e = *m_editor;
    e.ctx.modals.handleNext(openName("Samstag"));
    e.action("mnuFileOpen")->trigger();
    QCOMPARE(e.window->windowTitle(), QString("Template: Samstag"));
    QCOMPARE(e.onScreen(0), QStringList());
    // Saved, the name is listed from then on.
    e.place(0, "08:00", "08:20", "KONT");
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.dayNames(), QStringList{"Samstag"});
    QCOMPARE(e.stored("Samstag"), QStringList{"Stuhl 1|KONT|08:00|08:20"});
}

void TestCommands::renameKeepsTheOpenDayAndItsVersions()
{
    Editor& e = *m_editor;
    e.ctx.tempDatabase.addDayName("Dienstag");
    e.ctx.modals.handleNext(openName("Montag"));
    e.action("mnuFileOpen")->trigger();
    e.place(0, "08:00", "08:20", "KONT");
    e.action("mnuFileSave")->trigger();
    e.place(0, "09:00", "09:20", "KONT");
    e.action("mnuFileSave")->trigger();
    e.choose("BOGEN");
    e.click(1, "10:00"); // not saved, a step of the history
    const DayVersionTable versions(e.ctx.tempDatabase.database());
    QCOMPARE(versions.versionsOf("Montag").size(), 1);

    QVERIFY(e.action("mnuFileRename")->isEnabled());
    e.ctx.modals.handleNext([](QDialog& d) {
        QCOMPARE(d.windowTitle(), QString("Idealtag umbenennen"));
        QCOMPARE(d.findChild<QLabel*>("Label1_1")->text(), QString("Name:"));
        auto* name = d.findChild<QLineEdit*>("txtName");
        QCOMPARE(name->selectedText(), QString("Montag")); // typing replaces it
        QCOMPARE(d.findChild<QListWidget*>("DBListIdealtag")->count(), 2);
        name->setText("Montag neu");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    e.action("mnuFileRename")->trigger();
    QVERIFY(e.ctx.messages.shown().isEmpty());
    QCOMPARE(e.window->windowTitle(), QString("Template: Montag neu"));
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Montag neu"));
    // The open day stays as it was: its blocks, its unsaved edit and the steps to take back.
    QCOMPARE(e.onScreen(0), QStringList({"08:00-08:20 KONT", "09:00-09:20 KONT"}));
    QCOMPARE(e.onScreen(1), QStringList({"10:00-10:30 BOGEN"}));
    QVERIFY(e.ctx.state.modified());
    QVERIFY(e.window->openDay().history().canUndo());
    // Stored under the new name in place; the versions went along, the newest recording the rename.
    QCOMPARE(e.dayNames(), QStringList({"Dienstag", "Montag neu"}));
    QCOMPARE(e.stored("Montag"), QStringList());
    QCOMPARE(e.stored("Montag neu"), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 1|KONT|09:00|09:20"}));
    QCOMPARE(versions.versionsOf("Montag").size(), 0);
    const QList<DayVersion> after = versions.versionsOf("Montag neu");
    QCOMPARE(after.size(), 2);
    QVERIFY(after[0].renamed && !after[0].deleted);
    QCOMPARE(after[0].rows.size(), 2);
    QVERIFY(!after[1].renamed);
    QCOMPARE(after[1].rows.size(), 1);
    e.ctx.modals.handleNext([](QDialog& d) {
        const QTreeWidgetItem* day = static_cast<frmVersionen&>(d).list()->topLevelItem(0);
        QCOMPARE(day->text(0), QString("„Montag neu“"));
        QVERIFY2(day->child(0)->text(0).endsWith(" (umbenannt)"), qPrintable(day->child(0)->text(0)));
        d.reject();
    });
    e.action("mnuFileVersions")->trigger();

    // The next save takes the rows as its own: no question about a change elsewhere.
    e.action("mnuFileSave")->trigger();
    QVERIFY(e.ctx.messages.shown().isEmpty());
    QCOMPARE(e.stored("Montag neu").size(), 3);
    // An unnamed day has nothing stored to rename.
    e.newDay();
    QVERIFY(!e.action("mnuFileRename")->isEnabled());
    e.window->mnuFileRename_Click(); // no dialog
}

void TestCommands::renameRefusals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text"); // the refusal; empty: OK does nothing
    QTest::addColumn<QString>("title");
    const QString taken = "Ein Idealtag mit diesem Namen ist bereits vorhanden.";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("blanks only") << "   "
                                 << "Der Name besteht nur aus Leerzeichen. Bitte geben Sie einen Namen ein."
                                 << "Lunaris";
    QTest::newRow("outer blank") << "Montag neu "
                                 << "Der Name „Montag neu “ darf nicht mit einem Leerzeichen beginnen oder enden."
                                 << "Lunaris";
    QTest::newRow("a stored day's name") << "Dienstag" << taken << "Idealtag umbenennen";
    QTest::newRow("rows under the name, not listed") << "Waise" << taken << "Idealtag umbenennen";
}

void TestCommands::renameRefusals()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, title);
    Editor& e = *m_editor;
    e.ctx.tempDatabase.addDayName("Montag");
    e.ctx.tempDatabase.addDayName("Dienstag");
    e.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    e.ctx.tempDatabase.addBlock("Waise", "Stuhl 2", "KONT", "09:00", "09:20"); // the planner's rows
    e.ctx.modals.handleNext(openName("Montag"));
    e.action("mnuFileOpen")->trigger();
    if (!text.isEmpty())
        e.ctx.messages.answer(QMessageBox::Ok);
    bool stayedOpen = false;
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto* name = d.findChild<QLineEdit*>("txtName");
        name->setText(typed);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        stayedOpen = d.isVisible();
        QCOMPARE(name->text(), typed); // to be corrected
        QTest::mouseClick(d.findChild<QPushButton*>("cmdAbbrechen"), Qt::LeftButton);
    });
    e.action("mnuFileRename")->trigger();
    QVERIFY(stayedOpen);
    if (text.isEmpty())
        QVERIFY(e.ctx.messages.shown().isEmpty());
    else
        e.expectBox(text, title, QMessageBox::Warning);
    QCOMPARE(e.dayNames(), QStringList({"Montag", "Dienstag"}));
    QCOMPARE(e.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20"}));
    QCOMPARE(e.stored("Waise"), QStringList({"Stuhl 2|KONT|09:00|09:20"}));
    QCOMPARE(e.window->windowTitle(), QString("Template: Montag"));
}

// The day was deleted at another workstation while it was open here: nothing is renamed, and the user is
// told so instead of a rename that seems to succeed.
void TestCommands::renameOfADayDeletedElsewhere()
{
    Editor& e = *m_editor;
    e.openStoredMonday();
    e.ctx.tempDatabase.exec("DELETE FROM Template WHERE IDEALTAG = 'Montag'");
    e.ctx.tempDatabase.exec("DELETE FROM Idealtag WHERE IDEALTAG = 'Montag'");
    e.ctx.messages.answer(QMessageBox::Ok);
    e.ctx.modals.handleNext(typeAndClickOk("txtName", "Montag neu"));
    e.action("mnuFileRename")->trigger();
    e.expectBox("Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz gelöscht und wurde nicht "
                "umbenannt.\rMit „Speichern unter...“ legen Sie ihn wieder an.",
                "Idealtag umbenennen", QMessageBox::Warning);
    QCOMPARE(e.ctx.messages.shown().size(), 1);
    QCOMPARE(e.dayNames(), QStringList());
    QCOMPARE(e.stored("Montag neu"), QStringList());
    // The day keeps its name and its block, to be stored again.
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Montag"));
    QCOMPARE(e.window->windowTitle(), QString("Template: Montag"));
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:20 KONT"});
    QCOMPARE(e.window->findChild<QLabel*>("sbStatusBar_Panel1")->text().contains("abgebrochen"), false);
}

void TestCommands::deleteDay_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("blocks");
    QTest::addColumn<bool>("listed");
    QTest::newRow("Yes") << true << true << true;
    QTest::newRow("No") << false << true << true;
    QTest::newRow("a day without blocks") << true << false << true;
    QTest::newRow("a day without a name row") << true << true << false;
}

void TestCommands::deleteDay()
{
    QFETCH(bool, yes);
    QFETCH(bool, blocks);
    QFETCH(bool, listed);
    Editor& e = *m_editor;
    if (listed)
        e.ctx.tempDatabase.addDayName("Montag");
    e.ctx.tempDatabase.addDayName("Dienstag");
    if (blocks)
        e.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    e.ctx.tempDatabase.addBlock("Dienstag", "Stuhl 1", "KONT", "08:00", "08:20");

    e.action("mnuFileDelete")->trigger(); // nothing open, nothing named: nothing happens
    e.ctx.modals.handleNext(openName("Montag"));
    e.action("mnuFileOpen")->trigger();
    e.place(1, "09:00", "09:20", "KONT"); // unsaved edit

    e.ctx.messages.answer(yes ? QMessageBox::Yes : QMessageBox::No);
    if (!yes)
        e.ctx.messages.answer(QMessageBox::No); // New's save question
    e.action("mnuFileDelete")->trigger();
    const MessageRequest question = e.ctx.messages.shown().first();
    QCOMPARE(question.text, QString("Möchten Sie den Montag löschen?"));
    QCOMPARE(question.title, QString("Idealtag löschen"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(e.ctx.messages.shown().size(), yes ? 1 : 2); // no save question after a deletion

    QCOMPARE(e.window->windowTitle(), QString("Template:  [ Unbenannt ]"));
    QVERIFY(!e.action("mnuFileDelete")->isEnabled());
    QCOMPARE(e.onScreen(1), QStringList());
    QCOMPARE(e.stored("Montag").isEmpty(), yes || !blocks);
    QCOMPARE(e.dayNames(),
             yes ? QStringList{"Dienstag"} : (listed ? QStringList({"Montag", "Dienstag"}) : QStringList{"Dienstag"}));
    QCOMPARE(e.stored("Dienstag").size(), 1);
    QCOMPARE(e.ctx.tempDatabase.rows("SELECT COUNT(*) FROM Stuhl"), QStringList{"3"});
}

void TestCommands::failedSaveKeepsTheStoredDay()
{
    Editor& e = *m_editor;
    e.openStoredMonday();
    e.place(1, "09:00", "09:30", "BOGEN");
    e.place(2, "10:00", "10:30", "BOGEN");
    // The third row written fails, after the old rows were deleted and two new ones written.
    e.ctx.tempDatabase.exec("CREATE TRIGGER fail BEFORE INSERT ON Template WHEN NEW.STUHL = 'Stuhl 3' "
                            "BEGIN SELECT RAISE(ABORT, 'kaputt'); END");
    e.ctx.messages.answer(QMessageBox::Ok);
    e.action("mnuFileSave")->trigger();
    e.expectBox("Daten konnten nicht gespeichert werden", "Speichern", QMessageBox::Critical, QMessageBox::Ok);
    QVERIFY(e.ctx.state.modified());
    QCOMPARE(e.stored("Montag"), QStringList{"Stuhl 1|KONT|08:00|08:20"});
    QCOMPARE(e.onScreen(2), QStringList{"10:00-10:30 BOGEN"});

    e.ctx.tempDatabase.exec("DROP TRIGGER fail");
    e.action("mnuFileSave")->trigger();
    QVERIFY(!e.ctx.state.modified());
    QCOMPARE(e.stored("Montag").size(), 3);
}

void TestCommands::namesWithApostrophes()
{
    Editor& e = *m_editor;
    const QString name = "Dr. O'Neil's Montag";
    e.action("mnuFileNew")->trigger();
    e.place(0, "08:00", "08:20", "KONT");
    e.ctx.modals.handleNext(saveAs(name));
    e.action("mnuFileSave")->trigger();
    QCOMPARE(e.stored(name), QStringList{"Stuhl 1|KONT|08:00|08:20"});

    e.action("mnuFileNew")->trigger();
    e.ctx.modals.handleNext(openName(name));
    e.action("mnuFileOpen")->trigger();
    QCOMPARE(e.onScreen(0), QStringList{"08:00-08:20 KONT"});

    e.ctx.messages.answer(QMessageBox::Yes);
    e.action("mnuFileDelete")->trigger();
    QVERIFY(e.stored(name).isEmpty());
    QVERIFY(e.dayNames().isEmpty());
}

void TestCommands::endToEnd()
{
    Editor& e = *m_editor;
    e.action("mnuFileNew")->trigger();
    e.place(0, "08:00", "08:20", "KONT");
    e.place(0, "09:00", "09:30", "BOGEN");
    e.place(2, "08:00", "08:20", "KONT");
    const QString fee = e.window->findChild<QLineEdit*>("txtHon")->text();
    const QStringList doctor = e.onScreen(3);
    QCOMPARE(fee, QString("65")); // 64,50
    e.ctx.modals.handleNext(saveAs("Mittwoch"));
    e.action("mnuFileSave")->trigger();

    e.action("mnuFileNew")->trigger();
    QCOMPARE(e.onScreen(0), QStringList());
    e.ctx.modals.handleNext(openName("Mittwoch"));
    e.action("mnuFileOpen")->trigger();
    QCOMPARE(e.onScreen(0), QStringList({"08:00-08:20 KONT", "09:00-09:30 BOGEN"}));
    QCOMPARE(e.onScreen(1), QStringList());
    QCOMPARE(e.onScreen(2), QStringList{"08:00-08:20 KONT"});
    QCOMPARE(e.window->SSDay1(1)->caption(), QString("Stuhl 2"));
    QCOMPARE(e.onScreen(3), doctor);
    QCOMPARE(e.window->findChild<QLineEdit*>("txtHon")->text(), fee);

    e.ctx.messages.answer(QMessageBox::Yes);
    e.action("mnuFileDelete")->trigger();
    QCOMPARE(e.ctx.tempDatabase.rows("SELECT COUNT(*) FROM Template"), QStringList{"0"});
    QVERIFY(e.dayNames().isEmpty());
}

LUNARIS_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
