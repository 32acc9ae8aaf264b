#include "AccessibleEvents.h"
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "about/frmAbout.h"
#include "app/FirstStartGuide.h"
#include "app/HelpWindow.h"
#include "commands/frmDatensicherung.h"
#include "commands/frmOpen.h"
#include "commands/frmSpeichern.h"
#include "commands/frmUmbenennen.h"
#include "commands/frmVersionen.h"
#include "dayview/DayView.h"
#include "editing/EditAnnouncements.h"
#include "editing/OpenDay.h"
#include "masterdata/frmBehandT.h"
#include "masterdata/frmStuhlT.h"
#include "settings/frmDatenbank.h"
#include "settings/frmEinstellungenT.h"
#include "ui/Announcer.h"
#include "ui/NoticeBar.h"
#include <QMenu>

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

namespace {
// Three chairs; KONT (30 min, fee 20) needs the doctor for its first 10 minutes.
struct Editor : MainWindowFixture {
    Editor() : MainWindowFixture(3, QSize(1000, 700))
    {
        ctx.tempDatabase.addTreatment("KONT", 30, 0, 10, 0, 0, 20, "Kontrolle");
        start();
        newDay();
        choose("KONT");
        click(0, "08:10");
        click(1, "08:10");
        click(2, "09:00");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    // Tab from the treatment list into the first chair, at its first row.
    // What the set-up said, where it waited for the focus to settle, is out before a test records.
    void settleAnnouncements() { QTRY_VERIFY(!window->findChild<EditAnnouncements*>()->announcer().isWaiting()); }
    void enterFirstChair()
    {
        window->findChild<QComboBox*>("DBComboBeh")->setFocus(Qt::TabFocusReason);
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->SSDay1(0));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        QTest::keyClick(focused, Qt::Key(key), modifiers);
    }
};

QString nameOf(QAccessibleInterface* item)
{
    return item ? item->text(QAccessible::Name) : QString("(keins)");
}

// Keys as "Down", "Ctrl+Z": what a test row presses.
void press(Editor& e, const QStringList& keys)
{
    for (const QString& key : keys) {
        // Not a key: the history starts anew, as after a change of hours or chairs.
        if (key == "history reset") {
            e.window->openDay().forgetHistory();
            continue;
        }
        const QKeySequence sequence(key);
        QVERIFY2(sequence.count() == 1, qPrintable(key));
        const QKeyCombination combination = sequence[0];
        e.key(combination.key(), combination.keyboardModifiers());
    }
}

// The name a screen reader gives a control: the label related to it, else its own name.
QString spokenName(QWidget* widget)
{
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(widget);
    if (!item)
        return {};
    QStringList labels;
    for (const auto& [other, relation] : item->relations(QAccessible::Label))
        labels.append(other->text(QAccessible::Name));
    return labels.isEmpty() ? item->text(QAccessible::Name) : labels.join(' ');
}
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void theTreeOfADay_data();
    void theTreeOfADay();
    void enteringAColumnEndsOnItsRow();
    void everyStepIsAnnouncedOnce_data();
    void everyStepIsAnnouncedOnce();
    void aSaveAndAnOpenAreAnnounced();
    void aTypedCountIsSaid();
    void aCancelledNameDialogIsSaid_data();
    void aCancelledNameDialogIsSaid();
    void aStepIsDescribed_data();
    void aStepIsDescribed();
    void theTreatmentChoiceSpeaks();
    void theControlsBesideTheColumnsAreNamed_data();
    void theControlsBesideTheColumnsAreNamed();
    void everyFieldOfEveryDialogHasAName_data();
    void everyFieldOfEveryDialogHasAName();
    void theAuswertungIsNoKeyboardTrap();
    void aWaitingTextWaitsUntilTheFocusSettles();
    void aTextJustAfterADialogClosedWaits();
};

