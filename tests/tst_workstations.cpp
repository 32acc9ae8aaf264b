#include "DayEdits.h"
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "ServerServices.h"
#include "TestMain.h"
#include "TestServer.h"
#include "commands/frmVersionen.h"
#include "dayview/DayView.h"
#include "editing/OpenDay.h"
#include "print/DayPlanData.h"
#include "settings/PracticeSettings.h"
#include "settings/PrintSettings.h"
#include "settings/ServerPracticeSettings.h"
#include "store/ChangeWatcher.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/DemoPractice.h"
#include "store/PracticeValueTable.h"
#include "store/Tables.h"
#include "ui/NoticeBar.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>

#include <memory>

namespace {
// Two workstations on one practice database: "file" (two connections to one SQLite file) or "server".
struct Practice {
    explicit Practice(const QString& kind)
    {
        if (kind == QLatin1String("server")) {
            TestServer::createDatabase("kavemo");
            ServerAddress address = TestServer::tcpAddress("kavemo");
            address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
            here = std::make_unique<Database>(address, "hier");
            there = std::make_unique<Database>(address, "dort");
        } else {
            here = std::make_unique<Database>(dir.filePath("Kavemo.mdb"), "hier");
            there = std::make_unique<Database>(dir.filePath("Kavemo.mdb"), "dort");
        }
    }
    QStringList stored(const QString& day) const
    {
        QStringList rows;
        for (const TemplateRow& r : IdealDayStore(*here).blocksOfDay(day))
            rows.append(r.chair + '|' + r.code.toString() + '|' + r.startTime.toString());
        return rows;
    }
    QStringList versionRows(const QString& day) const
    {
        QStringList versions;
        for (const DayVersion& v : DayVersionTable(*here).versionsOf(day)) {
            QStringList rows;
            for (const TemplateRow& r : v.rows)
                rows.append(r.chair + '|' + r.code.toString() + '|' + r.startTime.toString());
            versions.append((v.deleted ? "gelöscht: " : "") + rows.join(','));
        }
        return versions;
    }

    QTemporaryDir dir;
    std::unique_ptr<Database> here;
    std::unique_ptr<Database> there;
};

QList<TemplateRow> blocks(const QString& chair, const QStringList& starts)
{
    QList<TemplateRow> rows;
    for (const QString& start : starts)
        rows.append({chair, "KONT", start, QTime::fromString(start, "hh:mm").addSecs(600).toString("hh:mm")});
    return rows;
}

// "Montag" stored with one KONT at 08:00 in Stuhl 1, opened in the window.
void openStoredMonday(MainWindowFixture& f)
{
    f.ctx.tempDatabase.addTreatment("KONT", 20);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    f.start();
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
}

// The program's window on one workstation's database, with scripted message boxes and dialogs.
// A workstation: the program's services on the database and its main window.
struct Workstation : ServerServices {
    explicit Workstation(Database& db) : ServerServices(db)
    {
        window = std::make_unique<frmLunaris>(state, services);
        QVERIFY(window->Form_Load(1024));
        window->show();
    }
    void open(const QString& day)
    {
        state.DayOpen = true;
        state.CurrentIdealtag = day;
        window->Termin_load();
        window->switchOn(true);
    }
    std::unique_ptr<frmLunaris> window;
};

// A workstation of a practice on the server, with the practice's values kept there (as the program starts it).
struct PracticeWorkstation {
    explicit PracticeWorkstation(Database& db)
        : base(db), shared(base.settings, db), services{db, shared, base.messages, base.modals}
    {
        window = std::make_unique<frmLunaris>(base.state, services);
        QVERIFY(window->Form_Load(1024));
        window->show();
    }
    void open(const QString& day)
    {
        base.state.DayOpen = true;
        base.state.CurrentIdealtag = day;
        window->Termin_load();
        window->switchOn(true);
    }
    ServerServices base;
    ServerPracticeSettings shared;
    AppServices services;
    std::unique_ptr<frmLunaris> window;
};

QColor colourAt(DayView& view, const QString& time)
{
    const QPoint p = view.pointOfRow(view.rowOfTime(time));
    return view.grab().toImage().pixelColor(p.x() + view.width() / 5, p.y());
}

// The planner on the practice file: a plain connection of its own that knows nothing of Lunaris.
struct FilePlanner {
    explicit FilePlanner(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "planer");
        db.setDatabaseName(path);
        QVERIFY(db.open());
    }
    ~FilePlanner() { QSqlDatabase::removeDatabase("planer"); }
    void write(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database("planer", false));
        QVERIFY2(q.exec(sql), qPrintable(sql + ": " + q.lastError().text()));
    }
};

void addBackendRows()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("file") << "file";
    QTest::newRow("server") << "server";
}
} // namespace

// Several workstations on one practice database: nobody waits for another's question, nothing of
// another's is lost unasked, every replaced day can be brought back, and every window follows the others.
class TestWorkstations : public QObject {
    Q_OBJECT
private slots:
    void init();
    void questionLeavesEveryoneFree_data() { addBackendRows(); }
    void questionLeavesEveryoneFree();
    void overwriteKeepsRowsOfChairsNotShown_data() { addBackendRows(); }
    void overwriteKeepsRowsOfChairsNotShown();
    void deleteAndRecreateAskedAfterAChangeElsewhere_data();
    void deleteAndRecreateAskedAfterAChangeElsewhere();
    void versionsKeepAtMostAHundred();
    void rowsReadBackAsWritten_data();
    void rowsReadBackAsWritten();
    void windowAsksBeforeDeletingOrRecreating_data();
    void windowAsksBeforeDeletingOrRecreating();
    void unreadDayIsNotSavedOver();
    void unreadableDayListIsSaid();
    void windowFollowsChangesElsewhere_data();
    void windowFollowsChangesElsewhere();
    void versionRestoredAsOneStep();
    void openListFollowsDaysCreatedElsewhere();
    void openListKeepsItsPlace_data();
    void openListKeepsItsPlace();
    void watcherTellsOnlyOthersChanges_data() { addBackendRows(); }
    void watcherTellsOnlyOthersChanges();
    void watcherTellsWhichTablesChanged_data();
    void watcherTellsWhichTablesChanged();
    void watcherNeverWaitsForThePlannersLock_data();
    void watcherNeverWaitsForThePlannersLock();
    void windowRereadsOnlyWhatChanged_data();
    void windowRereadsOnlyWhatChanged();
    void demoLoadsOnlyIntoAnEmptyPractice_data() { addBackendRows(); }
    void demoLoadsOnlyIntoAnEmptyPractice();
    void renameIsFollowedElsewhere_data();
    void renameIsFollowedElsewhere();
    void serverLostDuringTheQuestion_data();
    void serverLostDuringTheQuestion();
    void chairChangedElsewhereIsFollowedByIdentity_data();
    void chairChangedElsewhereIsFollowedByIdentity();
    void dayDeletedElsewhereStaysWithTheBar_data();
    void dayDeletedElsewhereStaysWithTheBar();
    void changeDuringAModalWindowFollowedWhenItCloses();
    void overwrittenSaveIsSaid_data();
    void overwrittenSaveIsSaid();
    void versionsNameWhatReplacedThem_data();
    void versionsNameWhatReplacedThem();
    void practiceValuesFollowedByEveryWorkstation_data();
    void practiceValuesFollowedByEveryWorkstation();
    void practiceValuesFallBackOnTheFamilys_data();
    void practiceValuesFallBackOnTheFamilys();
};

void TestWorkstations::init()
{
    if (QString(QTest::currentDataTag()).startsWith("server"))
        SKIP_WITHOUT_SERVER();
}

