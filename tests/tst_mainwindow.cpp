#include "DayEdits.h"
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "app/CommandStates.h"
#include "app/FirstStartGuide.h"
#include "dayview/DayView.h"
#include "editing/OpenDay.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QWindow>

namespace {
// Sizes the shown window so that its outer bounds, frame and title bar included, are this large.
void setOuterSizeTwips(frmLunaris& window, int width, int height)
{
    window.resize(QSize(width / 15, height / 15).shrunkBy(window.windowHandle()->frameMargins()));
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void menusAndToolBar();
    void commandsThatCanBeUsed_data();
    void commandsThatCanBeUsed();
    void firstStartGuides();
    void demoPractice_data();
    void demoPractice();
    void settingsTakeEffectAtOnce_data();
    void settingsTakeEffectAtOnce();
    void layoutFollowsTheOuterSize();
    void minimisedWindowIsNotLaidOut();
    void columnsForTheChairCount_data();
    void columnsForTheChairCount();
    void firstStartUsesTheDefaults();
    void practiceSettingsThatMakeNoSense_data();
    void practiceSettingsThatMakeNoSense();
    void practiceSettingsKeyByKey_data();
    void practiceSettingsKeyByKey();
    void positionIsStoredOnClose();
    void minimisedCloseKeepsThePosition();
    void narrowScreenEndsTheProgram();
    void closeAsksOnlyWhenModified();
    void viewToggles();
    void helpWithoutFile();
    void loadDrawsTheDay();
    void loadSkipsRefusedRowsAndReportsOthers();
    void loadAfterChairsWereDeleted();
    void doctorColumnAndFeeOnScreen();
};

void TestMainWindow::menusAndToolBar()
{
    MainWindowFixture f(3);
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    const QList<std::tuple<QString, QString, QString, bool>> items = {
        {"mnuFileNew", "&Neu", "Ctrl+N", true},
        {"mnuFileOpen", "Ö&ffnen...", "Ctrl+O", true},
        {"mnuFileSave", "&Speichern", "Ctrl+S", false},
        {"mnuFileSaveAs", "Speichern &unter...", "", false},
        {"mnuFileRename", "U&mbenennen...", "", false},
        {"mnuFileDelete", "&Löschen", "", false},
        {"mnuFileVersions", "&Versionen...", "", true},
        {"mnuFilePrint", "&Drucken...", "Ctrl+P", false},
        {"mnuFileBackup", "Datensicherung &erstellen", "", true},
        {"mnuFileRestore", "Aus Datensicherung &holen...", "", true},
        {"mnuFileExit", "&Beenden", "Ctrl+E", true},
        {"mnuEditUndo", "&Rückgängig", "Ctrl+Z", false},
        {"mnuEditRedo", "&Wiederherstellen", "Ctrl+Y", false},
        {"mnuBeh", "Behandlungskürzel bearbeiten...", "", true},
        {"mnuStuhl", "Stühle bearbeiten...", "", true},
        {"mnuPref", "Einstellungen bearbeiten...", "", true},
        {"mnuDatenbank", "Datenbank...", "", true},
        {"mnuViewToolbar", "&Symbolleiste", "", true},
        {"mnuViewStatusBar", "S&tatusleiste", "", true},
        {"mnuHelpContents", "&Inhalt", "F1", true},
        {"mnuHelpSearch", "&Suchen in der Hilfe...", "", true},
        {"mnuHelpAbout", "In&fo über Lunaris...", "", true},
    };
    for (const auto& [name, caption, shortcut, enabled] : items) {
        const QAction* action = window.findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->shortcut().toString(), shortcut);
        QCOMPARE(action->isEnabled(), enabled);
    }
    QStringList menus;
    for (const QAction* menu : window.menuBar()->actions())
        menus.append(menu->text());
    QCOMPARE(menus, QStringList({"&Datei", "Bearbeiten", "&Ansicht", "&?"}));

    const QToolBar* bar = window.findChild<QToolBar*>("tbToolBar");
    QStringList buttons;
    for (const QAction* a : bar->actions())
        buttons.append(a->isSeparator()
                           ? "-"
                           : a->data().toString() + ":" + a->toolTip() + ":" + (a->isEnabled() ? "an" : "aus") +
                                 (a->icon().isNull() ? ":ohne Bild" : ""));
    QCOMPARE(buttons, QStringList({"-", "New:Neu:an", "Open:Öffnen:an", "Save:Speichern:aus", "-", "Print:Ducken:aus",
                                   "-", "Undo:Rückgängig:aus", "Redo:Wiederherstellen:aus"}));

    for (const char* hidden : {"lblBehAuswahl", "lblHon", "DBComboBeh", "txtHon"})
        QVERIFY(!window.findChild<QWidget*>(hidden)->isVisibleTo(&window));
    QCOMPARE(window.findChild<QWidget*>("cmdZeit")->property("text").toString(), QString("AM<>PM"));
    QCOMPARE(window.findChild<QLabel*>("sbStatusBar_Panel1")->text(),
             QString("Kein Idealtag geöffnet – Datei → Neu oder Öffnen"));
    QCOMPARE(window.findChild<QLabel*>("sbStatusBar_Panel2")->text(), QDate::currentDate().toString("dd.MM.yyyy"));
    QCOMPARE(window.windowTitle(), QString("Lunaris"));
    QCOMPARE(window.SSDay1(0)->toolTip(), QString("2) Eintragen durch Anklicken"));
    for (int i = 0; i <= 10; ++i)
        QVERIFY(!window.SSDay1(i)->isEnabled()); // until New or Open
    QCOMPARE(window.SSDay1(8)->toolTip(), QString());
}