void TestAccessibility::theTreeOfADay_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("row"); // what the row item is called
    QTest::newRow("free row") << 0 << "Stuhl 1"
                              << "08:00"
                              << "08:00 frei";
    QTest::newRow("row where a block starts") << 0 << "Stuhl 1"
                                              << "08:10"
                                              << "08:10 KONT Kontrolle bis 08:40, 30 Minuten";
    QTest::newRow("row inside a block") << 1 << "Stuhl 2"
                                        << "08:20"
                                        << "08:20 belegt durch KONT seit 08:10";
    QTest::newRow("last row of a block") << 1 << "Stuhl 2"
                                         << "08:30"
                                         << "08:30 belegt durch KONT seit 08:10";
    QTest::newRow("row after a block") << 1 << "Stuhl 2"
                                       << "08:40"
                                       << "08:40 frei";
    QTest::newRow("third chair") << 2 << "Stuhl 3"
                                 << "09:00"
                                 << "09:00 KONT Kontrolle bis 09:30, 30 Minuten";
    QTest::newRow("doctor row, overloaded") << 3 << "Dr.-Zeit"
                                            << "08:10"
                                            << "08:10 Arzt 20 Minuten, überlastet um 10";
    QTest::newRow("doctor row") << 3 << "Dr.-Zeit"
                                << "09:00"
                                << "09:00 Arzt 10 Minuten";
    QTest::newRow("doctor row without demand") << 3 << "Dr.-Zeit"
                                               << "08:20"
                                               << "08:20 frei";
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
    // The mouse's tooltip is no description for the keyboard.
    QCOMPARE(list->text(QAccessible::Description), QString());
    QCOMPARE(list->childCount(), view->rowCount());
    QAccessibleInterface* item = list->child(view->rowOfTime(time));
    QVERIFY(item);
    QCOMPARE(item->role(), QAccessible::ListItem);
    QCOMPARE(item->text(QAccessible::Name), row);
    // "Where am I" reads the description: the column.
    QCOMPARE(item->text(QAccessible::Description), name);
    QCOMPARE(item->parent(), list);
    QCOMPARE(list->indexOfChild(item), view->rowOfTime(time));
    QVERIFY(item->state().focusable);
    // The item lies over its row on screen.
    QCOMPARE(list->childAt(item->rect().center().x(), item->rect().center().y()), item);
}

void TestAccessibility::enteringAColumnEndsOnItsRow()
{
    Editor e;
    AccessibleEvents events;
    e.enterFirstChair();
    // Qt tells of the column first; the row comes after it, so the screen reader ends on the row.
    QTRY_COMPARE(events.lastFocus(), QString("08:00 frei"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(e.window->SSDay1(0));
    QCOMPARE(nameOf(list->focusChild()), QString("08:00 frei"));
    QVERIFY(list->focusChild()->state().focused);
    e.key(Qt::Key_Down);
    QCOMPARE(events.lastFocus(), QString("08:10 KONT Kontrolle bis 08:40, 30 Minuten"));
    QVERIFY(!list->child(0)->state().focused);

    // Right along the chairs to the doctor column, which is in the Tab order too; no further.
    for (int column = 1; column <= 3; ++column) {
        e.key(Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), e.window->SSDay1(column));
    }
    QTRY_COMPARE(events.lastFocus(), QString("08:10 Arzt 20 Minuten, überlastet um 10"));
    e.key(Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), e.window->SSDay1(3));
    e.key(Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), e.window->SSDay1(2));
    e.key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), e.window->SSDay1(3));
}

