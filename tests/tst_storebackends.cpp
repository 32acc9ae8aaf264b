#include "DayEdits.h"
#include "FailureOf.h"
#include "MainWindowFixture.h"
#include "ScriptedMessages.h"
#include "ScriptedModalRunner.h"
#include "TempSettings.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "TestServer.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/SettingsStore.h"
#include "store/Database.h"
#include "store/PasswordFile.h"
#include "store/ServerConnection.h"
#include "store/Tables.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

namespace {
// The practice database on the backend a data row names: "file" (SQLite) or "server" (PostgreSQL).
struct Backend {
    explicit Backend(const QString& kind)
    {
        if (kind == QLatin1String("server")) {
            TestServer::createDatabase("kavemo");
            address = TestServer::tcpAddress("kavemo");
            address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
            db = std::make_unique<Database>(address);
            // Windows keeps the setting in the user's registry, which all workstations of a test share.
            settings.write("Lunaris", "Datenbank", "Verbindung", TestServer::tcpAddress("kavemo").uri());
        } else {
            db = std::make_unique<Database>(dir.filePath("Kavemo.mdb"));
        }
    }
    // A second connection, as another workstation or the planner has it, holding the write lock.
    QSqlDatabase otherWriter()
    {
        QSqlDatabase other;
        if (db->isServer()) {
            other = ServerConnection::open(address, "other");
            QSqlQuery(other).exec("BEGIN");
            QSqlQuery(other).exec(R"(LOCK TABLE "Template", "Idealtag" IN SHARE ROW EXCLUSIVE MODE)");
        } else {
            other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(dir.filePath("Kavemo.mdb"));
            other.open();
            QSqlQuery(other).exec("BEGIN IMMEDIATE");
        }
        return other;
    }
    QStringList stored(const QString& day) const
    {
        QStringList rows;
        for (const TemplateRow& r : IdealDayStore(*db).blocksOfDay(day))
            rows.append(
                QStringList{r.chair, r.code.toString(), r.startTime.toString(), r.endTime.toString()}.join('|'));
        return rows;
    }

    TempSettings settings;
    QTemporaryDir dir;
    ServerAddress address;
    std::unique_ptr<Database> db;
};

// A workstation of its own (home, settings, runtime folder, password file): the helper program with the
// real main window, on the backend's database, driven line by line.
class Workstation {
public:
    Workstation(const Backend& backend, const QString& name)
    {
        for (const char* folder : {"home", "config/Kavemo", "runtime"})
            QDir(m_root.path()).mkpath(name + '/' + folder);
        const QString root = m_root.filePath(name);
        QFile::setPermissions(root + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root + "/home");
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("XDG_RUNTIME_DIR", root + "/runtime");
        if (backend.db->isServer()) {
            // Over the network, with the password in this workstation's own password file.
            const ServerAddress server = TestServer::tcpAddress("kavemo");
            QSettings(root + "/config/Kavemo/Lunaris.conf", QSettings::IniFormat)
                .setValue("Datenbank/Verbindung", server.uri());
            PasswordFile(root + "/home/.pgpass")
                .store(server.host, server.port, server.database, server.user, TestServer::password());
            env.insert("PGPASSFILE", root + "/home/.pgpass");
        }
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // As text: a Windows helper ends its lines with \r\n.
        m_process.start(TestPaths::helper(QStringLiteral("workstation_helper")), {backend.dir.filePath("Kavemo.mdb")},
                        QIODevice::ReadWrite | QIODevice::Text);
    }
    ~Workstation()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }
    // Sends the command; the message boxes it showed, and its last line "FERTIG<tab>Modified<tab>blocks".
    QStringList command(const QString& line)
    {
        m_process.write((line + '\n').toUtf8());
        QStringList lines;
        while (lines.isEmpty() || !lines.last().startsWith("FERTIG")) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(30000)) {
                lines.append(QStringLiteral("keine Antwort auf „%1“ (%2, Status %3)")
                                 .arg(line, m_process.errorString())
                                 .arg(m_process.state()));
                break;
            }
            while (m_process.canReadLine())
                lines.append(QString::fromUtf8(m_process.readLine()).chopped(1));
        }
        return lines;
    }