void TestWorkstations::questionLeavesEveryoneFree()
{
    QFETCH(QString, backend);
    Practice p(backend);
    const IdealDayStore here(*p.here), there(*p.there);
    const std::optional<RowsOnScreen> mine = here.saveDay("Montag", blocks("Stuhl 1", {"08:00"}), {}, {});
    QVERIFY(mine);
    there.replaceDay("Montag", blocks("Stuhl 1", {"09:00"}));

    // While this workstation's question is open, the other saves another day and this one, at once
    // (a lock held meanwhile would make it wait 5 s and fail).
    int questions = 0;
    const std::optional<RowsOnScreen> saved = here.saveDay("Montag", blocks("Stuhl 1", {"10:00"}), *mine, [&] {
        if (++questions == 1) {
            there.replaceDay("Dienstag", blocks("Stuhl 2", {"08:00"}));
            there.replaceDay("Montag", blocks("Stuhl 1", {"11:00"}));
        }
        return true;
    });
    QVERIFY(saved);
    QCOMPARE(questions, 2); // asked again: the day changed once more while the first question was open
    QCOMPARE(p.stored("Montag"), QStringList({"Stuhl 1|KONT|10:00"}));
    QCOMPARE(p.stored("Dienstag"), QStringList({"Stuhl 2|KONT|08:00"}));
    // Each save kept what it replaced, the newest first.
    QCOMPARE(p.versionRows("Montag"), QStringList({"Stuhl 1|KONT|11:00", "Stuhl 1|KONT|09:00", "Stuhl 1|KONT|08:00"}));
    // The rows remembered after the save are the stored ones: the next save asks nothing.
    QVERIFY(here.saveDay("Montag", blocks("Stuhl 1", {"12:00"}), *saved, [] { return false; }));
}

void TestWorkstations::overwriteKeepsRowsOfChairsNotShown()
{
    QFETCH(QString, backend);
    Practice p(backend);
    const IdealDayStore here(*p.here), there(*p.there);
    std::optional<RowsOnScreen> mine = here.saveDay("Montag", blocks("Stuhl 1", {"08:00"}), {}, {});
    mine->chairs = {"Stuhl 1"}; // this window has a column for Stuhl 1 only
    // The other workstation has an eleventh chair.
    there.replaceDay("Montag", blocks("Stuhl 1", {"09:00"}) + blocks("Stuhl 11", {"09:00"}));
    QVERIFY(here.saveDay("Montag", blocks("Stuhl 1", {"10:00"}), *mine, [] { return true; }));
    QCOMPARE(p.stored("Montag"), QStringList({"Stuhl 11|KONT|09:00", "Stuhl 1|KONT|10:00"}));
}

void TestWorkstations::deleteAndRecreateAskedAfterAChangeElsewhere_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("deleteHere"); // else: deleted elsewhere, saved here
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("stored");
    for (const char* backend : {"file", "server"}) {
        const QString b = backend;
        QTest::addRow("%s: delete, Ja", backend) << b << true << true << QStringList();
        QTest::addRow("%s: delete, Nein", backend) << b << true << false << QStringList({"Stuhl 1|KONT|09:00"});
        QTest::addRow("%s: recreate, Ja", backend) << b << false << true << QStringList({"Stuhl 1|KONT|10:00"});
        QTest::addRow("%s: recreate, Nein", backend) << b << false << false << QStringList();
    }
}

void TestWorkstations::deleteAndRecreateAskedAfterAChangeElsewhere()
{
    QFETCH(QString, backend);
    QFETCH(bool, deleteHere);
    QFETCH(bool, yes);
    QFETCH(QStringList, stored);
    Practice p(backend);
    const IdealDayStore here(*p.here), there(*p.there);
    const std::optional<RowsOnScreen> mine = here.saveDay("Montag", blocks("Stuhl 1", {"08:00"}), {}, {});
    int questions = 0;
    const auto answer = [&] {
        ++questions;
        return yes;
    };
    if (deleteHere) {
        there.replaceDay("Montag", blocks("Stuhl 1", {"09:00"}));
        QCOMPARE(here.deleteDay("Montag", *mine, answer), yes);
        QCOMPARE(IdealtagTable(*p.here).contains("Montag"), !yes);
    } else {
        there.deleteDay("Montag");
        const auto never = [] {
            [] { QFAIL("asked whether to overwrite a deleted day"); }();
            return false;
        };
        QCOMPARE(bool(here.saveDay("Montag", blocks("Stuhl 1", {"10:00"}), *mine, never, answer)), yes);
        QCOMPARE(IdealtagTable(*p.here).contains("Montag"), yes);
    }
    QCOMPARE(questions, 1);
    QCOMPARE(p.stored("Montag"), stored);
    // The deleted day stays in the versions, marked as deleted.
    QCOMPARE(p.versionRows("Montag").first(), deleteHere && yes ? QString("gelöscht: Stuhl 1|KONT|09:00")
                                              : deleteHere      ? QString("Stuhl 1|KONT|08:00")
                                                                : QString("gelöscht: Stuhl 1|KONT|08:00"));
}

void TestWorkstations::versionsKeepAtMostAHundred()
{
    Practice p("file");
    const IdealDayStore store(*p.here);
    RowsOnScreen shown;
    for (int i = 0; i < DayVersionTable::Kept + 3; ++i)
        shown = store.replaceDay("Montag", blocks("Stuhl 1", {QTime(8, 0).addSecs(60 * i).toString("hh:mm")}), shown);
    const QStringList versions = p.versionRows("Montag");
    QCOMPARE(versions.size(), DayVersionTable::Kept);
    QCOMPARE(versions.first(), QString("Stuhl 1|KONT|09:41")); // the one the last save replaced
    QCOMPARE(versions.last(), QString("Stuhl 1|KONT|08:02"));  // the two oldest are gone
}

void TestWorkstations::rowsReadBackAsWritten_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("chair");
    QTest::addColumn<QVariant>("code");
    QTest::addColumn<QVariant>("start");
    for (const char* backend : {"file", "server"}) {
        const QString b = backend;
        QTest::addRow("%s: quotes and a backslash", backend)
            << b << "Stuhl \"A\" \\ 1" << QVariant("K\"O") << QVariant("08:00");
        QTest::addRow("%s: a tab and umlauts", backend) << b << "Zimmer\tÜ" << QVariant("ÄÖ") << QVariant("08:00");
        QTest::addRow("%s: no code, no time", backend) << b << "Stuhl 1" << QVariant() << QVariant(QString());
        QTest::addRow("%s: empty texts", backend) << b << "" << QVariant("") << QVariant("");
    }
}

// What a save writes reads back field for field, NULLs included, in the day and in its version; and a
// second save from the same window sees nothing changed elsewhere.
void TestWorkstations::rowsReadBackAsWritten()
{
    QFETCH(QString, backend);
    QFETCH(QString, chair);
    QFETCH(QVariant, code);
    QFETCH(QVariant, start);
    Practice p(backend);
    const IdealDayStore store(*p.here);
    const QList<TemplateRow> rows{{chair, code, start, "09:00"}, {"Stuhl 2", "KONT", "08:00", QVariant()}};
    const auto describe = [](const QList<TemplateRow>& list) {
        QStringList out;
        for (const TemplateRow& r : list)
            for (const QVariant& field : {QVariant(r.chair), r.code, r.startTime, r.endTime})
                out.append(field.isNull() || field.toString().isNull() ? "NULL" : '"' + field.toString() + '"');
        return out;
    };
    const auto never = [] {
        [] { QFAIL("asked although nobody else saved"); }();
        return false;
    };
    // A row of the planner's with no chair at all, opened here: saving next to it asks nothing.
    p.there->run("INSERT INTO Idealtag (IDEALTAG) VALUES ('Montag')");
    p.there->run("INSERT INTO Template (IDEALTAG, STUHL, BEH) VALUES ('Montag', NULL, 'X')");
    RowsOnScreen opened;
    opened.day = "Montag";
    opened.listed = true;
    opened.stored = opened.unshown = store.storedDay("Montag").blocks;
    std::optional<RowsOnScreen> shown = store.saveDay("Montag", rows, opened, never);
    QVERIFY(shown);
    QVERIFY(sameStoredRows(shown->stored, store.storedDay("Montag").blocks));
    QCOMPARE(describe(store.blocksOfDay("Montag")), QStringList({"NULL", "\"X\"", "NULL", "NULL"}) + describe(rows));
    shown->stamp = {}; // compared with the table, not by the stamp
    QVERIFY(store.saveDay("Montag", rows, *shown, never));
    QCOMPARE(describe(DayVersionTable(*p.here).versionsOf("Montag").first().rows).mid(4), describe(rows));
}