void TestAccessibility::everyStepIsAnnouncedOnce_data()
{
    QTest::addColumn<QStringList>("keys"); // pressed from the first row of the first chair
    QTest::addColumn<QString>("said");     // the one announcement after the last key
    // The day: KONT 08:10 in chairs 1 and 2 (the doctor's 08:10 row overloaded), 09:00 in chair 3.
    QTest::newRow("place") << QStringList{"Down", "Down", "Down", "Down", "Space"}
                           << "KONT 08:40 bis 09:10 eingetragen, Honorar 80";
    QTest::newRow("place, making an overload")
        << QStringList{"End", "Home", "Down", "Down", "Down", "Down", "Down", "Down", "Return"}
        << "KONT 09:00 bis 09:30 eingetragen, Honorar 80. Arzt überlastet 09:00";
    QTest::newRow("remove, ending an overload")
        << QStringList{"Down", "Delete"} << "KONT 08:10 entfernt, Honorar 40. Arzt nicht mehr überlastet 08:10";
    QTest::newRow("remove on a free row") << QStringList{"Delete"} << "Nichts entfernt";
    QTest::newRow("undo") << QStringList{"Down", "Delete", "Ctrl+Z"}
                          << "Rückgängig: KONT 08:10 bis 08:40 eingetragen, Honorar 60. Arzt überlastet 08:10";
    QTest::newRow("redo") << QStringList{"Down", "Delete", "Ctrl+Z", "Ctrl+Y"}
                          << "Wiederhergestellt: KONT 08:10 entfernt, Honorar 40. Arzt nicht mehr überlastet 08:10";
    QTest::newRow("paste") << QStringList{"Down", "Ctrl+C", "Right", "Right", "Home", "Ctrl+V"}
                           << "KONT 08:00 bis 08:30 eingetragen, Honorar 80";
    QTest::newRow("a step after a history reset is a new one")
        << QStringList{"Down", "Delete", "Space", "history reset", "Down", "Down", "Down", "Space"}
        << "KONT 08:40 bis 09:10 eingetragen, Honorar 80";
    QTest::newRow("paste with nothing copied")
        << QStringList{"Ctrl+V"} << "Nichts kopiert – zuerst einen Block mit Strg+C kopieren";
    QTest::newRow("the same again is said again") << QStringList{"Delete", "Delete"} << "Nichts entfernt";
    QTest::newRow("doctor column") << QStringList{"Right", "Right", "Right", "Space"}
                                   << "Die Arztzeit wird aus den Stühlen berechnet.";
    QTest::newRow("delete in the doctor column")
        << QStringList{"Right", "Right", "Right", "Delete"} << "Die Arztzeit wird aus den Stühlen berechnet.";
}

void TestAccessibility::everyStepIsAnnouncedOnce()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, said);
    Editor e;
    e.enterFirstChair();
    QTest::qWait(0);
    AccessibleEvents events;
    press(e, keys.mid(0, keys.size() - 1));
    e.settleAnnouncements();
    events.clear();
    press(e, keys.mid(keys.size() - 1));
    QTRY_COMPARE(events.announcements().join(" | "), said);
    e.expectNothingPending();
}

void TestAccessibility::aSaveAndAnOpenAreAnnounced()
{
    Editor e;
    e.ctx.state.CurrentIdealtag = "Montag";
    e.ctx.tempDatabase.addDayName("Montag");
    e.enterFirstChair();
    e.settleAnnouncements();
    AccessibleEvents events;
    e.key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(e.stored("Montag").size(), 3);
    // The same day read again, then another one.
    e.window->Termin_load();
    e.ctx.state.CurrentIdealtag.clear();
    e.window->Termin_load();
    QTRY_COMPARE(events.announcements(),
                 QStringList({"Gespeichert", "Montag neu geladen, 3 Termine, Honorar 60", "Neuer Idealtag, leer"}));
}

void TestAccessibility::aTypedCountIsSaid()
{
    // Tag füllen: a digit typed on a count opens its editor, Return confirms it and the cell is not read again.
    Editor e;
    e.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e.window.get()));
    e.settleAnnouncements();
    AccessibleEvents events;
    QStringList said;
    e.ctx.modals.handleNext([&](QDialog& d) {
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* table = d.findChild<QTableWidget*>("tblWanted");
        QVERIFY(table);
        const QList<QTableWidgetItem*> kont = table->findItems("KONT", Qt::MatchExactly);
        QCOMPARE(kont.size(), 1);
        table->setCurrentCell(kont.first()->row(), 1);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_2);
        QVERIFY(QApplication::focusWidget() != table); // the editor has it
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(events.announcements().size(), 1);
        said = events.announcements();
        d.reject();
    });
    emit e.window->findChild<QMenu*>("mnuEdit")->aboutToShow();
    e.action("mnuEditFuellen")->trigger();
    QCOMPARE(said, QStringList{"2 × KONT zusätzlich"});
}