void TestMainWindow::layoutFollowsTheOuterSize()
{
    MainWindowFixture f(4);
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    window.show();
    setOuterSizeTwips(window, 12600, 8700);
    QCOMPARE(window.frameGeometry().size() * 15, QSize(12600, 8700));
    QCOMPARE(window.outerSizeTwips(), QSize(12600, 8700));
    const QList<int> lefts = {240, 2640, 5040, 7440, 9840};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(window.SSDay1(i)->x() * 15, lefts[i]);
        QCOMPARE(window.SSDay1(i)->width() * 15, 2400);
        QCOMPARE(window.SSDay1(i)->height() * 15, 6000);
    }
}

void TestMainWindow::minimisedWindowIsNotLaidOut()
{
    MainWindowFixture f(4);
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    window.show();
    setOuterSizeTwips(window, 12600, 8700);
    window.setWindowState(Qt::WindowMinimized);
    setOuterSizeTwips(window, 15600, 9750);
    QCOMPARE(window.SSDay1(1)->x() * 15, 2640);
    window.setWindowState(Qt::WindowNoState);
    setOuterSizeTwips(window, 15600, 9750);
    QCOMPARE(window.SSDay1(1)->x() * 15, 240 + 3000);
    QCOMPARE(window.SSDay1(1)->height() * 15, 7050);
}

void TestMainWindow::columnsForTheChairCount_data()
{
    QTest::addColumn<int>("chairs");
    QTest::addColumn<int>("chairCount");
    QTest::newRow("no chair: the doctor column alone") << 0 << 0;
    QTest::newRow("3 chairs") << 3 << 3;
    QTest::newRow("10 chairs: nothing hidden") << 10 << 10;
    QTest::newRow("12 chairs: the first ten get columns") << 12 << 10;
}

void TestMainWindow::columnsForTheChairCount()
{
    QFETCH(int, chairs);
    QFETCH(int, chairCount);
    MainWindowFixture f(chairs);
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    QCOMPARE(f.ctx.state.ChairCount, chairCount);
    for (int i = 0; i <= 10; ++i) {
        QCOMPARE(window.SSDay1(i)->isVisibleTo(&window), i <= chairCount);
        QCOMPARE(window.SSDay1(i)->columnBackColor(), i == chairCount ? QColor(224, 224, 224) : QColor(Qt::white));
    }
    QCOMPARE(window.SSDay1(chairCount)->rowCount(), 60);
    QCOMPARE(window.SSDay1(chairCount)->caption(), QString("Dr.-Zeit"));
    if (chairCount > 0)
        QCOMPARE(window.SSDay1(0)->caption(), QString("Stuhl 1"));
    QCOMPARE(window.SSDay1(std::min(chairCount + 1, 10))->rowCount(), chairCount == 10 ? 60 : 66); // 07:00-18:00
}

void TestMainWindow::firstStartUsesTheDefaults()
{
    MainWindowFixture f(2);
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    window.show();
    // 12000 x 8700 twips outside, frame and title bar included.
    QCOMPARE(window.frameGeometry(), QRect(0, 0, 800, 580));
    QCOMPARE(window.SSDay1(0)->height() * 15, 6000);
    QCOMPARE(f.ctx.state.OpenTime, QString("08:00"));
    QCOMPARE(f.ctx.state.CloseTime, QString("18:00"));
    QCOMPARE(f.ctx.state.SlotSetting, 1);
    QCOMPARE(window.SSDay1(0)->timeOfRow(0), QString("08:00"));
    QCOMPARE(window.SSDay1(0)->rowCount(), 60);
    QCOMPARE(window.SSDay1(2)->timeOfRow(1), QString("08:10"));
}

void TestMainWindow::practiceSettingsThatMakeNoSense_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("close");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("first");
    QTest::addColumn<bool>("reported");
    QTest::newRow("15-minute rows") << "2"
                                    << "07:30"
                                    << "12:00" << 18 << "07:30" << false;
    QTest::newRow("slot x") << "x"
                            << "08:00"
                            << "18:00" << 60 << "08:00" << true;
    QTest::newRow("slot 0") << "0"
                            << "08:00"
                            << "18:00" << 60 << "08:00" << true;
    QTest::newRow("slot 3") << "3"
                            << "08:00"
                            << "18:00" << 60 << "08:00" << true;
    QTest::newRow("slot -1") << "-1"
                             << "08:00"
                             << "18:00" << 60 << "08:00" << true;
    QTest::newRow("slot empty") << ""
                                << "08:00"
                                << "18:00" << 60 << "08:00" << true;
    QTest::newRow("open 8") << "1"
                            << "8"
                            << "18:00" << 60 << "08:00" << true;
    QTest::newRow("open 25:00") << "1"
                                << "25:00"
                                << "18:00" << 60 << "08:00" << true;
    QTest::newRow("open aa:bb") << "1"
                                << "aa:bb"
                                << "18:00" << 60 << "08:00" << true;
    QTest::newRow("open empty") << "1"
                                << ""
                                << "18:00" << 60 << "08:00" << true;
    QTest::newRow("close before open") << "1"
                                       << "12:00"
                                       << "09:00" << 60 << "08:00" << true;
}