void TestWorkstations::windowAsksBeforeDeletingOrRecreating_data()
{
    QTest::addColumn<bool>("deleteHere");
    QTest::newRow("delete a day changed elsewhere") << true;
    QTest::newRow("save a day deleted elsewhere") << false;
}

void TestWorkstations::windowAsksBeforeDeletingOrRecreating()
{
    QFETCH(bool, deleteHere);
    MainWindowFixture f(1);
    openStoredMonday(f);
    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    if (deleteHere) {
        IdealDayStore(elsewhere).replaceDay("Montag", {{"Stuhl 1", "KONT", "09:00", "09:20"}});
        f.ctx.messages.answer(QMessageBox::Yes); // Möchten Sie den Montag löschen?
        f.ctx.messages.answer(QMessageBox::No);
        f.action("mnuFileDelete")->trigger();
        f.expectBox("Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
                    "Möchten Sie ihn trotzdem löschen?",
                    "Idealtag löschen", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(f.ctx.messages.last().defaultButton, QMessageBox::No);
        QCOMPARE(f.stored("Montag"), QStringList({"Stuhl 1|KONT|09:00|09:20"}));
        QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT"})); // still open
    } else {
        IdealDayStore(elsewhere).deleteDay("Montag");
        f.place(0, "10:00", "10:20", "KONT");
        f.ctx.messages.answer(QMessageBox::No);
        f.action("mnuFileSave")->trigger();
        f.expectBox("Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz gelöscht.\r"
                    "Möchten Sie ihn wieder anlegen?",
                    "Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(f.ctx.state.modified());
        QCOMPARE(f.dayNames(), QStringList());
    }
}

void TestWorkstations::unreadDayIsNotSavedOver()
{
    MainWindowFixture f(1);
    f.ctx.tempDatabase.addTreatment("KONT", 20);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    f.start();
    // The day's rows cannot be read while it is opened (here: the table is briefly away).
    f.ctx.tempDatabase.exec("ALTER TABLE Template RENAME TO Template_weg");
    f.ctx.messages.answer(QMessageBox::Ok);
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    f.ctx.tempDatabase.exec("ALTER TABLE Template_weg RENAME TO Template");
    f.place(0, "09:00", "09:20", "KONT");
    f.ctx.messages.answer(QMessageBox::No);
    f.action("mnuFileSave")->trigger();
    f.expectBox("Der Idealtag „Montag“ konnte nicht vollständig gelesen werden. Damit keine gespeicherten Blöcke "
                "verloren gehen, kann er erst nach erneutem Öffnen unter diesem Namen gespeichert werden.\r"
                "Möchten Sie ihn unter einem anderen Namen speichern?",
                "Speichern", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(f.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20"}));
    QVERIFY(f.ctx.state.modified());
    // Opened again, it saves as usual.
    f.ctx.messages.answer(QMessageBox::No); // Möchten Sie Speichern?
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    f.place(0, "09:00", "09:20", "KONT");
    f.action("mnuFileSave")->trigger();
    QCOMPARE(f.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 1|KONT|09:00|09:20"}));
}

void TestWorkstations::unreadableDayListIsSaid()
{
    MainWindowFixture f(1);
    f.start();
    f.ctx.tempDatabase.exec("ALTER TABLE Idealtag RENAME TO Idealtag_weg");
    f.ctx.messages.answer(QMessageBox::Ok);
    f.ctx.modals.handleNext([](QDialog& dialog) { dialog.reject(); });
    f.action("mnuFileOpen")->trigger();
    const MessageRequest box = f.ctx.messages.last();
    QVERIFY2(box.text.startsWith("Die Liste der Idealtage konnte nicht gelesen werden.\r"), qPrintable(box.text));
    QVERIFY(box.text.size() > 60); // with the reason
    compareBox(box, box.text, "Template öffnen", QMessageBox::Warning);
    f.ctx.tempDatabase.exec("ALTER TABLE Idealtag_weg RENAME TO Idealtag");
}

void TestWorkstations::windowFollowsChangesElsewhere_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("then"); // with the bar: what the user does next
    QTest::newRow("unmodified: reloaded") << false << "";
    QTest::newRow("modified: the bar, Neu laden") << true << "Neu laden";
    QTest::newRow("modified: the bar, saved over") << true << "Speichern";
    QTest::newRow("modified: the bar, another day opened") << true << "Öffnen";
}

void TestWorkstations::windowFollowsChangesElsewhere()
{
    QFETCH(bool, modified);
    MainWindowFixture f(2);
    openStoredMonday(f);
    if (modified)
        f.place(1, "10:00", "10:20", "KONT");
    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    IdealDayStore(elsewhere).replaceDay("Montag", {{"Stuhl 1", "KONT", "09:00", "09:20"}});
    elsewhere.run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"NEU", 30});
    elsewhere.run("UPDATE Stuhl SET STUHL = ? WHERE STUHL = ?", {"Fenster", "Stuhl 2"});

    auto* combo = f.window->findChild<QComboBox*>("DBComboBeh");
    QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 2, 3000); // within 2 s of the change, and the treatments follow
    QCOMPARE(f.window->SSDay1(1)->caption(), QString("Fenster"));
    NoticeBar* bar = f.window->changedBar();
    if (!modified) {
        QCOMPARE(f.onScreen(0), QStringList({"09:00-09:20 KONT"}));
        QVERIFY(!f.ctx.state.modified());
        QVERIFY(bar->isHidden());
        const QString status = f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text();
        QVERIFY2(status.contains("Von einem anderen Arbeitsplatz geändert – neu geladen "), qPrintable(status));
        // Changed here afterwards, the reload is past.
        f.choose("KONT");
        f.click(1, "10:00");
        QCOMPARE(f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(), QString("Nicht gespeichert"));
        return;
    }
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->text(), QString("„Montag“ wurde an einem anderen Arbeitsplatz geändert."));
    QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT"})); // own edits untouched
    QFETCH(QString, then);
    if (then == "Speichern") {
        f.ctx.messages.answer(QMessageBox::Yes);
        f.action("mnuFileSave")->trigger();
        f.expectBox("Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
                    "Möchten Sie ihn trotzdem überschreiben?",
                    "Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(!f.ctx.state.modified());
        QVERIFY(bar->isHidden());
        return;
    }
    if (then == "Öffnen") {
        f.ctx.messages.answer(QMessageBox::No); // the edits are not saved
        f.ctx.modals.handleNext(openName("Dienstag"));
        f.action("mnuFileOpen")->trigger();
        f.expectBox("Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(f.ctx.state.CurrentIdealtag, QString("Dienstag"));
        QVERIFY(bar->isHidden());
        return;
    }
    // Neu laden asks first: Nein keeps the edits, Ja takes the stored day.
    f.ctx.messages.answer(QMessageBox::No);
    bar->actionButton()->click();
    f.expectBox("Ihre ungespeicherten Änderungen an „Montag“ gehen verloren.\r"
                "Möchten Sie den Idealtag trotzdem neu laden?",
                "Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(f.onScreen(1), QStringList({"10:00-10:20 KONT"}));
    f.ctx.messages.answer(QMessageBox::Yes);
    bar->actionButton()->click();
    QCOMPARE(f.onScreen(0), QStringList({"09:00-09:20 KONT"}));
    QCOMPARE(f.onScreen(1), QStringList());
    QVERIFY(!f.ctx.state.modified());
    QVERIFY(bar->isHidden());
}

void TestWorkstations::versionRestoredAsOneStep()
{
    MainWindowFixture f(1);
    f.ctx.tempDatabase.addTreatment("KONT", 20);
    f.start();
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    f.place(0, "08:00", "08:20", "KONT");
    f.action("mnuFileSave")->trigger();
    f.place(0, "09:00", "09:20", "KONT");
    f.action("mnuFileSave")->trigger();

    // The version the second save replaced: only 08:00.
    f.ctx.modals.handleNext([](QDialog& dialog) {
        auto& versions = static_cast<frmVersionen&>(dialog);
        QTreeWidgetItem* day = versions.list()->topLevelItem(0);
        QCOMPARE(day->text(0), QString("„Montag“"));
        QCOMPARE(day->childCount(), 1);
        QCOMPARE(day->child(0)->text(3), QString("1"));
        versions.list()->setCurrentItem(day->child(0));
        QCOMPARE(versions.rows()->rowCount(), 1);
        versions.restoreButton()->click();
    });
    f.action("mnuFileVersions")->trigger();
    QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT"}));
    QVERIFY(f.ctx.state.modified());
    QVERIFY(f.window->findChild<QAction*>("mnuEditUndo")->text().startsWith("&Rückgängig: Version vom "));
    QCOMPARE(f.stored("Montag").size(), 2); // nothing written until Speichern
    f.window->findChild<QAction*>("mnuEditUndo")->trigger();
    QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT", "09:00-09:20 KONT"}));
    QVERIFY(!f.ctx.state.modified());
}

void TestWorkstations::watcherTellsOnlyOthersChanges()
{
    QFETCH(QString, backend);
    Practice p(backend);
    ChangeWatcher watcher(*p.here);
    QSignalSpy changes(&watcher, &ChangeWatcher::changed);
    IdealDayStore(*p.here).replaceDay("Montag", blocks("Stuhl 1", {"08:00"}));
    QTest::qWait(ChangeWatcher::PollMs + 300);
    QCOMPARE(changes.count(), 0); // its own save
    // The planner's way: a plain statement on another connection.
    p.there->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 9"});
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, 2000);
    if (backend == "server") {
        // A restarted server: the next statement connects again, and the new connection listens too.
        TestServer::crash();
        TestServer::restart();
        ChairTable(*p.here).count();
        changes.clear();
        p.there->run("DELETE FROM Stuhl");
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() >= 1, 2000);
        // A workstation that sits idle through a restart listens again by itself, and looks at what it missed.
        TestServer::crash();
        QTest::qWait(300);
        TestServer::restart();
        changes.clear();
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() >= 1, 2 * ChangeWatcher::ReconnectMs + 1000);
        changes.clear();
        p.there->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 9"});
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() >= 1, 2000);
    }
}