void TestAccessibility::aCancelledNameDialogIsSaid_data()
{
    QTest::addColumn<QString>("command"); // the menu command whose name dialog is left
    QTest::addColumn<QString>("box");     // its name box
    QTest::addColumn<QString>("typed");   // typed into it before the key; "-": left as it opened
    QTest::addColumn<int>("key");         // Enter and Esc both cancel the dialog
    QTest::addColumn<QString>("said");    // the status panel and the announcement; "-": nothing said
    const QString saveAs = "Nicht gespeichert – „Speichern unter“ abgebrochen";
    QTest::newRow("Speichern unter, Enter") << "mnuFileSaveAs"
                                            << "txtName"
                                            << "Dienstag" << int(Qt::Key_Return) << saveAs;
    QTest::newRow("Öffnen, Enter after typing")
        << "mnuFileOpen"
        << "txtIdealtag"
        << "Montag" << int(Qt::Key_Return) << "Nicht gespeichert – „Öffnen“ abgebrochen";
    QTest::newRow("Öffnen, Esc after typing")
        << "mnuFileOpen"
        << "txtIdealtag"
        << "Montag" << int(Qt::Key_Escape) << "Nicht gespeichert – „Öffnen“ abgebrochen";
    QTest::newRow("Öffnen, Esc with nothing chosen") << "mnuFileOpen"
                                                     << "txtIdealtag"
                                                     << "-" << int(Qt::Key_Escape) << "-";
    QTest::newRow("Umbenennen, Enter after typing")
        << "mnuFileRename"
        << "txtName"
        << "Montag neu" << int(Qt::Key_Return) << "Nicht gespeichert – „Umbenennen“ abgebrochen";
    QTest::newRow("Umbenennen, Esc with the name unchanged") << "mnuFileRename"
                                                             << "txtName"
                                                             << "-" << int(Qt::Key_Escape) << "-";
}

void TestAccessibility::aCancelledNameDialogIsSaid()
{
    QFETCH(QString, command);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, said);
    Editor e;
    e.ctx.modals.handleNext(saveAs("Montag"));
    e.action("mnuFileSaveAs")->trigger();
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Montag"));
    e.window->openDay().touch(); // a right click on a free place: modified again
    e.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e.window.get()));
    e.enterFirstChair();
    e.settleAnnouncements();
    AccessibleEvents events;
    // Open asks first about the unsaved day; Nein goes on to its dialog.
    const bool opening = command == "mnuFileOpen";
    if (opening)
        e.ctx.messages.answer(QMessageBox::No);
    e.ctx.modals.handleNext([&](QDialog& d) {
        auto* name = d.findChild<QLineEdit*>(box);
        QVERIFY(name);
        if (typed != "-")
            name->setText(typed);
        name->setFocus();
        QTest::keyClick(name, Qt::Key(key));
        QVERIFY(!d.isVisible());
    });
    e.action(command.toLatin1().constData())->trigger();
    if (opening)
        e.expectBox("Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(e.ctx.messages.shown().size(), opening ? 1 : 0);
    // The focus back in the day, where the text waits for it.
    e.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e.window.get()));
    e.window->SSDay1(0)->setFocus();
    // Nothing was done: the day, its name and its unsaved state are as they were.
    QCOMPARE(e.ctx.state.CurrentIdealtag, QString("Montag"));
    QCOMPARE(e.dayNames(), QStringList{"Montag"});
    QVERIFY(e.ctx.state.modified());
    QCOMPARE(e.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(),
             said == "-" ? QString("Nicht gespeichert") : said);
    if (said == "-") {
        e.settleAnnouncements();
        QCOMPARE(events.announcements(), QStringList());
    } else {
        QTRY_COMPARE(events.announcements(), QStringList{said});
    }
    e.expectNothingPending();
}

void TestAccessibility::aStepIsDescribed_data()
{
    using Chair = EditAnnouncements::Chair;
    using Kind = EditAnnouncements::Kind;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<Chair>>("before");
    QTest::addColumn<QList<Chair>>("after");
    QTest::addColumn<QString>("text");
    const DayBlock kont{"09:10", "09:30", "KONT", Qt::green};
    const DayBlock moved{"09:40", "10:00", "KONT", Qt::green};
    const DayBlock erst{"08:00", "08:30", "ERST", Qt::green};
    QTest::newRow("moved in a chair") << int(Kind::Made) << QList<Chair>{{"Stuhl 1", {erst, kont}}}
                                      << QList<Chair>{{"Stuhl 1", {erst, moved}}}
                                      << "KONT von 09:10 nach 09:40 verschoben, Honorar 911";
    QTest::newRow("moved to another chair") << int(Kind::Made) << QList<Chair>{{"Stuhl 1", {kont}}, {"Stuhl 2", {}}}
                                            << QList<Chair>{{"Stuhl 1", {}}, {"Stuhl 2", {moved}}}
                                            << "KONT von Stuhl 1 09:10 nach Stuhl 2 09:40 verschoben, Honorar 911";
    QTest::newRow("a move undone") << int(Kind::Undone) << QList<Chair>{{"Stuhl 1", {moved}}}
                                   << QList<Chair>{{"Stuhl 1", {kont}}}
                                   << "Rückgängig: KONT von 09:40 nach 09:10 verschoben, Honorar 911";
    QTest::newRow("a second block alike")
        << int(Kind::Redone) << QList<Chair>{{"Stuhl 1", {kont}}} << QList<Chair>{{"Stuhl 1", {kont, kont}}}
        << "Wiederhergestellt: KONT 09:10 bis 09:30 eingetragen, Honorar 911";
}