private:
    QTemporaryDir m_root;
    QProcess m_process;
};

// A message box as the helper prints it.
QString boxLine(const QString& title, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                QMessageBox::StandardButton defaultButton, const QString& text)
{
    return QStringList{"MELDUNG",
                       title,
                       QString::number(int(icon)),
                       QString::number(int(buttons)),
                       QString::number(int(defaultButton)),
                       text}
        .join('\t');
}

void addBackendRows()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("file") << "file";
    QTest::newRow("server") << "server";
}
} // namespace

// The store's table access, the same tests on the file and on the server.
class TestStoreBackends : public QObject {
    Q_OBJECT
private slots:
    void init();
    void tablesInStoredOrder_data() { addBackendRows(); }
    void tablesInStoredOrder();
    void saveAndDeleteWithOddNames_data();
    void saveAndDeleteWithOddNames();
    void saveBeyondOneStatement_data() { addBackendRows(); }
    void saveBeyondOneStatement();
    void failedSaveLeavesTheDayAsItWas_data() { addBackendRows(); }
    void failedSaveLeavesTheDayAsItWas();
    void badContentsRefused_data();
    void badContentsRefused();
    void saveAndDeleteFailWhileAnotherWriterHoldsTheLock_data();
    void saveAndDeleteFailWhileAnotherWriterHoldsTheLock();
    void saveAsksWhenTheDayChangedElsewhere_data();
    void saveAsksWhenTheDayChangedElsewhere();
    void windowAsksBeforeOverwriting_data() { addBackendRows(); }
    void windowAsksBeforeOverwriting();
    void twoWorkstationsSaveTheSameDay_data() { addBackendRows(); }
    void twoWorkstationsSaveTheSameDay();
    void workstationsFollowEachOther_data() { addBackendRows(); }
    void workstationsFollowEachOther();
};

void TestStoreBackends::init()
{
    if (QString(QTest::currentDataTag()).startsWith("server"))
        SKIP_WITHOUT_SERVER();
}

void TestStoreBackends::tablesInStoredOrder()
{
    QFETCH(QString, backend);
    Backend b(backend);
    const Database& db = *b.db;
    for (const char* chair : {"Stuhl 3", "Stuhl 1", "Stuhl 2"})
        db.run("INSERT INTO Stuhl (STUHL, TEXT) VALUES (?, ?)", {chair, "Fenster"});
    db.run("INSERT INTO Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, HON) VALUES (?, ?, ?, ?, ?, ?)",
           {"KONT", "Kontrolle", 20, 0, 10, 45.5});
    db.run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"O'BÜ", 30});
    QCOMPARE(ChairTable(db).names(), QStringList({"Stuhl 3", "Stuhl 1", "Stuhl 2"}));
    QCOMPARE(ChairTable(db).count(), 3);
    QCOMPARE(TreatmentTable(db).codes(), QStringList({"KONT", "O'BÜ"}));
    const std::optional<Treatment> found = TreatmentTable(db).find("O'BÜ");
    QVERIFY(found);
    QCOMPARE(wholeNumber(found->dauer), 30);
    QCOMPARE(wholeNumber(found->drStart2), 0); // the default
    QCOMPARE(number(TreatmentTable(db).all().first().hon), 45.5);
    QVERIFY(!TreatmentTable(db).find("kont")); // codes are compared exactly

    IdealtagTable days(db);
    for (const char* day : {"Montag", "Dienstag", "Mittwoch"})
        days.add(day);
    days.remove("Dienstag");
    QCOMPARE(days.names(), QStringList({"Montag", "Mittwoch"}));
    QVERIFY(days.contains("Mittwoch"));
    QVERIFY(!days.contains("mittwoch"));
    QCOMPARE(failureOf([&] { days.add("Montag"); }),
             backend == "file" ? "2067 Ein Idealtag mit diesem Namen ist bereits vorhanden."
                               : "23505 Ein Idealtag mit diesem Namen ist bereits vorhanden.");
}

void TestStoreBackends::saveAndDeleteWithOddNames_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("day");
    for (const QString backend : {"file", "server"})
        for (const QString day : {"Montag", "O'Briens Tag", "Tag \"B\"", "Template", "? %; --", "Übermorgen"})
            QTest::newRow(qPrintable(backend + ": " + day)) << backend << day;
}