void TestMainWindow::practiceSettingsThatMakeNoSense()
{
    QFETCH(QString, slot);
    QFETCH(QString, open);
    QFETCH(QString, close);
    QFETCH(int, rows);
    QFETCH(QString, first);
    QFETCH(bool, reported);
    MainWindowFixture f(1);
    f.ctx.tempSettings.write("Kavemo", "Praxis", "Slot", slot);
    f.ctx.tempSettings.write("Kavemo", "Praxis", "OpenZeit", open);
    f.ctx.tempSettings.write("Kavemo", "Praxis", "ZuZeit", close);
    // Where the family holds a value, the program's own is not used, also when the family's is bad.
    f.ctx.tempSettings.write("Lunaris", "Praxis", "Slot", "2");
    f.ctx.tempSettings.write("Lunaris", "Praxis", "OpenZeit", "10:00");
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    QCOMPARE(window.SSDay1(0)->rowCount(), rows);
    QCOMPARE(window.SSDay1(1)->timeOfRow(0), first);
    const QString status = window.findChild<QLabel*>("sbStatusBar_Panel1")->text();
    QCOMPARE(status != "Kein Idealtag geöffnet – Datei → Neu oder Öffnen", reported);
    if (reported)
        QVERIFY(status.contains("ungültig"));
}

void TestMainWindow::practiceSettingsKeyByKey_data()
{
    QTest::addColumn<QStringList>("kavemo");  // "key=value" under "Kavemo", section Praxis
    QTest::addColumn<QStringList>("lunaris"); // the same under "Lunaris"
    QTest::addColumn<QString>("range");       // first and last row: "08:00-17:50"
    QTest::addColumn<QString>("status");
    const QStringList none;
    const QString noDay = "Kein Idealtag geöffnet – Datei → Neu oder Öffnen";
    QTest::newRow("empty store") << none << none << "08:00-17:50" << noDay;
    QTest::newRow("one bad time replaces only itself")
        << QStringList{"OpenZeit=07:00", "ZuZeit=aa"} << none << "07:00-17:50"
        << "Schlußzeit „aa“ ungültig, 18:00 verwendet";
    QTest::newRow("bad opening time") << QStringList{"OpenZeit=7", "ZuZeit=19:00"} << none << "08:00-18:50"
                                      << "Öffnungszeit „7“ ungültig, 08:00 verwendet";
    QTest::newRow("the replacement makes no range")
        << QStringList{"OpenZeit=19:00", "ZuZeit=aa"} << none << "08:00-17:50"
        << "Öffnungszeiten „19:00“–„aa“ ungültig, 08:00–18:00 verwendet";
    QTest::newRow("slot 02") << QStringList{"Slot=02"} << none << "08:00-17:45" << noDay;
    QTest::newRow("slot +2") << QStringList{"Slot=+2"} << none << "08:00-17:45" << noDay;
    QTest::newRow("slot 2.0 is no whole number") << QStringList{"Slot=2.0"} << none << "08:00-17:50"
                                                 << "Slot „2.0“ ungültig, 10 Minuten verwendet";
    QTest::newRow("the program's own values where the family holds none")
        << none << QStringList{"Slot=2", "OpenZeit=07:00", "ZuZeit=12:00"} << "07:00-11:45" << noDay;
    QTest::newRow("key by key, the family's first")
        << QStringList{"OpenZeit=09:00"} << QStringList{"OpenZeit=07:00", "ZuZeit=12:00"} << "09:00-11:50" << noDay;
    QTest::newRow("the program's own bad value") << none << QStringList{"Slot=<b>3</b>"} << "08:00-17:50"
                                                 << "Slot „<b>3</b>“ ungültig, 10 Minuten verwendet";
}

void TestMainWindow::practiceSettingsKeyByKey()
{
    QFETCH(QStringList, kavemo);
    QFETCH(QStringList, lunaris);
    QFETCH(QString, range);
    QFETCH(QString, status);
    MainWindowFixture f(1);
    for (const QString& entry : kavemo)
        f.ctx.tempSettings.write("Kavemo", "Praxis", entry.section('=', 0, 0), entry.section('=', 1));
    for (const QString& entry : lunaris)
        f.ctx.tempSettings.write("Lunaris", "Praxis", entry.section('=', 0, 0), entry.section('=', 1));
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    const DayView* column = window.SSDay1(0);
    QCOMPARE(column->timeOfRow(0) + "-" + column->timeOfRow(column->rowCount() - 1), range);
    const QLabel* panel = window.findChild<QLabel*>("sbStatusBar_Panel1");
    QCOMPARE(panel->text(), status);
    QCOMPARE(panel->textFormat(), Qt::PlainText);
    // Nothing is ever written under the family's name.
    QCOMPARE(f.ctx.tempSettings.read("Kavemo", "Praxis", "Slot").isNull(), !kavemo.join(' ').contains("Slot="));
}