void TestWorkstations::watcherTellsWhichTablesChanged_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<SharedTables>("told"); // none: nothing is told
    for (const char* backend : {"file", "server"}) {
        const auto row = [&](const char* name, const char* statement, SharedTables told) {
            QTest::addRow("%s: %s", backend, name) << backend << statement << told;
        };
        row("the planner's own table", "INSERT INTO Termine (NR) VALUES (1)", {});
        row("a day's rows", "INSERT INTO Template (IDEALTAG, STUHL) VALUES ('Montag', 'Stuhl 1')",
            SharedTable::Template);
        row("a day's rows deleted", "DELETE FROM Template", SharedTable::Template);
        row("a day's name", "INSERT INTO Idealtag (IDEALTAG) VALUES ('Montag')", SharedTable::Idealtag);
        row("a treatment", "INSERT INTO Behand (BEH) VALUES ('KONT')", SharedTable::Behand);
        row("a treatment changed", "UPDATE Behand SET HON = 12", SharedTable::Behand);
        row("a chair", "INSERT INTO Stuhl (STUHL) VALUES ('Stuhl 9')", SharedTable::Stuhl);
    }
}

void TestWorkstations::watcherTellsWhichTablesChanged()
{
    // Written by the planner, which knows nothing of Lunaris: a plain connection of its own.
    QFETCH(QString, backend);
    QFETCH(QString, statement);
    QFETCH(SharedTables, told);
    Practice p(backend);
    std::unique_ptr<FilePlanner> filePlanner;
    std::function<void(const QString&)> plannerWrites;
    if (backend == "file") {
        filePlanner = std::make_unique<FilePlanner>(p.here->filePath());
        plannerWrites = [&](const QString& sql) { filePlanner->write(sql); };
    } else {
        // The server spells the family's tables as the file does only when quoted.
        plannerWrites = [&](const QString& sql) { TestServer::asAdmin("kavemo", p.there->sql(sql)); };
    }
    // The planner's tables share the database; a row already there is changed by the UPDATE and DELETE rows.
    plannerWrites("CREATE TABLE Termine (NR INTEGER)");
    plannerWrites("INSERT INTO Behand (BEH) VALUES ('ENTB')");
    plannerWrites("INSERT INTO Template (IDEALTAG, STUHL) VALUES ('Dienstag', 'Stuhl 2')");
    ChangeWatcher watcher(*p.here);
    QSignalSpy changes(&watcher, &ChangeWatcher::changed);

    plannerWrites(statement);
    if (!told) {
        QTest::qWait(ChangeWatcher::PollMs + 500);
        QCOMPARE(changes.count(), 0);
        // Still watching: the next change of a shared table is told, and only that table.
        plannerWrites("INSERT INTO Stuhl (STUHL) VALUES ('Stuhl 8')");
        told = SharedTable::Stuhl;
    }
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, ChangeWatcher::PollMs + 1500);
    QCOMPARE(changes.first().first().value<SharedTables>(), told);
}

void TestWorkstations::watcherNeverWaitsForThePlannersLock_data()
{
    QTest::addColumn<QString>("lock");
    // Exclusive: nobody reads the file meanwhile; immediate: the planner is about to write.
    QTest::newRow("exclusive") << "BEGIN EXCLUSIVE";
    QTest::newRow("immediate") << "BEGIN IMMEDIATE";
}

void TestWorkstations::watcherNeverWaitsForThePlannersLock()
{
    // The planner writes a long while and holds the file meanwhile: the window goes on answering, and
    // the change is told once the planner is done.
    QFETCH(QString, lock);
    Practice p("file");
    ChangeWatcher watcher(*p.here);
    QSignalSpy changes(&watcher, &ChangeWatcher::changed);
    const auto removePlanner = qScopeGuard([] { QSqlDatabase::removeDatabase("planer"); });
    QSqlDatabase planner = QSqlDatabase::addDatabase("QSQLITE", "planer");
    planner.setDatabaseName(p.here->filePath());
    QVERIFY(planner.open());
    QVERIFY(QSqlQuery(planner).exec(lock));
    QVERIFY(QSqlQuery(planner).exec("INSERT INTO Stuhl (STUHL) VALUES ('Stuhl 9')"));

    QElapsedTimer clock;
    qint64 longestStall = 0;
    qint64 last = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestStall = qMax(longestStall, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    beat.start(10);
    // Several polls while the lock is held, each of which would have waited the busy timeout.
    QTest::qWait(2 * ChangeWatcher::PollMs + 500);
    QVERIFY2(longestStall < Database::BusyTimeoutMs / 5, qPrintable(QString::number(longestStall)));
    QCOMPARE(changes.count(), 0);

    QVERIFY(QSqlQuery(planner).exec("COMMIT"));
    planner.close();
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, 2 * ChangeWatcher::PollMs + 500);
    QCOMPARE(changes.first().first().value<SharedTables>(), SharedTables(SharedTable::Stuhl));
}