void TestStoreBackends::saveAndDeleteWithOddNames()
{
    QFETCH(QString, backend);
    QFETCH(QString, day);
    Backend b(backend);
    const IdealDayStore store(*b.db);
    store.replaceDay("Anderer Tag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    // The odd name also as a chair and a code (with a backslash), and a field without value.
    const RowsOnScreen written = store.replaceDay(day, {{"Stuhl 1", "KONT", "08:00", "08:20"},
                                                        {"Stuhl 2", "BÜ", "09:00", "09:30"},
                                                        {day + "\\", day, "11:00", QVariant()}});
    QCOMPARE(written.rowIds.size(), 3);
    QCOMPARE(b.stored(day),
             QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|BÜ|09:00|09:30", day + "\\|" + day + "|11:00|"}));
    QVERIFY(IdealDayStore(*b.db).blocksOfDay(day).last().endTime.isNull());
    QCOMPARE(store.blocksOf(day, "Stuhl 2").size(), 1);
    QVERIFY(IdealtagTable(*b.db).contains(day));

    // The next save replaces what the window wrote.
    store.replaceDay(day, {{"Stuhl 2", "KONT", "10:00", "10:20"}}, written);
    QCOMPARE(b.stored(day), QStringList({"Stuhl 2|KONT|10:00|10:20"}));
    QCOMPARE(IdealtagTable(*b.db).names(), QStringList({"Anderer Tag", day}));

    store.deleteDay(day);
    QCOMPARE(b.stored(day), QStringList());
    QVERIFY(!IdealtagTable(*b.db).contains(day));
    QCOMPARE(b.stored("Anderer Tag"), QStringList({"Stuhl 1|KONT|08:00|08:20"}));
}

void TestStoreBackends::saveBeyondOneStatement()
{
    // More rows than one statement can bind values for: the save is split, the rows stay in their
    // order, and the next save removes every one of them.
    QFETCH(QString, backend);
    Backend b(backend);
    const IdealDayStore store(*b.db);
    store.replaceDay("Anderer Tag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    const int count = b.db->maxBoundValues() + 1;
    QList<TemplateRow> rows;
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const QString chair = QStringLiteral("Stuhl %1").arg(i);
        rows.append({chair, "KONT", "08:00", "08:10"});
        expected.append(chair + "|KONT|08:00|08:10");
    }
    const RowsOnScreen written = store.replaceDay("Montag", rows);
    QCOMPARE(written.rowIds.size(), count);
    QCOMPARE(b.stored("Montag"), expected);
    store.replaceDay("Montag", {{"Stuhl 2", "BÜ", "09:00", "09:30"}}, written);
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 2|BÜ|09:00|09:30"}));
    QCOMPARE(b.stored("Anderer Tag"), QStringList({"Stuhl 1|KONT|08:00|08:20"}));
}

void TestStoreBackends::failedSaveLeavesTheDayAsItWas()
{
    // A row refused in the middle of a save, after the day's old rows were deleted: nothing of it stays.
    QFETCH(QString, backend);
    Backend b(backend);
    const IdealDayStore store(*b.db);
    const RowsOnScreen written =
        store.replaceDay("Montag", {{"Stuhl 1", "A", "08:00", "08:10"}, {"Stuhl 2", "B", "09:00", "09:10"}});
    QSqlQuery trigger(b.db->connection());
    // On the server only the administrator may add a trigger.
    for (const QString& sql :
         backend == "file" ? QStringList{"CREATE TRIGGER fail_boom BEFORE INSERT ON Template WHEN NEW.BEH = 'BOOM' "
                                         "BEGIN SELECT RAISE(ABORT, 'kaputt'); END"}
                           : QStringList{R"(CREATE FUNCTION boom() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN
                                IF NEW."BEH" = 'BOOM' THEN RAISE EXCEPTION 'kaputt'; END IF; RETURN NEW; END $$)",
                                         R"(CREATE TRIGGER fail_boom BEFORE INSERT ON "Template" FOR EACH ROW
                                EXECUTE FUNCTION boom())"})
        if (backend == "file")
            QVERIFY2(trigger.exec(sql), qPrintable(trigger.lastError().text()));
        else
            TestServer::asAdmin("kavemo", sql);
    const QString failure = failureOf([&] {
        store.replaceDay("Montag",
                         {{"Stuhl 1", "X", "10:00", "10:10"},
                          {"Stuhl 1", "BOOM", "11:00", "11:10"},
                          {"Stuhl 1", "Y", "12:00", "12:10"}},
                         written);
    });
    // The server's own words ("ERROR:  kaputt", in German "FEHLER:  kaputt") follow its language: only the
    // detail after the program's own.
    QVERIFY2(backend == "file"
                 ? failure.startsWith("1811 Die Daten verletzen eine Regel der Tabelle.")
                 : failure.startsWith("3000 Eine Regel auf dem Server hat den Vorgang abgelehnt.\r(Meldung: ") &&
                       failure.contains(":  kaputt"),
             qPrintable(failure));
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|A|08:00|08:10", "Stuhl 2|B|09:00|09:10"}));
    // The connection is usable afterwards, and the window's rows are still the ones it replaces.
    store.replaceDay("Montag", {{"Stuhl 1", "Z", "13:00", "13:10"}}, written);
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|Z|13:00|13:10"}));
}

void TestStoreBackends::badContentsRefused_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("failure");
    QTest::newRow("file: text") << "file"
                                << "DAUER" << QVariant("zwanzig")
                                << "275 Im Feld DAUER ist nur eine ganze Zahl erlaubt.";
    QTest::newRow("server: text") << "server"
                                  << "DAUER" << QVariant("zwanzig")
                                  << "3000 In diesem Feld ist nur eine ganze Zahl erlaubt.";
    QTest::newRow("file: empty") << "file"
                                 << "DAUER" << QVariant(QMetaType::fromType<int>())
                                 << "1299 Das Feld DAUER darf nicht leer sein.";
    QTest::newRow("server: empty") << "server"
                                   << "DAUER" << QVariant(QMetaType::fromType<int>())
                                   << "23502 Das Feld DAUER darf nicht leer sein.";
    QTest::newRow("file: fee as text") << "file"
                                       << "HON" << QVariant("12,5x") << "275 Im Feld HON ist nur eine Zahl erlaubt.";
    QTest::newRow("server: fee as text") << "server"
                                         << "HON" << QVariant("12,5x")
                                         << "3000 In diesem Feld ist nur eine Zahl erlaubt.";
}

void TestStoreBackends::badContentsRefused()
{
    QFETCH(QString, backend);
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    Backend b(backend);
    QTEST(failureOf([&] {
              b.db->run("INSERT INTO Behand (BEH, " + field + ") VALUES (?, ?)", {"X", value});
          }),
          "failure");
    QCOMPARE(TreatmentTable(*b.db).codes(), QStringList());
}

void TestStoreBackends::saveAndDeleteFailWhileAnotherWriterHoldsTheLock_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("deleting");
    for (const QString backend : {"file", "server"}) {
        QTest::newRow(qPrintable(backend + ": save")) << backend << false;
        QTest::newRow(qPrintable(backend + ": delete")) << backend << true;
    }
}