void TestAccessibility::aStepIsDescribed()
{
    QFETCH(int, kind);
    QFETCH(QList<EditAnnouncements::Chair>, before);
    QFETCH(QList<EditAnnouncements::Chair>, after);
    QFETCH(QString, text);
    QCOMPARE(EditAnnouncements::describe(EditAnnouncements::Kind(kind), before, after, {}, {}, "911"), text);
}

void TestAccessibility::theTreatmentChoiceSpeaks()
{
    Editor e;
    e.ctx.tempDatabase.addTreatment("ERST", 30, 0, 20, 0, 0, 45.5, "Erstberatung mit ausführlicher Anamnese");
    // Closing the treatment editor reads the list again.
    e.ctx.modals.handleNext([](QDialog& editor) { editor.reject(); });
    e.action("mnuBeh")->trigger();
    auto* combo = e.window->findChild<QComboBox*>("DBComboBeh");
    QCOMPARE(combo->accessibleDescription(), QString("KONT – Kontrolle, 30 Minuten, 20,00 €"));
    e.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e.window.get()));
    e.settleAnnouncements();
    AccessibleEvents events;
    combo->setFocus(Qt::TabFocusReason);
    e.key(Qt::Key_Down);
    QCOMPARE(e.ctx.state.CurrentBeh, QString("ERST"));
    const QString erst("ERST – Erstberatung mit ausführlicher Anamnese, 30 Minuten, 45,50 €");
    QTRY_COMPARE(events.announcements(), QStringList{erst});
    // The open drop-down says the same, and is wide enough for its longest row.
    QCOMPARE(combo->itemData(combo->currentIndex(), Qt::AccessibleTextRole).toString(), erst);
    const QFontMetrics metrics(combo->view()->font());
    QVERIFY(combo->view()->minimumWidth() >
            metrics.horizontalAdvance("ERST – Erstberatung mit ausführlicher Anamnese, 30 min, 45,50 €"));
}