void TestWorkstations::windowRereadsOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("treatmentsRead");
    QTest::addColumn<bool>("followed"); // the change is told at all
    QTest::newRow("the planner's own table") << "INSERT INTO Termine (NR) VALUES (1)" << false << false;
    QTest::newRow("another day's rows") << "INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) "
                                           "VALUES ('Dienstag', 'Stuhl 1', 'KONT', '09:00', '09:20')"
                                        << false << true;
    QTest::newRow("a chair") << "INSERT INTO Stuhl (STUHL) VALUES ('Stuhl 9')" << false << true;
    QTest::newRow("a treatment") << "INSERT INTO Behand (BEH, DAUER) VALUES ('ENTB', 30)" << true << true;
}

void TestWorkstations::windowRereadsOnlyWhatChanged()
{
    // Montag open in the window; the planner writes. The treatment list is built anew only when table Behand
    // changed (a rebuilt list loses the user's place in it), and the open day stays as it is.
    MainWindowFixture f(1);
    const FilePlanner planner(f.ctx.tempDatabase.path());
    planner.write("CREATE TABLE Termine (NR INTEGER)");
    openStoredMonday(f);
    auto* watcher = f.window->findChild<ChangeWatcher*>();
    QVERIFY(watcher);
    auto* treatments = f.window->findChild<QComboBox*>("DBComboBeh");
    QVERIFY(treatments);
    QSignalSpy rebuilt(treatments->model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy told(watcher, &ChangeWatcher::changed);
    QFETCH(QString, statement);
    planner.write(statement);
    QFETCH(bool, followed);
    if (followed) {
        // Told after the window has followed the change.
        QTRY_COMPARE_WITH_TIMEOUT(told.count(), 1, ChangeWatcher::PollMs + 1500);
    } else {
        QTest::qWait(ChangeWatcher::PollMs + 500);
        QCOMPARE(told.count(), 0);
    }
    QFETCH(bool, treatmentsRead);
    QCOMPARE(rebuilt.count() > 0, treatmentsRead);
    QCOMPARE(treatments->count(), treatmentsRead ? 2 : 1);
    QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT"}));
    QVERIFY(!f.ctx.state.modified());
}

void TestWorkstations::openListFollowsDaysCreatedElsewhere()
{
    MainWindowFixture f(1);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addDayName("Dienstag");
    f.start();
    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    f.ctx.modals.handleNext([&](QDialog& dialog) {
        auto* list = dialog.findChild<QListWidget*>("DBListIdealtag");
        auto* name = dialog.findChild<QLineEdit*>("txtIdealtag");
        list->setCurrentRow(1);
        name->setText("Mittw");
        IdealDayStore(elsewhere).replaceDay("Mittwoch", {});
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 3000);
        QCOMPARE(list->item(2)->text(), QString("Mittwoch"));
        QCOMPARE(list->currentItem()->text(), QString("Dienstag")); // the choice and the typed name stay
        QCOMPARE(name->text(), QString("Mittw"));
        dialog.reject();
    });
    f.action("mnuFileOpen")->trigger();
}

void TestWorkstations::openListKeepsItsPlace_data()
{
    QTest::addColumn<bool>("dayAdded"); // else only a chair is added elsewhere
    QTest::newRow("a day added elsewhere") << true;
    QTest::newRow("a chair added elsewhere") << false;
}

void TestWorkstations::openListKeepsItsPlace()
{
    // A long list, scrolled down by the user, the chosen day at its top.
    MainWindowFixture f(1);
    for (int i = 1; i <= 40; ++i)
        f.ctx.tempDatabase.addDayName(QStringLiteral("Tag %1").arg(i, 2, 10, QLatin1Char('0')));
    f.start();
    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    QSignalSpy told(f.window->findChild<ChangeWatcher*>(), &ChangeWatcher::changed);
    QFETCH(bool, dayAdded);
    f.ctx.modals.handleNext([&](QDialog& dialog) {
        auto* list = dialog.findChild<QListWidget*>("DBListIdealtag");
        list->setCurrentRow(1);
        QScrollBar* scroll = list->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);
        scroll->setValue(scroll->maximum());
        const int place = scroll->value();
        const QListWidgetItem* first = list->item(0);
        if (dayAdded) {
            IdealDayStore(elsewhere).replaceDay("Tag 41", {});
            QTRY_COMPARE_WITH_TIMEOUT(list->count(), 41, 3000);
        } else {
            elsewhere.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 9"});
            // Told after the window has followed the change.
            QTRY_COMPARE_WITH_TIMEOUT(told.count(), 1, 3000);
            QCOMPARE(list->item(0), first); // not built anew
        }
        QCOMPARE(scroll->value(), place);
        QCOMPARE(list->currentItem()->text(), QString("Tag 02"));
        dialog.reject();
    });
    f.action("mnuFileOpen")->trigger();
}

void TestWorkstations::demoLoadsOnlyIntoAnEmptyPractice()
{
    QFETCH(QString, backend);
    Practice p(backend);
    QVERIFY(PracticeContents::of(*p.here).isEmpty());
    QVERIFY(DemoPractice::load(*p.here));
    const PracticeContents loaded = PracticeContents::of(*p.there);
    QCOMPARE(loaded.chairs, 4);
    QCOMPARE(loaded.treatments, 12);
    QCOMPARE(IdealtagTable(*p.there).names(), QStringList({"Montag Standard", "Freitag kurz"}));
    QCOMPARE(TreatmentTable(*p.there).find("ENTB")->hon.toDouble(), 95.0);
    QVERIFY(!DemoPractice::load(*p.there));
    QCOMPARE(PracticeContents::of(*p.here).dayRows, loaded.dayRows);
}

void TestWorkstations::renameIsFollowedElsewhere_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("modified"); // the other workstation has unsaved edits of the day
    for (const char* backend : {"file", "server"}) {
        QTest::addRow("%s: unmodified", backend) << QString(backend) << false;
        QTest::addRow("%s: modified", backend) << QString(backend) << true;
    }
}

void TestWorkstations::renameIsFollowedElsewhere()
{
    QFETCH(QString, backend);
    QFETCH(bool, modified);
    Practice p(backend);
    p.here->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
    p.here->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 10});
    const IdealDayStore here(*p.here);
    here.replaceDay("Dienstag", {});
    here.replaceDay("Montag", blocks("Stuhl 1", {"08:00"}));
    here.replaceDay("Montag", blocks("Stuhl 1", {"08:00", "09:00"}));
    Workstation there(*p.there);
    there.open("Montag");
    if (modified)
        QVERIFY(placeBlock(*there.window, 0, "10:00", "10:10", "KONT"));

    QCOMPARE(here.renameDay("Montag", "Dienstag"), IdealDayStore::Renaming::NameTaken);
    QCOMPARE(here.renameDay("Montag", "Montag neu"), IdealDayStore::Renaming::Renamed);
    QCOMPARE(p.stored("Montag"), QStringList());
    QCOMPARE(p.stored("Montag neu"), QStringList({"Stuhl 1|KONT|08:00", "Stuhl 1|KONT|09:00"}));
    QCOMPARE(p.versionRows("Montag"), QStringList());
    QCOMPARE(p.versionRows("Montag neu"), QStringList({"Stuhl 1|KONT|08:00,Stuhl 1|KONT|09:00", "Stuhl 1|KONT|08:00"}));

    // The other window follows within its watcher's time: the caption and the name, its edits kept.
    QTRY_COMPARE_WITH_TIMEOUT(there.window->windowTitle(), QString("Template: Montag neu"), 3000);
    QCOMPARE(there.state.CurrentIdealtag, QString("Montag neu"));
    QCOMPARE(there.state.modified(), modified);
    QCOMPARE(blocksOn(*there.window->SSDay1(0)).size(), modified ? 3 : 2);
    QVERIFY(there.window->changedBar()->isHidden());
    const QString status = there.window->findChild<QLabel*>("sbStatusBar_Panel1")->text();
    QVERIFY2(status.contains("An einem anderen Arbeitsplatz umbenannt in „Montag neu“") != modified,
             qPrintable(status));
    // Its save writes under the new name and asks nothing: the rows are the ones it read. A right click on a
    // free place makes the unmodified day one to save.
    there.window->openDay().touch();
    QVERIFY(there.window->Speichern());
    QCOMPARE(there.messages.shown().size(), 0);
    QCOMPARE(p.stored("Montag").size(), 0);
    QCOMPARE(p.stored("Montag neu").size(), modified ? 3 : 2);
}