void TestMainWindow::positionIsStoredOnClose()
{
    MainWindowFixture f(2);
    f.ctx.tempSettings.write("Lunaris", "Settings", "MainLeft", "1500");
    f.ctx.tempSettings.write("Lunaris", "Settings", "MainTop", "750");
    f.ctx.tempSettings.write("Lunaris", "Settings", "MainWidth", "11250");
    f.ctx.tempSettings.write("Lunaris", "Settings", "MainHeight", "9000");
    {
        frmLunaris window(f.ctx.state, f.ctx.services);
        QVERIFY(window.Form_Load(1024));
        window.show();
        // The stored values are the outer bounds, fitted into the 800-pixel test screen.
        QCOMPARE(window.frameGeometry(), QRect(50, 50, 750, 600)); // moved left to fit
        setOuterSizeTwips(window, 13200, 9300);
        window.move(30, 40);
        window.close();
    }
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "MainWidth"), QString("13200"));
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "MainHeight"), QString("9300"));
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "MainLeft"), QString("450"));
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "MainTop"), QString("600"));
    QVERIFY(f.ctx.tempSettings.read("Kavemo", "Settings", "MainWidth").isNull());
}

void TestMainWindow::minimisedCloseKeepsThePosition()
{
    MainWindowFixture f(2);
    f.ctx.tempSettings.write("Lunaris", "Settings", "MainWidth", "13500");
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    window.show();
    window.resize(700, 500);
    window.setWindowState(Qt::WindowMinimized);
    window.close();
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "MainWidth"), QString("13500"));
    QVERIFY(f.ctx.tempSettings.read("Lunaris", "Settings", "MainHeight").isNull());
}

void TestMainWindow::narrowScreenEndsTheProgram()
{
    MainWindowFixture f(2);
    frmLunaris window(f.ctx.state, f.ctx.services);
    f.ctx.messages.answer(QMessageBox::Ok);
    QVERIFY(!window.Form_Load(799));
    compareBox(f.ctx.messages.last(), "Bitte ändern Sie die Bildschirmauflösung auf\rmindestens 800 x 600 Pixel!",
               "Lunaris", QMessageBox::Critical, QMessageBox::Ok);
}