void TestAccessibility::theControlsBesideTheColumnsAreNamed_data()
{
    QTest::addColumn<QString>("command"); // the menu item that opens the dialog holding it; empty: the main window
    QTest::addColumn<QString>("control"); // object name
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("label"); // what a screen reader names it by
    QTest::addColumn<QString>("value"); // and what it reads as its content (none for a list of names)
    QTest::newRow("treatment list") << ""
                                    << "DBComboBeh" << int(QAccessible::ComboBox) << "Auswahl:"
                                    << "KONT";
    QTest::newRow("fee box") << ""
                             << "txtHon" << int(QAccessible::EditableText) << "Honorar:"
                             << "60";
    QTest::newRow("morning and afternoon")
        << ""
        << "cmdZeit" << int(QAccessible::Button) << "Vormittag/Nachmittag umschalten" << QString();
    QTest::newRow("stored days of the Open dialog")
        << "mnuFileOpen"
        << "DBListIdealtag" << int(QAccessible::List) << "Vorhanden:" << QString();
    QTest::newRow("doctor's second line") << "mnuPref"
                                          << "txtName2" << int(QAccessible::EditableText) << "Facharztbezeichnung"
                                          << "Facharztbezeichnung";
    QTest::newRow("opening time") << "mnuPref"
                                  << "txtOpenZeit" << int(QAccessible::EditableText) << "Öffnungszeit:"
                                  << "08:00";
    QTest::newRow("working days") << "mnuPref"
                                  << "fraArbeitstage" << int(QAccessible::Grouping) << "Arbeitstage:" << QString();
    QTest::newRow("backup folder button")
        << "mnuPref"
        << "cmdPfad" << int(QAccessible::Button) << "Sicherungsordner wählen" << QString();
    QTest::newRow("font button") << "mnuPref"
                                 << "cmdSchrift" << int(QAccessible::Button) << "Schrift ändern" << QString();
    QTest::newRow("font size") << "mnuPref"
                               << "txtFontsize" << int(QAccessible::EditableText) << "Schriftgröße" << QString();
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
        QWidget* widget = holder->findChild<QWidget*>(control);
        QVERIFY(widget);
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(item);
        QCOMPARE(int(item->role()), role);
        QCOMPARE(spokenName(widget), label);
        if (!value.isNull())
            QCOMPARE(item->text(QAccessible::Value), value);
        checked = true;
    };
    if (command.isEmpty()) {
        check(e.window.get());
    } else {
        // Open asks to save the unsaved blocks first: not saved, the dialog comes.
        if (command == "mnuFileOpen")
            e.ctx.messages.answer(QMessageBox::No);
        e.ctx.modals.handleNext([&](QDialog& dialog) {
            check(&dialog);
            dialog.reject();
        });
        e.action(command.toLatin1().constData())->trigger();
        if (command == "mnuFileOpen")
            e.expectBox("Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
    QVERIFY(checked);
}

void TestAccessibility::everyFieldOfEveryDialogHasAName_data()
{
    QTest::addColumn<QString>("dialog");
    for (const char* name : {"frmLunaris", "frmEinstellungenT", "frmOpen", "frmSpeichern", "frmBehandT", "frmStuhlT",
                             "frmDatenbank", "frmAbout", "frmVersionen", "frmDatensicherung", "frmUmbenennen",
                             "HelpWindow", "FirstStartGuide", "NoticeBar"})
        QTest::newRow(name) << name;
}

void TestAccessibility::everyFieldOfEveryDialogHasAName()
{
    QFETCH(QString, dialog);
    Editor e;
    std::unique_ptr<QWidget> window;
    QWidget* holder = e.window.get();
    if (dialog == "frmEinstellungenT")
        window = std::make_unique<frmEinstellungenT>(e.ctx.services);
    else if (dialog == "frmOpen")
        window = std::make_unique<frmOpen>(e.ctx.state, e.ctx.services, e.window.get());
    else if (dialog == "frmSpeichern")
        window = std::make_unique<frmSpeichern>(e.ctx.state, e.ctx.services, e.window.get());
    else if (dialog == "frmBehandT")
        window = std::make_unique<frmBehandT>(e.ctx.state, e.ctx.services);
    else if (dialog == "frmStuhlT")
        window = std::make_unique<frmStuhlT>(e.ctx.state, e.ctx.services);
    else if (dialog == "frmDatenbank")
        window = std::make_unique<frmDatenbank>(e.ctx.services, QString(), e.ctx.tempDatabase.path());
    else if (dialog == "frmAbout")
        window = std::make_unique<frmAbout>(nullptr);
    else if (dialog == "frmVersionen")
        window = std::make_unique<frmVersionen>(e.ctx.services, QString());
    else if (dialog == "frmDatensicherung")
        window = std::make_unique<frmDatensicherung>(
            QList<BackupFile>{{e.ctx.tempDatabase.path(), QDateTime::currentDateTime(), 4096}});
    else if (dialog == "frmUmbenennen")
        window = std::make_unique<frmUmbenennen>(e.ctx.state, e.ctx.services, "Montag", e.window.get());
    else if (dialog == "HelpWindow")
        holder = HelpWindow::showHelp(e.window.get(), TestPaths::programDir() + "/hilfe/inhalt.html",
                                      HelpWindow::Page::Contents);
    else if (dialog == "FirstStartGuide")
        window = std::make_unique<FirstStartGuide>();
    else if (dialog == "NoticeBar")
        window = std::make_unique<NoticeBar>("Neu laden");
    if (window)
        holder = window.get();
    // Every control the keyboard reaches is named: by a label, by its text, or by a name of its own.
    // Text fields and lists are named by what they hold only when nothing else names them.
    QStringList unnamed;
    const QList<QWidget*> controls = holder->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        // Pop-ups (the drop-down's list) are windows of their own.
        if (!(control->focusPolicy() & Qt::TabFocus) || control->window() != holder->window() ||
            qobject_cast<QToolBar*>(control) || control->inherits("QScrollBar") ||
            control->objectName().startsWith("qt_"))
            continue;
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(control);
        if (!item || item->role() == QAccessible::PageTabList)
            continue;
        const QString name = spokenName(control).remove('&').trimmed();
        const bool holdsText = item->role() == QAccessible::EditableText;
        if (name.isEmpty() || name == "..." ||
            (holdsText && name == item->text(QAccessible::Value) && control->accessibleName().isEmpty()))
            unnamed.append(control->objectName() + " (" + control->metaObject()->className() + ")");
    }
    QCOMPARE(unnamed.join(", "), QString());
}