void TestWorkstations::serverLostDuringTheQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Ja: connects again and writes") << true;
    QTest::newRow("Nein: nothing to write, nothing said") << false;
}

void TestWorkstations::serverLostDuringTheQuestion()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(bool, yes);
    Practice p("server");
    const IdealDayStore here(*p.here);
    const std::optional<RowsOnScreen> mine = here.saveDay("Montag", blocks("Stuhl 1", {"08:00"}), {}, {});
    IdealDayStore(*p.there).replaceDay("Montag", blocks("Stuhl 1", {"09:00"}));
    const std::optional<RowsOnScreen> saved = here.saveDay("Montag", blocks("Stuhl 1", {"10:00"}), *mine, [&] {
        TestServer::crash();
        TestServer::restart();
        return yes;
    });
    QCOMPARE(bool(saved), yes);
    QCOMPARE(p.stored("Montag"), QStringList({yes ? "Stuhl 1|KONT|10:00" : "Stuhl 1|KONT|09:00"}));
}

void TestWorkstations::chairChangedElsewhereIsFollowedByIdentity_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("deleted"); // else renamed, with its rows
    QTest::addColumn<bool>("modified");
    for (const char* backend : {"file", "server"})
        for (const bool deleted : {true, false})
            for (const bool modified : {false, true})
                QTest::addRow("%s: %s, %s", backend, deleted ? "deleted" : "renamed",
                              modified ? "modified" : "unmodified")
                    << QString(backend) << deleted << modified;
}

// The middle one of three chairs is deleted (its entries kept) or renamed at one workstation while another
// has the day open: the columns follow each chair, not its place, and no block is stored under another
// chair's name. The deleted chair's blocks stay the day's, unshown and named.
void TestWorkstations::chairChangedElsewhereIsFollowedByIdentity()
{
    QFETCH(QString, backend);
    QFETCH(bool, deleted);
    QFETCH(bool, modified);
    Practice p(backend);
    for (const char* chair : {"Stuhl 1", "Stuhl 2", "Stuhl 3"})
        p.here->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {chair});
    p.here->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 10});
    const IdealDayStore here(*p.here);
    here.replaceDay("Montag",
                    blocks("Stuhl 1", {"08:00"}) + blocks("Stuhl 2", {"09:00"}) + blocks("Stuhl 3", {"10:00"}));
    Workstation there(*p.there);
    there.open("Montag");
    if (modified)
        QVERIFY(placeBlock(*there.window, 1, "11:00", "11:10", "KONT"));

    if (deleted) {
        p.here->run("DELETE FROM Stuhl WHERE STUHL = ?", {"Stuhl 2"});
    } else {
        // As the chair editor does it: the chair and its rows in one transaction.
        p.here->inTransaction([&] {
            p.here->run("UPDATE Stuhl SET STUHL = ? WHERE STUHL = ?", {"Fenster", "Stuhl 2"});
            here.renameChair("Stuhl 2", "Fenster");
        });
    }
    QTRY_COMPARE_WITH_TIMEOUT(there.window->SSDay1(1)->caption(), QString(deleted ? "Stuhl 3" : "Fenster"), 3000);
    QCOMPARE(there.state.ChairCount, deleted ? 2 : 3);
    QCOMPARE(there.state.modified(), modified);
    QCOMPARE(blocksOn(*there.window->SSDay1(0)), QStringList({"08:00-08:10 KONT"}));
    NoticeBar* bar = there.window->changedBar();
    if (deleted) {
        QCOMPARE(blocksOn(*there.window->SSDay1(1)), QStringList({"10:00-10:10 KONT"}));
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), modified
                                  ? QString("Stuhl „Stuhl 2“ wurde an einem anderen Arbeitsplatz gelöscht. 2 "
                                            "Blöcke werden nicht angezeigt: KONT Stuhl 2 09:00, KONT Stuhl 2 11:00")
                                  : QString("Stuhl „Stuhl 2“ wurde an einem anderen Arbeitsplatz gelöscht. 1 "
                                            "Block wird nicht angezeigt: KONT Stuhl 2 09:00"));
    } else {
        QCOMPARE(blocksOn(*there.window->SSDay1(1)),
                 modified ? QStringList({"09:00-09:10 KONT", "11:00-11:10 KONT"}) : QStringList({"09:00-09:10 KONT"}));
        QCOMPARE(blocksOn(*there.window->SSDay1(2)), QStringList({"10:00-10:10 KONT"}));
        QVERIFY(bar->isHidden());
    }

    // Saved afterwards: asked nothing (the stored rows are the ones read), each block under its own chair.
    QVERIFY(placeBlock(*there.window, 0, "12:00", "12:10", "KONT"));
    QVERIFY(there.window->Speichern());
    QCOMPARE(there.messages.shown().size(), 0);
    QStringList stored = p.stored("Montag");
    stored.sort();
    const QString middle = deleted ? "Stuhl 2" : "Fenster";
    QStringList expected{"Stuhl 1|KONT|08:00", "Stuhl 1|KONT|12:00", middle + "|KONT|09:00", "Stuhl 3|KONT|10:00"};
    if (modified)
        expected.append(middle + "|KONT|11:00");
    expected.sort();
    QCOMPARE(stored, expected);
}

void TestWorkstations::dayDeletedElsewhereStaysWithTheBar_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("recreate"); // the answer to the save's question
    QTest::newRow("unmodified, Nein") << false << false;
    QTest::newRow("unmodified, Ja") << false << true;
    QTest::newRow("modified, Nein") << true << false;
}

// A day deleted at another workstation stays on screen with the bar, edited or not; the next save asks
// before it creates the day again.
void TestWorkstations::dayDeletedElsewhereStaysWithTheBar()
{
    QFETCH(bool, modified);
    QFETCH(bool, recreate);
    MainWindowFixture f(2);
    openStoredMonday(f);
    if (modified)
        f.place(1, "10:00", "10:20", "KONT");
    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    IdealDayStore(elsewhere).deleteDay("Montag");

    NoticeBar* bar = f.window->changedBar();
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible(), 3000);
    QCOMPARE(bar->text(), QString("„Montag“ wurde an einem anderen Arbeitsplatz gelöscht."));
    QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT"}));
    QCOMPARE(f.ctx.state.modified(), modified);
    QCOMPARE(f.window->windowTitle(), QString("Template: Montag"));

    if (!modified)
        f.place(1, "10:00", "10:20", "KONT");
    f.ctx.messages.answer(recreate ? QMessageBox::Yes : QMessageBox::No);
    f.action("mnuFileSave")->trigger();
    f.expectBox("Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz gelöscht.\r"
                "Möchten Sie ihn wieder anlegen?",
                "Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(f.ctx.state.modified(), !recreate);
    QCOMPARE(f.dayNames(), recreate ? QStringList({"Montag"}) : QStringList());
    QCOMPARE(f.stored("Montag"),
             recreate ? QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|KONT|10:00|10:20"}) : QStringList());
}

// A change that comes while a modal window is open is followed once it has closed, not dropped.
void TestWorkstations::changeDuringAModalWindowFollowedWhenItCloses()
{
    MainWindowFixture f(1);
    openStoredMonday(f);
    auto* watcher = f.window->findChild<ChangeWatcher*>();
    QVERIFY(watcher);
    QSignalSpy changes(watcher, &ChangeWatcher::changed);
    QDialog dialog(f.window.get());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QVERIFY(QApplication::activeModalWidget());
    Database elsewhere(f.ctx.tempDatabase.path(), "anderer Arbeitsplatz");
    IdealDayStore(elsewhere).replaceDay("Montag", {{"Stuhl 1", "KONT", "09:00", "09:20"}});
    QTRY_VERIFY_WITH_TIMEOUT(changes.size() > 0, 3000);
    QCOMPARE(f.onScreen(0), QStringList({"08:00-08:20 KONT"})); // not under the modal window

    dialog.reject();
    QTRY_COMPARE_WITH_TIMEOUT(f.onScreen(0), QStringList({"09:00-09:20 KONT"}), 3000);
    QVERIFY(!f.ctx.state.modified());
    const QString status = f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text();
    QVERIFY2(status.contains("Von einem anderen Arbeitsplatz geändert – neu geladen "), qPrintable(status));
}

void TestWorkstations::overwrittenSaveIsSaid_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("unseen"); // B saves over A's state after the question; else after reading it
    for (const char* backend : {"file", "server"}) {
        QTest::addRow("%s: overwritten unseen", backend) << QString(backend) << true;
        QTest::addRow("%s: saved after reading it", backend) << QString(backend) << false;
    }
}