void TestMainWindow::closeAsksOnlyWhenModified()
{
    MainWindowFixture f(2);
    {
        frmLunaris window(f.ctx.state, f.ctx.services);
        QVERIFY(window.Form_Load(1024));
        window.show();
        window.close(); // not modified: no question (an unexpected box would fail the test)
        QVERIFY(f.ctx.messages.shown().isEmpty());
    }
    {
        frmLunaris window(f.ctx.state, f.ctx.services);
        QVERIFY(window.Form_Load(1024));
        window.show();
        window.openDay().touch(); // a right click on a free place counts as a change
        f.ctx.messages.answer(QMessageBox::No);
        window.findChild<QAction*>("mnuFileExit")->trigger();
        QVERIFY(!window.isVisible());
        compareBox(f.ctx.messages.last(), "Möchten Sie noch Speichern?", "Lunaris", QMessageBox::Question,
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
}

void TestMainWindow::viewToggles()
{
    MainWindowFixture f(2);
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    window.show();
    QAction* toolbar = window.findChild<QAction*>("mnuViewToolbar");
    QAction* status = window.findChild<QAction*>("mnuViewStatusBar");
    toolbar->trigger();
    QVERIFY(!toolbar->isChecked());
    QVERIFY(!window.findChild<QToolBar*>("tbToolBar")->isVisible());
    toolbar->trigger();
    QVERIFY(toolbar->isChecked());
    QVERIFY(window.findChild<QToolBar*>("tbToolBar")->isVisible());
    status->trigger();
    QVERIFY(!status->isChecked());
    QVERIFY(!window.statusBar()->isVisible());
}

void TestMainWindow::helpWithoutFile()
{
    MainWindowFixture f(2);
    f.ctx.state.HelpFile.clear();
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    f.ctx.messages.answer(QMessageBox::Ok);
    window.findChild<QAction*>("mnuHelpContents")->trigger();
    const MessageRequest box = f.ctx.messages.last();
    QCOMPARE(box.text, QString("Hilfe-Inhalt konnte nicht angezeigt werden. Dieser Anwendung ist keine Hilfedatei "
                               "zugeordnet."));
    QCOMPARE(box.title, QString("Lunaris"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // F1 is the same menu item.
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    f.ctx.messages.answer(QMessageBox::Ok);
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(f.ctx.messages.shown().size(), 2);
    compareBox(f.ctx.messages.last(),
               "Hilfe-Inhalt konnte nicht angezeigt werden. Dieser Anwendung ist keine Hilfedatei zugeordnet.",
               "Lunaris", QMessageBox::Information, QMessageBox::Ok);
}

void TestMainWindow::loadDrawsTheDay()
{
    MainWindowFixture f(3);
    TempDatabase& db = f.ctx.tempDatabase;
    db.addTreatment("KONT", 20, 10, 5, 0, 0, 18);
    db.addTreatment("BOGEN", 30, 10, 10, 0, 0, 28.5);
    db.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    db.addBlock("Montag", "Stuhl 1", "BOGEN", "09:00", "09:30");
    db.addBlock("Montag", "Stuhl 3", "KONT", "08:00", "08:20");
    db.addBlock("Montag", "Stuhl 9", "KONT", "10:00", "10:20"); // no such chair: never shown
    db.addBlock("Dienstag", "Stuhl 2", "KONT", "11:00", "11:20");
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));

    // Not open yet: the caption stays.
    window.Termin_load();
    QCOMPARE(window.windowTitle(), QString("Lunaris"));

    f.ctx.state.DayOpen = true;
    f.ctx.state.CurrentIdealtag = "Montag";
    for (int pass = 0; pass < 2; ++pass) { // a second load gives the same picture
        window.Termin_load();
        QCOMPARE(window.windowTitle(), QString("Template: Montag"));
        QCOMPARE(window.SSDay1(0)->caption(), QString("Stuhl 1"));
        QCOMPARE(window.SSDay1(1)->caption(), QString("Stuhl 2"));
        QCOMPARE(blocksOn(*window.SSDay1(0)), QStringList({"08:00-08:20 KONT", "09:00-09:30 BOGEN"}));
        QCOMPARE(blocksOn(*window.SSDay1(1)), QStringList());
        QCOMPARE(blocksOn(*window.SSDay1(2)), QStringList({"08:00-08:20 KONT"}));
        QCOMPARE(window.SSDay1(0)->item(0).color, QColor(0, 255, 0));
        QCOMPARE(blocksOn(*window.SSDay1(3)), QStringList({"08:10-08:15 10", "09:10-09:15 10"}));
        QCOMPARE(window.SSDay1(3)->item(0).color, QColor(0, 255, 0));            // two chairs, 5 + 5 minutes
        QCOMPARE(window.findChild<QLineEdit*>("txtHon")->text(), QString("65")); // 18 + 28,50 + 18, halves up
    }

    // A day without rows clears every column; the doctor column is rebuilt empty.
    f.ctx.state.CurrentIdealtag = "Leer";
    window.Termin_load();
    for (int i = 0; i <= 3; ++i)
        QCOMPARE(window.SSDay1(i)->count(), 0);
    QCOMPARE(window.findChild<QLineEdit*>("txtHon")->text(), QString("0"));
}

void TestMainWindow::loadSkipsRefusedRowsAndReportsOthers()
{
    MainWindowFixture f(2);
    TempDatabase& db = f.ctx.tempDatabase;
    db.addTreatment("A", 10, 0, 10);
    db.addBlock("Montag", "Stuhl 1", "A", "07:00", "07:10"); // before the day: refused, skipped
    db.addBlock("Montag", "Stuhl 1", "A", "8:00", "8:10");   // not a clock time: refused, skipped
    db.addBlock("Montag", "Stuhl 1", "A", "09:00", "09:10");
    db.addBlock("Montag", "Stuhl 2", "A", "10:00", "10:10");
    db.addBlock("Montag", "Stuhl 2", QVariant(), "11:00", "11:10"); // empty field: left out, reported
    db.addBlock("Montag", "Stuhl 2", "A", "12:00", "12:10");
    db.addBlock("Montag", "Stuhl 2", "A", "13:00", QVariant()); // a second one: still one box
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    f.ctx.state.DayOpen = true;
    f.ctx.state.CurrentIdealtag = "Montag";
    f.ctx.messages.answer(QMessageBox::Ok);
    window.Termin_load();
    QCOMPARE(blocksOn(*window.SSDay1(0)), QStringList({"09:00-09:10 A"}));
    QCOMPARE(blocksOn(*window.SSDay1(1)), QStringList({"10:00-10:10 A", "12:00-12:10 A"}));
    QCOMPARE(window.SSDay1(2)->count(), 3); // the doctor column is rebuilt from what is shown
    QCOMPARE(f.ctx.messages.shown().size(), 1);
    compareBox(f.ctx.messages.last(), "94 Fehler: Bitte Öffnungszeit und Datenbank überprüfen", "Datenfehler",
               QMessageBox::Warning, QMessageBox::Ok);
    QCOMPARE(window.findChild<QLabel*>("sbStatusBar_Panel1")->text(),
             QString("4 gespeicherte Einträge nicht angezeigt"));

    // Loaded over edits whose saving was declined: the loaded day is as stored, the count stays.
    window.openDay().markUnsaved();
    f.ctx.messages.answer(QMessageBox::Ok);
    window.Termin_load();
    compareBox(f.ctx.messages.last(), "94 Fehler: Bitte Öffnungszeit und Datenbank überprüfen", "Datenfehler",
               QMessageBox::Warning, QMessageBox::Ok);
    QVERIFY(!f.ctx.state.modified());
    QCOMPARE(window.findChild<QLabel*>("sbStatusBar_Panel1")->text(),
             QString("4 gespeicherte Einträge nicht angezeigt"));
}

void TestMainWindow::loadAfterChairsWereDeleted()
{
    MainWindowFixture f(3);
    TempDatabase& db = f.ctx.tempDatabase;
    db.addTreatment("A", 10, 0, 10);
    for (const char* chair : {"Stuhl 1", "Stuhl 2", "Stuhl 3"})
        db.addBlock("Dienstag", chair, "A", "08:00", "08:10");
    db.addBlock("Montag", "Stuhl 1", "A", "09:00", "09:10");
    db.addBlock("Montag", "Stuhl 3", "A", "10:00", "10:10");
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    f.ctx.state.DayOpen = true;
    f.ctx.state.CurrentIdealtag = "Dienstag";
    window.Termin_load();
    QCOMPARE(blocksOn(*window.SSDay1(2)), QStringList({"08:00-08:10 A"}));
    // Dienstag also has an unsaved row kept aside (a block before the opening, as a restored version leaves).
    window.openDay().replace(window.openDay().allRows() + QList<StoredBlock>{{0, {"Stuhl 1", "A", "07:00", "07:10"}}},
                             DayReplacement::Version, false);
    QCOMPARE(window.openDay().unsavedUnshown().size(), 1);
    db.exec("DELETE FROM Stuhl WHERE STUHL = 'Stuhl 3'");
    f.ctx.state.CurrentIdealtag = "Montag";
    f.ctx.messages.answer(QMessageBox::Ok);
    window.Termin_load();
    QCOMPARE(f.ctx.messages.last().text, QString("3021 Fehler: Bitte Öffnungszeit und Datenbank überprüfen"));
    QCOMPARE(window.SSDay1(1)->caption(), QString("Stuhl 2"));
    // The chairs read before the failure show this day; the column without a chair shows no other day's blocks.
    QCOMPARE(blocksOn(*window.SSDay1(0)), QStringList({"09:00-09:10 A"}));
    QCOMPARE(blocksOn(*window.SSDay1(1)), QStringList());
    QCOMPARE(blocksOn(*window.SSDay1(2)), QStringList());
    // What a save would write is Montag's rows alone: the one shown and the stored one not read.
    QStringList rows;
    for (const StoredBlock& block : window.openDay().allRows())
        rows.append(block.row.chair + ' ' + block.row.startTime.toString() + ' ' + block.row.code.toString());
    QCOMPARE(rows, QStringList({"Stuhl 1 09:00 A", "Stuhl 3 10:00 A"}));
}

void TestMainWindow::doctorColumnAndFeeOnScreen()
{
    MainWindowFixture f(2);
    // A table as an older program wrote it, with an empty fee.
    f.ctx.tempDatabase.exec("DROP TABLE Behand");
    f.ctx.tempDatabase.exec("CREATE TABLE Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON)");
    f.ctx.tempDatabase.exec("INSERT INTO Behand VALUES ('X', '', 30, 0, 10, 0, 0, NULL)");
    frmLunaris window(f.ctx.state, f.ctx.services);
    QVERIFY(window.Form_Load(1024));
    // The step's own rebuild fails the same way.
    f.ctx.messages.answer(QMessageBox::Ok);
    QVERIFY(placeBlock(window, 0, "08:00", "08:30", "X"));
    QCOMPARE(f.ctx.messages.last().text, QString("94 Fehler: Bitte Öffnungszeit und Datenbank überprüfen"));
    f.ctx.messages.answer(QMessageBox::Ok);
    window.findChild<QLineEdit*>("txtHon")->setText("alt");
    window.DR_Load();
    QCOMPARE(f.ctx.messages.last().text, QString("94 Fehler: Bitte Öffnungszeit und Datenbank überprüfen"));
    QCOMPARE(window.findChild<QLineEdit*>("txtHon")->text(), QString("alt")); // not updated
}

void TestMainWindow::settingsTakeEffectAtOnce_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("firstRow"); // of the columns afterwards
    QTest::addColumn<QStringList>("chair1");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("unsaved"); // an unsaved KONT placed in Stuhl 2 before OK, at this time
    QTest::newRow("later opening: an unsaved block is kept aside and named")
        << "txtOpenZeit"
        << "09:00"
        << "09:00" << QStringList{"16:00-16:20 KONT"}
        << "Nicht gespeichert – 1 gespeicherter Eintrag nicht angezeigt; 1 Block wird nicht angezeigt: KONT Stuhl 2 "
           "08:30"
        << "18"
        << "08:30";
    QTest::newRow("15-minute rows") << "txtSlot"
                                    << "2"
                                    << "08:00" << QStringList{"08:00-08:20 KONT", "16:00-16:20 KONT"}
                                    << "Keine ungespeicherten Änderungen"
                                    << "36"
                                    << "";
    QTest::newRow("later opening: the morning block becomes an unshown row")
        << "txtOpenZeit"
        << "09:00"
        << "09:00" << QStringList{"16:00-16:20 KONT"} << "1 gespeicherter Eintrag nicht angezeigt"
        << "18"
        << "";
    QTest::newRow("earlier closing") << "txtZuZeit"
                                     << "12:00"
                                     << "08:00" << QStringList{"08:00-08:20 KONT"}
                                     << "1 gespeicherter Eintrag nicht angezeigt"
                                     << "18"
                                     << "";
}

void TestMainWindow::settingsTakeEffectAtOnce()
{
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, firstRow);
    QFETCH(QStringList, chair1);
    QFETCH(QString, status);
    QFETCH(QString, fee);
    QFETCH(QString, unsaved);
    MainWindowFixture f(2);
    f.ctx.tempDatabase.addTreatment("KONT", 20, 0, 5, 0, 0, 18);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "16:00", "16:20");
    f.start();
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    if (!unsaved.isEmpty()) {
        f.choose("KONT");
        f.click(1, unsaved);
    }

    f.ctx.modals.handleNext([&](QDialog& d) {
        d.findChild<QLineEdit*>("txtName")->setText("Dr. Zahn");
        d.findChild<QLineEdit*>(box)->setText(value);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    f.action("mnuPref")->trigger();
    for (int column = 0; column <= 2; ++column)
        QCOMPARE(f.window->SSDay1(column)->timeOfRow(0), firstRow);
    QCOMPARE(f.onScreen(0), chair1);
    QCOMPARE(f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(), status);
    QCOMPARE(f.window->findChild<QLineEdit*>("txtHon")->text(), fee);
    QCOMPARE(f.ctx.state.modified(), !unsaved.isEmpty());
    // A save keeps the row no column shows, and stores the unsaved block kept aside.
    f.choose("KONT");
    f.click(1, "10:00");
    f.action("mnuFileSave")->trigger();
    QCOMPARE(f.stored("Montag").size(), unsaved.isEmpty() ? 3 : 4);
    f.expectNothingPending();
}

void TestMainWindow::firstStartGuides()
{
    MainWindowFixture f(0);
    f.start();
    FirstStartGuide* guide = f.window->firstStartGuide();
    QVERIFY(guide->isVisible());
    QCOMPARE(guide->missingText(), QString("Es fehlen noch: Stühle und Behandlungen."));
    QCOMPARE(f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(),
             QString("Kein Idealtag geöffnet – Datei → Neu oder Öffnen"));
    // A keyboard (and a screen reader) starts on the first way on and tabs through them in order.
    QCOMPARE(f.window->focusWidget(), guide->chairsButton());
    QCOMPARE(guide->chairsButton()->nextInFocusChain(), guide->treatmentsButton());
    QCOMPARE(guide->treatmentsButton()->nextInFocusChain(), guide->demoButton());
    QCOMPARE(QAccessible::queryAccessibleInterface(guide)->text(QAccessible::Name), QString("Erste Schritte"));
    const QStringList captions{"Stühle anlegen...", "Behandlungen anlegen...", "Beispielpraxis laden"};
    const QList<QPushButton*> buttons{guide->chairsButton(), guide->treatmentsButton(), guide->demoButton()};
    for (int i = 0; i < buttons.size(); ++i) {
        QCOMPARE(QAccessible::queryAccessibleInterface(buttons[i])->text(QAccessible::Name), captions[i]);
        QVERIFY(!buttons[i]->accessibleDescription().isEmpty());
    }

    // The editors, each closed after its first row: the guide says what is missing, then goes.
    f.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(d.objectName(), QString("frmStuhlT"));
        f.ctx.tempDatabase.addChair("Stuhl 1");
        d.reject();
    });
    QTest::mouseClick(guide->chairsButton(), Qt::LeftButton);
    QVERIFY(guide->isVisible());
    QCOMPARE(guide->missingText(), QString("Es fehlen noch: Behandlungen."));
    f.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(d.objectName(), QString("frmBehandT"));
        f.ctx.tempDatabase.addTreatment("KONT", 20);
        d.reject();
    });
    QTest::keyClick(guide->treatmentsButton(), Qt::Key_Space);
    QVERIFY(guide->isHidden());
    QVERIFY(f.window->SSDay1(0)->isVisible());
    QCOMPARE(f.window->SSDay1(0)->caption(), QString("Stuhl 1"));
    QVERIFY(f.ctx.messages.shown().isEmpty());
}