void TestStoreBackends::saveAndDeleteFailWhileAnotherWriterHoldsTheLock()
{
    QFETCH(QString, backend);
    QFETCH(bool, deleting);
    Backend b(backend);
    const IdealDayStore store(*b.db);
    store.replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    const auto write = [&] {
        if (deleting)
            store.deleteDay("Montag");
        else
            store.replaceDay("Montag", {});
    };
    b.db->setBusyTimeout(200);
    {
        QSqlDatabase other = b.otherWriter();
        const QString failure = failureOf(write);
        QVERIFY2(failure.endsWith(backend == "file"
                                      ? "Die Datenbank wird gerade von einem anderen Programm benutzt."
                                      : "Die Datenbank wird gerade von einem anderen Arbeitsplatz benutzt."),
                 qPrintable(failure));
        QSqlQuery(other).exec("ROLLBACK");
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20"}));
    QVERIFY(IdealtagTable(*b.db).contains("Montag"));
    write(); // the lock is gone: writing works again
    QCOMPARE(b.stored("Montag"), QStringList());
    QCOMPARE(IdealtagTable(*b.db).contains("Montag"), !deleting);
}

void TestStoreBackends::saveAsksWhenTheDayChangedElsewhere_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("change"); // what another workstation did after this one's last save
    QTest::addColumn<bool>("asked");
    for (const QString backend : {"file", "server"}) {
        QTest::newRow(qPrintable(backend + ": nothing")) << backend << "" << false;
        QTest::newRow(qPrintable(backend + ": row added"))
            << backend
            << "INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) VALUES "
               "('Montag', 'Stuhl 2', 'BÜ', '09:00', '09:30')"
            << true;
        QTest::newRow(qPrintable(backend + ": time changed"))
            << backend << "UPDATE Template SET ENDZEIT = '08:30' WHERE IDEALTAG = 'Montag'" << true;
        QTest::newRow(qPrintable(backend + ": day deleted"))
            << backend << "DELETE FROM Template WHERE IDEALTAG = 'Montag'" << true;
        QTest::newRow(qPrintable(backend + ": other day changed"))
            << backend << "DELETE FROM Template WHERE IDEALTAG = 'Dienstag'" << false;
    }
}