void TestAccessibility::theAuswertungIsNoKeyboardTrap()
{
    Editor e;
    e.action("mnuViewAnalysis")->trigger();
    auto* table = e.window->findChild<QTableWidget*>("tblStuehle");
    QVERIFY(table->isVisible());
    QVERIFY(!table->tabKeyNavigation());
    // Tab leaves the table forwards and backwards, with Ctrl too; the figures are reached by Tab.
    for (const QKeyCombination& key : {QKeyCombination(Qt::Key_Tab), QKeyCombination(Qt::ControlModifier, Qt::Key_Tab),
                                       QKeyCombination(Qt::ShiftModifier, Qt::Key_Backtab),
                                       QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Backtab)}) {
        table->setFocus(Qt::TabFocusReason);
        QTest::keyClick(table, key.key(), key.keyboardModifiers());
        QVERIFY2(QApplication::focusWidget() != table, qPrintable(QKeySequence(key).toString()));
    }
    table->setFocus(Qt::TabFocusReason);
    QTest::keyClick(table, Qt::Key_Tab);
    auto* fee = e.window->findChild<QLabel*>("lblHonorarGesamt");
    QCOMPARE(QApplication::focusWidget(), fee);
    QCOMPARE(QAccessible::queryAccessibleInterface(fee)->text(QAccessible::Name), QString("Honorar gesamt: 60,00 €"));
    QApplication::clipboard()->clear();
    QTest::keySequence(fee, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QString("60,00 €"));
    QStringList figures;
    for (QWidget* w = fee; w && qobject_cast<QLabel*>(w); w = QApplication::focusWidget()) {
        figures.append(w->objectName());
        QTest::keyClick(w, Qt::Key_Tab);
        if (QApplication::focusWidget() == w)
            break;
    }
    QCOMPARE(figures, QStringList({"lblHonorarGesamt", "lblHonorarJeStunde", "lblArztzeitGefordert",
                                   "lblArztzeitVerfuegbar", "lblUeberlasteteZeilen", "lblUeberlastung", "lblSpitze"}));
}

// A closing dialog hands the focus on more than once; Orca drops a notification that a focus change overtakes,
// so a text that waited for the focus appears only after the last of them.
void TestAccessibility::aWaitingTextWaitsUntilTheFocusSettles()
{
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    second->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (QApplication::focusWidget())
        QApplication::focusWidget()->clearFocus();
    QVERIFY(!QApplication::focusWidget());
    Announcer announcer;
    AccessibleEvents events;
    announcer.announce(QStringLiteral("Montag geöffnet")); // no focus: it waits
    QVERIFY(events.announcements().isEmpty());
    first->setFocus();
    QCoreApplication::processEvents();
    second->setFocus();
    QTRY_COMPARE(events.announcements(), QStringList{QStringLiteral("Montag geöffnet")});
    qsizetype lastFocus = -1, shown = -1;
    for (qsizetype i = 0; i < events.events().size(); ++i) {
        if (events.events()[i].type == QAccessible::Focus)
            lastFocus = i;
        if (events.events()[i].role == QAccessible::Notification)
            shown = i;
    }
    QVERIFY2(shown > lastFocus, "the text appeared before the focus settled");
}

void TestAccessibility::aTextJustAfterADialogClosedWaits()
{
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    QDialog dialog(&window);
    auto* dialogField = new QLineEdit(&dialog);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialogField->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), dialogField);
    Announcer announcer;
    AccessibleEvents events;
    dialog.hide();
    // Said at once, the text would reach the screen reader among the events of both windows.
    announcer.announce(QStringLiteral("Montag geöffnet"));
    QVERIFY(announcer.isWaiting());
    QVERIFY(events.announcements().isEmpty());
    window.activateWindow(); // as the window manager does
    QTRY_COMPARE(events.announcements(), QStringList{QStringLiteral("Montag geöffnet")});
    QVERIFY(!announcer.isWaiting());
}

LUNARIS_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