void TestMainWindow::demoPractice_data()
{
    QTest::addColumn<int>("chairs"); // already in the database
    QTest::addColumn<bool>("yes");
    QTest::newRow("empty, Ja: loaded once, refused the second time") << 0 << true;
    QTest::newRow("empty, Nein: nothing loaded") << 0 << false;
    QTest::newRow("a chair already: refused without a question") << 1 << false;
}

void TestMainWindow::demoPractice()
{
    QFETCH(int, chairs);
    QFETCH(bool, yes);
    MainWindowFixture f(chairs);
    f.start();
    FirstStartGuide* guide = f.window->firstStartGuide();
    QVERIFY(guide->isVisible());
    const QString title = "Beispielpraxis laden";
    const QString refusal = "Die Beispielpraxis kann nur in eine leere Datenbank geladen werden. Diese Datenbank "
                            "enthält schon Idealtage, Stühle oder Behandlungen.";
    if (chairs) {
        f.ctx.messages.answer(QMessageBox::Ok);
        guide->demoButton()->click();
        QCOMPARE(f.ctx.messages.shown().size(), 1);
        f.expectBox(refusal, title, QMessageBox::Information);
        QCOMPARE(f.dayNames(), QStringList());
        QVERIFY(guide->isVisible());
        return;
    }
    f.ctx.messages.answer(yes ? QMessageBox::Yes : QMessageBox::No);
    guide->demoButton()->click();
    f.expectBox("Die Beispielpraxis bringt vier Stühle, zwölf Behandlungen und zwei Idealtage zum Ausprobieren in "
                "die leere Datenbank.\rMöchten Sie sie laden?",
                title, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (!yes) {
        QCOMPARE(f.dayNames(), QStringList());
        QVERIFY(guide->isVisible());
        return;
    }
    QCOMPARE(f.dayNames(), QStringList({"Montag Standard", "Freitag kurz"}));
    QVERIFY(guide->isHidden());
    QCOMPARE(f.ctx.state.ChairCount, 4);
    QCOMPARE(f.window->SSDay1(3)->caption(), QString("Prophylaxe"));
    QVERIFY(f.window->SSDay1(3)->isVisible());
    QCOMPARE(f.window->findChild<QComboBox*>("DBComboBeh")->count(), 12);
    // Its first day is open, blocks and caption, unmodified: a practice to look at.
    QCOMPARE(f.ctx.state.CurrentIdealtag, QString("Montag Standard"));
    QCOMPARE(f.window->windowTitle(), QString("Template: Montag Standard"));
    int shown = 0;
    for (int chair = 0; chair < f.ctx.state.ChairCount; ++chair)
        shown += f.window->SSDay1(chair)->count();
    QCOMPARE(shown, f.stored("Montag Standard").size());
    QVERIFY(shown > 0);
    QVERIFY(!f.ctx.state.modified());
    QVERIFY(f.window->findChild<QAction*>("mnuFileSave")->isEnabled());
    // A second time (a guide still open elsewhere) finds the practice no longer empty.
    const QStringList stored = f.stored("Montag Standard");
    f.ctx.messages.answer(QMessageBox::Ok);
    guide->demoButton()->click();
    QCOMPARE(f.ctx.messages.shown().size(), 2);
    f.expectBox(refusal, title, QMessageBox::Information);
    QCOMPARE(f.stored("Montag Standard"), stored);
}

void TestMainWindow::commandsThatCanBeUsed_data()
{
    QTest::addColumn<QString>("day"); // "" before New or Open, "Unbenannt" after New, else the stored name
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("removable");
    QTest::addColumn<bool>("turnsReadOnly"); // damage found after the day was opened
    // Enabled after: Speichern, Speichern unter, Umbenennen, Löschen, Drucken (and preview, PDF).
    QTest::addColumn<QString>("enabled");
    QTest::newRow("nothing open") << "" << true << false << false << "";
    QTest::newRow("new day") << "Unbenannt" << true << false << false << "save saveAs print";
    QTest::newRow("stored day") << "Montag" << true << true << false << "save saveAs rename remove print";
    QTest::newRow("reading only") << "Montag" << false << true << false << "print";
    QTest::newRow("damage found later") << "Montag" << true << true << true << "print";
}

// Nothing saves or prints before a day is open; a database that may only be read still prints.
void TestMainWindow::commandsThatCanBeUsed()
{
    QFETCH(QString, day);
    QFETCH(bool, writable);
    QFETCH(bool, removable);
    QFETCH(bool, turnsReadOnly);
    QFETCH(QString, enabled);
    LunarisState state;
    QAction save, saveAs, rename, remove, print, preview, pdf, toolSave, toolPrint;
    CommandStates states({&save, &saveAs, &rename, &remove, &print, &preview, &pdf, &toolSave, &toolPrint}, state,
                         [&] { return writable; });
    if (!day.isEmpty()) {
        state.DayOpen = true;
        state.CurrentIdealtag = day == "Unbenannt" ? QString() : day;
        states.dayOpened(removable);
    }
    if (turnsReadOnly) {
        writable = false;
        states.followReadOnly();
    }
    const QStringList names{"save", "saveAs", "rename", "remove", "print"};
    const QList<QAction*> actions{&save, &saveAs, &rename, &remove, &print};
    QStringList on;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (actions[i]->isEnabled())
            on.append(names[i]);
    QCOMPARE(on.join(' '), enabled);
    // The tool bar's buttons and the other print-outs go with their menu items.
    QCOMPARE(toolSave.isEnabled(), save.isEnabled());
    QCOMPARE(toolPrint.isEnabled(), print.isEnabled());
    QCOMPARE(preview.isEnabled(), print.isEnabled());
    QCOMPARE(pdf.isEnabled(), print.isEnabled());
    // The Datei menu looks at the name again when it opens.
    states.followName();
    QCOMPARE(rename.isEnabled(), enabled.contains("rename"));
}

LUNARIS_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