void TestStoreBackends::saveAsksWhenTheDayChangedElsewhere()
{
    QFETCH(QString, backend);
    QFETCH(QString, change);
    QFETCH(bool, asked);
    Backend b(backend);
    const IdealDayStore store(*b.db);
    store.replaceDay("Dienstag", {{"Stuhl 1", "KONT", "10:00", "10:20"}});
    int questions = 0;
    const auto answer = [&](bool yes) {
        return [&questions, yes] {
            ++questions;
            return yes;
        };
    };
    const std::optional<RowsOnScreen> mine =
        store.saveDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}}, {}, answer(false));
    QVERIFY(mine);
    QCOMPARE(questions, 0); // a new day: nothing to compare with
    if (!change.isEmpty())
        b.db->run(change);
    const QStringList theirs = b.stored("Montag");

    const QList<TemplateRow> edited = {{"Stuhl 1", "KONT", "11:00", "11:20"}};
    const std::optional<RowsOnScreen> declined = store.saveDay("Montag", edited, *mine, answer(false));
    QCOMPARE(questions, asked ? 1 : 0);
    if (asked) {
        QVERIFY(!declined);
        QCOMPARE(b.stored("Montag"), theirs);                          // Nein: the other workstation's rows stay
        QVERIFY(store.saveDay("Montag", edited, *mine, answer(true))); // Ja: replaced
        QCOMPARE(questions, 2);
    }
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|KONT|11:00|11:20"}));
}

void TestStoreBackends::windowAsksBeforeOverwriting()
{
    QFETCH(QString, backend);
    Backend b(backend);
    b.db->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
    b.db->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 20});
    IdealDayStore(*b.db).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    TempSettings tempSettings;
    SettingsStore settings;
    ScriptedMessages messages;
    ScriptedModalRunner modals;
    AppServices services{*b.db, settings, messages, modals};
    LunarisState state;
    frmLunaris window(state, services);
    QVERIFY(window.Form_Load(1024));
    state.DayOpen = true;
    state.CurrentIdealtag = "Montag";
    window.Termin_load();
    QVERIFY(placeBlock(window, 0, "09:00", "09:20", "KONT"));
    // Another workstation saves the day meanwhile.
    IdealDayStore(*b.db).replaceDay("Montag", {{"Stuhl 1", "KONT", "12:00", "12:20"}});

    messages.answer(QMessageBox::No);
    QVERIFY(!window.Speichern());
    compareBox(messages.last(),
               "Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
               "Möchten Sie ihn trotzdem überschreiben?",
               "Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(messages.last().defaultButton, QMessageBox::No);
    QVERIFY(state.modified());
    QCOMPARE(blocksOn(*window.SSDay1(0)), QStringList({"08:00-08:20 KONT", "09:00-09:20 KONT"}));
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|KONT|12:00|12:20"}));

    messages.answer(QMessageBox::Yes);
    QVERIFY(window.Speichern());
    QVERIFY(!state.modified());
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 1|KONT|09:00|09:20"}));
    // Saved by this window and unchanged since: the next save asks nothing.
    QVERIFY(placeBlock(window, 0, "10:00", "10:20", "KONT"));
    QVERIFY(window.Speichern());
    QCOMPARE(messages.shown().size(), 2);
    QCOMPARE(b.stored("Montag").size(), 3);
}