// Workstation A saves the day; B, which had not seen that state, answers Ja to the overwrite question. A's
// status says so and where A's state went; a save of B's after reading A's state is an ordinary change.
void TestWorkstations::overwrittenSaveIsSaid()
{
    QFETCH(QString, backend);
    QFETCH(bool, unseen);
    Practice p(backend);
    p.here->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
    p.here->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 10});
    IdealDayStore(*p.here).replaceDay("Montag", blocks("Stuhl 1", {"08:00"}));
    Workstation a(*p.here), b(*p.there);
    a.open("Montag");
    b.open("Montag");
    if (unseen)
        QVERIFY(placeBlock(*b.window, 0, "10:00", "10:10", "KONT"));

    QVERIFY(placeBlock(*a.window, 0, "09:00", "09:10", "KONT"));
    const QString before = QTime::currentTime().toString("HH:mm");
    QVERIFY(a.window->Speichern());
    const QString after = QTime::currentTime().toString("HH:mm");
    QLabel* status = a.window->findChild<QLabel*>("sbStatusBar_Panel1");
    if (unseen) {
        b.messages.answer(QMessageBox::Yes);
        QVERIFY(b.window->Speichern());
        QCOMPARE(b.messages.shown().size(), 1);
        QCOMPARE(b.messages.last().text, QString("Der Idealtag „Montag“ wurde inzwischen an einem anderen "
                                                 "Arbeitsplatz geändert.\rMöchten Sie ihn trotzdem überschreiben?"));
        QCOMPARE(b.messages.last().title, QString("Lunaris"));
        QCOMPARE(b.messages.last().icon, QMessageBox::Question);
        QCOMPARE(b.messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
    } else {
        // B follows A's save first, then saves its own change on top of it.
        QTRY_COMPARE_WITH_TIMEOUT(blocksOn(*b.window->SSDay1(0)).size(), 2, 3000);
        QVERIFY(placeBlock(*b.window, 0, "10:00", "10:10", "KONT"));
        QVERIFY(b.window->Speichern());
        QVERIFY(b.messages.shown().isEmpty());
    }
    // A follows; its saved state is the newest version, marked as replaced unseen or not.
    const QString expected = "Ihr Stand von %1 wurde an " + QSysInfo::machineHostName() +
                             " überschrieben – unter Datei → Versionen erhalten";
    QTRY_VERIFY_WITH_TIMEOUT(status->text().contains("überschrieben") || status->text().contains("neu geladen"), 3000);
    if (unseen)
        QVERIFY2(status->text() == expected.arg(before) || status->text() == expected.arg(after),
                 qPrintable(status->text()));
    else
        QVERIFY2(status->text().startsWith("Von einem anderen Arbeitsplatz geändert – neu geladen "),
                 qPrintable(status->text()));
    QVERIFY(!a.state.modified());
    QVERIFY(a.messages.shown().isEmpty());
    const QList<DayVersion> versions = DayVersionTable(*p.here).versionsOf("Montag");
    QVERIFY(versions.size() >= 2);
    QCOMPARE(versions.first().rows.size(), 2); // A's 08:00 and 09:00
    QCOMPARE(versions.first().overwritten, unseen);
    QVERIFY(!versions.first().deleted && !versions.first().renamed);
    // Where the notice sends the user: the version named as overwritten there.
    frmVersionen dialog(a.services, "Montag");
    const QString shown = dialog.list()->topLevelItem(0)->child(0)->text(0);
    QVERIFY2(shown.endsWith(" (überschrieben an " + QSysInfo::machineHostName() + ")") == unseen, qPrintable(shown));
}

void TestWorkstations::versionsNameWhatReplacedThem_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("cause");     // VersionCause
    QTest::addColumn<QVariant>("host"); // ARBEITSPLATZ as stored
    QTest::addColumn<QString>("kind");  // shown behind the time
    for (const char* backend : {"file", "server"}) {
        QTest::addRow("%s: saved", backend)
            << QString(backend) << int(VersionCause::Saved) << QVariant("PRAXIS-2") << QString();
        QTest::addRow("%s: deleted", backend)
            << QString(backend) << int(VersionCause::Deleted) << QVariant("PRAXIS-2") << QString();
        QTest::addRow("%s: renamed", backend)
            << QString(backend) << int(VersionCause::Renamed) << QVariant("PRAXIS-2") << " (umbenannt)";
        QTest::addRow("%s: overwritten", backend) << QString(backend) << int(VersionCause::Overwritten)
                                                  << QVariant("PRAXIS-2") << " (überschrieben an PRAXIS-2)";
        QTest::addRow("%s: overwritten, no workstation stored", backend)
            << QString(backend) << int(VersionCause::Overwritten) << QVariant(QMetaType(QMetaType::QString))
            << " (überschrieben)";
        QTest::addRow("%s: overwritten, blank workstation", backend)
            << QString(backend) << int(VersionCause::Overwritten) << QVariant("  ") << " (überschrieben)";
    }
}

// The versions dialog says what replaced each version, in the row a screen reader reads too.
void TestWorkstations::versionsNameWhatReplacedThem()
{
    QFETCH(QString, backend);
    QFETCH(int, cause);
    QFETCH(QVariant, host);
    QFETCH(QString, kind);
    Practice p(backend);
    IdealDayStore(*p.here).replaceDay("Montag", blocks("Stuhl 1", {"08:00", "09:00"}));
    const QList<StoredBlock> rows = IdealDayStore(*p.here).storedBlocksOfDay("Montag");
    DayVersionTable(*p.here).keep("Montag", rows, VersionCause(cause));
    p.here->run("UPDATE IdealtagVersion SET ARBEITSPLATZ = ? WHERE rowid = (SELECT MAX(rowid) FROM IdealtagVersion)",
                {host});
    const DayVersion stored = DayVersionTable(*p.here).versionsOf("Montag").first();

    ServerServices at(*p.here);
    frmVersionen dialog(at.services, "Montag");
    dialog.show();
    QTreeWidgetItem* row = dialog.list()->topLevelItem(0)->child(0);
    const QString expected = frmVersionen::timeText(stored.time) + kind;
    QCOMPARE(row->text(0), expected);
    QCOMPARE(row->text(1), host.toString());
    QCOMPARE(row->text(3), QString("2"));

    // The list's cells as the accessibility interface gives them to the screen reader.
    dialog.list()->setCurrentItem(row);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(dialog.list());
    QVERIFY(list && list->tableInterface());
    QStringList spoken;
    for (int i = 0; i < list->childCount(); ++i)
        spoken.append(list->child(i)->text(QAccessible::Name));
    QVERIFY2(spoken.contains(expected), qPrintable(spoken.join(" | ")));
}