void TestStoreBackends::twoWorkstationsSaveTheSameDay()
{
    QFETCH(QString, backend);
    Backend b(backend);
    for (const char* chair : {"Stuhl 1", "Stuhl 2"})
        b.db->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {chair});
    b.db->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 20});
    IdealDayStore(*b.db).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    Workstation first(b, "empfang");
    Workstation second(b, "behandlung");
    QCOMPARE(first.command("oeffnen Montag"), QStringList({"FERTIG\t0\t1"}));
    QCOMPARE(second.command("oeffnen Montag"), QStringList({"FERTIG\t0\t1"}));

    first.command("block 0 09:00 09:20 KONT");
    QCOMPARE(first.command("speichern"), QStringList({"FERTIG\t0\t2"})); // nobody saved in between
    const QStringList firstRows = {"Stuhl 1|KONT|08:00|08:20", "Stuhl 1|KONT|09:00|09:20"};
    QCOMPARE(b.stored("Montag"), firstRows);

    second.command("block 1 10:00 10:20 KONT");
    const QString question =
        boxLine("Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                "Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
                "Möchten Sie ihn trotzdem überschreiben?");
    // Nein: nothing written, the edits stay unsaved.
    QCOMPARE(second.command("speichern nein"), QStringList({question, "FERTIG\t1\t2"}));
    QCOMPARE(b.stored("Montag"), firstRows);
    // Ja: the second workstation's day replaces the first one's.
    QCOMPARE(second.command("speichern ja"), QStringList({question, "FERTIG\t0\t2"}));
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|KONT|10:00|10:20"}));

    // Now the first workstation's view is the stale one.
    first.command("block 0 11:00 11:20 KONT");
    QCOMPARE(first.command("speichern nein"), QStringList({question, "FERTIG\t1\t3"}));
    QCOMPARE(b.stored("Montag"), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|KONT|10:00|10:20"}));
}

void TestStoreBackends::workstationsFollowEachOther()
{
    QFETCH(QString, backend);
    Backend b(backend);
    for (const char* chair : {"Stuhl 1", "Stuhl 2"})
        b.db->run("INSERT INTO Stuhl (STUHL) VALUES (?)", {chair});
    b.db->run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 20});
    IdealDayStore(*b.db).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    Workstation first(b, "empfang");
    Workstation second(b, "behandlung");
    first.command("oeffnen Montag");
    second.command("oeffnen Montag");
    const auto reloaded = [](const QStringList& lines) {
        return lines.size() == 2 && lines[0].startsWith("STATUS\tVon einem anderen Arbeitsplatz geändert – neu "
                                                        "geladen ");
    };

    // The second saves: the first, unmodified, shows its rows within two seconds.
    second.command("block 1 09:00 09:20 KONT");
    second.command("speichern");
    QStringList seen = first.command("warten 3000");
    QVERIFY2(reloaded(seen), qPrintable(seen.join('\n')));
    QCOMPARE(seen.last(), "FERTIG\t0\t2");

    // The first has edits of its own: they stay, and the bar tells of the change.
    first.command("block 0 10:00 10:20 KONT");
    second.command("block 1 11:00 11:20 KONT");
    second.command("speichern");
    seen = first.command("warten 3000");
    QCOMPARE(seen.mid(1),
             QStringList({"HINWEIS\t„Montag“ wurde an einem anderen Arbeitsplatz geändert.", "FERTIG\t1\t3"}));

    // The planner's way: a row written by a plain statement.
    b.db->run("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) VALUES (?, ?, ?, ?, ?)",
              {"Montag", "Stuhl 2", "KONT", "12:00", "12:20"});
    seen = second.command("warten 3000");
    QVERIFY2(reloaded(seen), qPrintable(seen.join('\n')));
    QCOMPARE(seen.last(), "FERTIG\t0\t4");
}

LUNARIS_TEST_MAIN(TestStoreBackends)
#include "tst_storebackends.moc"