void TestWorkstations::practiceValuesFollowedByEveryWorkstation_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("underModal"); // a modal window is open at the following workstation meanwhile
    QTest::newRow("opening hour") << "Praxis"
                                  << "OpenZeit"
                                  << "09:00" << false;
    QTest::newRow("opening hour, under a modal window") << "Praxis"
                                                        << "OpenZeit"
                                                        << "09:00" << true;
    QTest::newRow("row length") << "Praxis"
                                << "Slot"
                                << "2" << false;
    QTest::newRow("treatment colour") << "Farben"
                                      << "KONT"
                                      << "#203080" << false;
    QTest::newRow("treatment colour, under a modal window") << "Farben"
                                                            << "KONT"
                                                            << "#203080" << true;
    QTest::newRow("practice name") << "Praxis"
                                   << "Name"
                                   << "Dr. Sonnenberg" << false;
}

// A practice value changed at one workstation (as the settings dialog and the treatment editor store it) is the
// practice's: another workstation with the day open follows it within moments, and no user's own settings
// hold it. An hour that leaves a block outside the day keeps the block, unshown and named.
void TestWorkstations::practiceValuesFollowedByEveryWorkstation()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, underModal);
    Practice p("server");
    p.here->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
    p.here->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 10});
    IdealDayStore(*p.here).replaceDay("Montag", blocks("Stuhl 1", {"08:00", "10:00"}));
    PracticeWorkstation here(*p.here);
    PracticeWorkstation there(*p.there);
    there.open("Montag");
    QVERIFY(there.window->findChild<QAction*>("mnuViewColors"));
    there.window->findChild<QAction*>("mnuViewColors")->trigger(); // colours shown (a personal choice)
    QCOMPARE(colourAt(*there.window->SSDay1(0), "10:00"), QColor(0, 255, 0));

    QDialog modal(there.window.get());
    if (underModal) {
        modal.setWindowModality(Qt::ApplicationModal);
        modal.show();
        QVERIFY(QApplication::activeModalWidget());
    }
    auto* watcher = there.window->findChild<ChangeWatcher*>();
    QVERIFY(watcher);
    QSignalSpy changes(watcher, &ChangeWatcher::changed);
    here.shared.saveSettings({{"Lunaris", section, key, value}});
    QCOMPARE(PracticeValueTable(*p.there).all().value(section + "/" + key), value);
    if (underModal) {
        // A day saved elsewhere meanwhile is followed too: neither change takes the other's place.
        QTRY_VERIFY_WITH_TIMEOUT(changes.size() > 0, 3000);
        IdealDayStore(*p.here).replaceDay("Montag", blocks("Stuhl 1", {"08:00", "10:00", "12:00"}));
        QTRY_VERIFY_WITH_TIMEOUT(changes.size() > 1, 3000);
        QCOMPARE(there.base.state.OpenTime, QString("08:00")); // not under the modal window
        QCOMPARE(blocksOn(*there.window->SSDay1(0)), QStringList({"08:00-08:10 KONT", "10:00-10:10 KONT"}));
        modal.reject();
        QTRY_COMPARE_WITH_TIMEOUT(blocksOn(*there.window->SSDay1(0)).size(), key == "OpenZeit" ? 2 : 3, 3000);
    }
    QCOMPARE(there.base.tempSettings.read("Lunaris", section, key), QString()); // not the user's own

    if (key == "OpenZeit") {
        QTRY_COMPARE_WITH_TIMEOUT(there.base.state.OpenTime, value, 3000);
        QCOMPARE(blocksOn(*there.window->SSDay1(0)), underModal ? QStringList({"10:00-10:10 KONT", "12:00-12:10 KONT"})
                                                                : QStringList({"10:00-10:10 KONT"}));
        const QString status = there.window->findChild<QLabel*>("sbStatusBar_Panel1")->text();
        // The stored block before the new hour stays the day's: counted, kept at the next save.
        QVERIFY2(status.contains("1 gespeicherter Eintrag nicht angezeigt"), qPrintable(status));
    } else if (key == "Slot") {
        QTRY_COMPARE_WITH_TIMEOUT(there.base.state.SlotSetting, 2, 3000);
        QCOMPARE(blocksOn(*there.window->SSDay1(0)), QStringList({"08:00-08:10 KONT", "10:00-10:10 KONT"}));
    } else if (section == "Farben") {
        QTRY_COMPARE_WITH_TIMEOUT(colourAt(*there.window->SSDay1(0), "10:00"), QColor(value), 3000);
        QCOMPARE(there.base.state.OpenTime, QString("08:00"));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(DayPlanData::gather(*p.there, there.services.settings, "Montag", {}).practiceName,
                                  value, 3000);
    }
    // Nothing else changed, and nobody was asked anything; a save keeps every stored block.
    QVERIFY(!there.base.state.modified());
    QVERIFY(placeBlock(*there.window, 0, "11:00", "11:10", "KONT"));
    QVERIFY(there.window->Speichern());
    QStringList expected{"Stuhl 1|KONT|08:00", "Stuhl 1|KONT|10:00", "Stuhl 1|KONT|11:00"};
    if (underModal)
        expected.append("Stuhl 1|KONT|12:00");
    QStringList stored = p.stored("Montag");
    stored.sort();
    QCOMPARE(stored, expected);
    QCOMPARE(there.base.messages.shown().size(), 0);
    QCOMPARE(here.base.messages.shown().size(), 0);
    // A workstation started later reads the practice's value, whatever its user's own settings say.
    there.base.tempSettings.write("Lunaris", section, key, "fremd");
    ServerPracticeSettings later(there.base.settings, *p.there);
    QCOMPARE(later.getSetting("Lunaris", section, key, "Vorgabe"), value);
}

void TestWorkstations::practiceValuesFallBackOnTheFamilys_data()
{
    QTest::addColumn<QString>("family"); // the planner's opening hour; empty: none
    QTest::addColumn<QString>("server"); // the practice's on the server; empty: none
    QTest::addColumn<QString>("expected");
    QTest::newRow("neither") << ""
                             << ""
                             << "08:00";
    QTest::newRow("the family's only") << "07:30"
                                       << ""
                                       << "07:30";
    QTest::newRow("the server's only") << ""
                                       << "09:00"
                                       << "09:00";
    QTest::newRow("both: the server's") << "07:30"
                                        << "09:00"
                                        << "09:00";
}

// On the server the practice's own value counts first, the family's (kept per user) where the server has none,
// then the default. A user's own value of Lunaris's (from before the server) counts no more.
void TestWorkstations::practiceValuesFallBackOnTheFamilys()
{
    QFETCH(QString, family);
    QFETCH(QString, server);
    QFETCH(QString, expected);
    Practice p("server");
    ServerServices app(*p.here);
    app.tempSettings.write("Lunaris", "Praxis", "OpenZeit", "06:00");
    if (!family.isEmpty())
        app.tempSettings.write("Kavemo", "Praxis", "OpenZeit", family);
    if (!server.isEmpty())
        PracticeValueTable(*p.there).write({{"Praxis", "OpenZeit", server}});
    ServerPracticeSettings settings(app.settings, *p.here);
    QCOMPARE(PracticeSettings::read(settings).openTime, expected);
    QCOMPARE(settings.familyValueWins("Praxis", "OpenZeit"), server.isEmpty());
    // The printer's values stay each workstation's own, the family's first.
    app.tempSettings.write("Kavemo", "Printer", "Hor", "3");
    app.tempSettings.write("Lunaris", "Printer", "Hor", "5");
    QCOMPARE(PrintSettings::read(settings).horOffset, QString("3"));
}

LUNARIS_TEST_MAIN(TestWorkstations)
#include "tst_workstations.moc"
