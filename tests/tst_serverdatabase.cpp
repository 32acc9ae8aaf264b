#include "TestMain.h"
#include "TestServer.h"
#include "store/Database.h"
#include "store/PasswordFile.h"
#include "store/ServerConnection.h"

#include <QTemporaryDir>

#include "BigDay.h"
#include "FailureOf.h"
#include "MainWindowFixture.h"
#include "ScriptedMessages.h"
#include "ScriptedModalRunner.h"
#include "TempSettings.h"
#include "app/Program.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "masterdata/frmBehandT.h"
#include "masterdata/frmStuhlT.h"
#include "settings/SettingsStore.h"
#include "store/Tables.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>

namespace {
// The program's services on a server database, with scripted message boxes and dialogs.
struct ServerServices {
    explicit ServerServices(Database& db) : services{db, settings, messages, modals} {}
    TempSettings tempSettings;
    SettingsStore settings;
    ScriptedMessages messages;
    ScriptedModalRunner modals;
    AppServices services;
    LunarisState state;
};
QStringList chairs(const Database& db)
{
    QStringList names;
    for (QSqlQuery q = db.run(QStringLiteral(R"(SELECT "STUHL" FROM "Stuhl" ORDER BY "ID")")); q.next();)
        names.append(q.value(0).toString());
    return names;
}

// What the server receives when a window opens, rebuilds and saves a day of this many blocks (ten chairs,
// 10-minute blocks from 08:00 on, chair after chair).
struct DayStatements {
    QStringList open, rebuild, save;
};

void statementsForDay(int blocks, DayStatements& received)
{
    const QString name = QStringLiteral("tag%1").arg(blocks);
    TestServer::createDatabase(name);
    ServerAddress address = TestServer::tcpAddress(name);
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    Database db(address);
    for (int chair = 1; chair <= 10; ++chair)
        db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {QStringLiteral("Stuhl %1").arg(chair)});
    db.run("INSERT INTO Behand (BEH, DAUER, DR_START, DR_DAUER) VALUES (?, ?, ?, ?)", {"ALT", 10, 0, 5});
    const QList<BigDayBlock> chairDay = bigDayBlocks(0);
    QList<TemplateRow> rows;
    for (int i = 0; i < blocks; ++i) {
        const BigDayBlock& block = chairDay[i % chairDay.size()];
        rows.append({QStringLiteral("Stuhl %1").arg(i / chairDay.size() + 1), block.code, block.start, block.end});
    }
    IdealDayStore(db).replaceDay("Großer Tag", rows);

    ServerServices app(db);
    frmLunaris window(app.state, app.services);
    QVERIFY(window.Form_Load(1024));
    app.state.DayOpen = true;
    app.state.CurrentIdealtag = "Großer Tag";
    const qint64 pid = TestServer::backendPid(db.connection());
    // Measured on a connection in use: the statements are prepared by then.
    window.Termin_load();
    app.state.Modified = true;
    QVERIFY(window.Speichern());
    {
        const TestServer::StatementLog log;
        window.Termin_load();
        received.open = log.statementsOf(pid);
    }
    int onScreen = 0;
    for (int i = 0; i < app.state.ChairCount; ++i)
        onScreen += window.SSDay1(i)->count();
    QCOMPARE(onScreen, blocks);
    {
        const TestServer::StatementLog log;
        window.DR_Load();
        received.rebuild = log.statementsOf(pid);
    }
    app.state.Modified = true;
    {
        const TestServer::StatementLog log;
        QVERIFY(window.Speichern());
        received.save = log.statementsOf(pid);
    }
    QCOMPARE(IdealDayStore(db).blocksOfDay("Großer Tag").size(), blocks);
    QCOMPARE(app.messages.shown().size(), 0);
}
} // namespace

// The practice database on a PostgreSQL server: opening, refusing, errors in German, and a server
// that goes away during the session.
class TestServerDatabase : public QObject {
    Q_OBJECT
private slots:
    void init();
    void refusedAtOpen_data();
    void refusedAtOpen();
    void describesServerErrors_data();
    void describesServerErrors();
    void reconnectsAfterTheServerWasGone();
    void startRefusedWhenTheServerIsAway();
    void programStartsOnTheServer();
    void masterDataEditorsOnTheServer();
    void saveFailsWhileTheServerIsAwayAndWorksAfter();
    void statementsDoNotGrowWithTheDay();
};

void TestServerDatabase::init()
{
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("kavemo");
    qputenv("PGPASSFILE", "/nonexistent");
}

void TestServerDatabase::refusedAtOpen_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("port");        // 0: the test server's
    QTest::addColumn<QString>("message"); // %1 the server
    const QString failed = "3151 Die Verbindung zum Server „%1“ ist fehlgeschlagen: ";
    QTest::newRow("wrong password") << "kavemo"
                                    << "falsch" << 0
                                    << failed + "Der Server hat das Passwort für den Benutzer „lunaris“ abgelehnt.";
    QTest::newRow("wrong database") << "kavmo" << TestServer::password() << 0
                                    << failed + "Die Datenbank „kavmo“ gibt es auf dem Server nicht.";
    QTest::newRow("no server") << "kavemo" << TestServer::password() << 1
                               << failed + "Der Server ist nicht erreichbar.";
}

void TestServerDatabase::refusedAtOpen()
{
    QFETCH(QString, database);
    QFETCH(QString, password);
    QFETCH(int, port);
    QFETCH(QString, message);
    ServerAddress address = TestServer::tcpAddress(database);
    if (port)
        address.port = port;
    // The password reaches the login only through the password file.
    QTemporaryDir home;
    PasswordFile(home.filePath("pgpass")).store(address.host, address.port, address.database, address.user, password);
    qputenv("PGPASSFILE", home.filePath("pgpass").toUtf8());
    const QString failure = failureOf([&] { Database db(address); });
    QVERIFY2(failure.startsWith(message.arg(address.displayName())), qPrintable(failure));
    QVERIFY(!QSqlDatabase::contains("lunaris"));
}

void TestServerDatabase::describesServerErrors_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("failure");
    QTest::newRow("same chair twice") << R"(INSERT INTO "Stuhl" ("STUHL") VALUES (?), (?))"
                                      << QVariantList{"Stuhl 1", "Stuhl 1"}
                                      << "23505 Ein Stuhl mit diesem Namen ist bereits vorhanden.";
    QTest::newRow("text for a whole number")
        << R"(INSERT INTO "Behand" ("BEH", "DAUER") VALUES (?, ?))" << QVariantList{"X", "zwanzig"}
        << "3000 In diesem Feld ist nur eine ganze Zahl erlaubt.";
    QTest::newRow("empty duration") << R"(INSERT INTO "Behand" ("BEH", "DAUER") VALUES (?, ?))"
                                    << QVariantList{"X", QVariant(QMetaType::fromType<int>())}
                                    << "23502 Das Feld DAUER darf nicht leer sein.";
    QTest::newRow("name with quote is just a value")
        << R"(SELECT COUNT(*) FROM "Stuhl" WHERE "STUHL" = ?)" << QVariantList{"O'Brien"} << "";
}

void TestServerDatabase::describesServerErrors()
{
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    Database db(address);
    QTEST(failureOf([&] { db.run(sql, values); }), "failure");
}

void TestServerDatabase::reconnectsAfterTheServerWasGone()
{
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    Database db(address);
    db.inTransaction([&] { db.run(R"(INSERT INTO "Stuhl" ("STUHL") VALUES (?))", {"Stuhl 1"}); });

    // A server restarted while the program sat idle: the first read and the first write find the
    // connection broken, connect again and succeed, whatever language libpq speaks.
    TestServer::crash();
    TestServer::restart();
    QCOMPARE(chairs(db), QStringList({"Stuhl 1"}));
    TestServer::crash();
    TestServer::restart();
    db.inTransaction([&] { db.run(R"(DELETE FROM "Stuhl" WHERE "STUHL" = ?)", {"nobody"}); });

    TestServer::crash();
    // Down: each action fails at once, saying why.
    const QString connectFailed = QStringLiteral("3151 Die Verbindung zum Server „%1“ ist fehlgeschlagen: Der Server "
                                                 "ist nicht erreichbar.")
                                      .arg(address.displayName());
    const QString lost = failureOf([&] { chairs(db); });
    QVERIFY2(lost.startsWith(connectFailed), qPrintable(lost));
    const QString down = failureOf([&] { db.inTransaction([&] { db.run(R"(DELETE FROM "Stuhl")"); }); });
    QVERIFY2(down.startsWith(connectFailed), qPrintable(down));

    TestServer::restart();
    // Back: the next action connects again by itself.
    db.inTransaction([&] { db.run(R"(INSERT INTO "Stuhl" ("STUHL") VALUES (?))", {"Stuhl 2"}); });
    QCOMPARE(chairs(db), QStringList({"Stuhl 1", "Stuhl 2"}));

    // A save that fails half-way on the lost connection leaves the stored rows as they were.
    TestServer::crash();
    QVERIFY(!failureOf([&] { db.inTransaction([&] { db.run(R"(DELETE FROM "Stuhl")"); }); }).isEmpty());
    TestServer::restart();
    QCOMPARE(chairs(db), QStringList({"Stuhl 1", "Stuhl 2"}));
}

void TestServerDatabase::startRefusedWhenTheServerIsAway()
{
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.port = 1;
    ScriptedMessages messages;
    messages.answer(QMessageBox::Ok);
    QVERIFY(!openPracticeDatabase(address, messages));
    const MessageRequest box = messages.last();
    QVERIFY2(box.text.startsWith("Fehler: 3151 Die Verbindung zum Server „127.0.0.1:1“ ist fehlgeschlagen: Der Server "
                                 "ist nicht erreichbar.\r(Meldung: "),
             qPrintable(box.text));
    compareBox(box, box.text, "Lunaris", QMessageBox::Critical);
    QVERIFY(!QSqlDatabase::contains("lunaris"));
}

void TestServerDatabase::programStartsOnTheServer()
{
    // The real program, set to the server; its password comes from the password file.
    QTemporaryDir root;
    QDir(root.path()).mkpath("programm");
    QDir(root.path()).mkpath("config/Kavemo");
    QDir(root.path()).mkpath("runtime");
    QFile::setPermissions(root.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QFile::copy(LUNARIS_EXE, root.filePath("programm/lunaris")));
    const ServerAddress address = TestServer::tcpAddress("kavemo");
    QSettings(root.filePath("config/Kavemo/Lunaris.conf"), QSettings::IniFormat)
        .setValue("Datenbank/Verbindung", address.uri());
    PasswordFile(root.filePath("pgpass"))
        .store(address.host, address.port, address.database, address.user, TestServer::password());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", root.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", root.filePath("runtime"));
    env.insert("PGPASSFILE", root.filePath("pgpass"));
    program.setProcessEnvironment(env);
    program.start(root.filePath("programm/lunaris"), {});
    QVERIFY(program.waitForStarted());
    // It logs in and stays connected; the empty database got the tables at that first connection.
    ServerAddress overSocket = address;
    overSocket.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    QSqlDatabase check = ServerConnection::open(overSocket, "check");
    const auto count = [&](const QString& sql) {
        QSqlQuery q(check);
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    };
    QTRY_COMPARE_WITH_TIMEOUT(count("SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = 'Lunaris' AND "
                                    "client_addr IS NOT NULL"),
                              1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(count("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = 'public'"), 5,
                              20000);
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(QDir(root.filePath("programm")).entryList(QDir::Files), QStringList({"lunaris"})); // no file made
    program.kill();
    program.waitForFinished();
    check.close();
    check = QSqlDatabase();
    QSqlDatabase::removeDatabase("check");
}

void TestServerDatabase::masterDataEditorsOnTheServer()
{
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    Database db(address);
    for (const char* chair : {"Stuhl 2", "Stuhl 1"})
        db.run("INSERT INTO Stuhl (STUHL, TEXT) VALUES (?, ?)", {chair, "Fenster"});
    ServerServices app(db);
    {
        frmStuhlT editor(app.state, app.services);
        editor.show();
        const auto box = [&](int i) { return editor.findChild<QLineEdit*>(QStringLiteral("txtFields%1").arg(i)); };
        QCOMPARE(box(1)->text(), "Stuhl 2"); // the first stored row
        box(2)->setText("Wand");
        editor.findChild<QPushButton*>("cmdUpdate")->click();
        editor.findChild<QPushButton*>("cmdAdd")->click();
        box(1)->setText("Stuhl 3");
        editor.findChild<QPushButton*>("cmdUpdate")->click();
        QVERIFY(app.messages.shown().isEmpty());
    }
    QStringList rows;
    for (QSqlQuery q = db.run("SELECT STUHL, TEXT FROM Stuhl ORDER BY rowid"); q.next();)
        rows.append(q.value(0).toString() + "|" + q.value(1).toString());
    QCOMPARE(rows, QStringList({"Stuhl 2|Wand", "Stuhl 1|Fenster", "Stuhl 3|"}));
    {
        frmBehandT editor(app.state, app.services);
        editor.show();
        const auto box = [&](int i) { return editor.findChild<QLineEdit*>(QStringLiteral("txtFields%1").arg(i)); };
        editor.findChild<QPushButton*>("cmdAdd")->click();
        QCOMPARE(box(2)->text(), "0"); // the table's default
        box(0)->setText("KONT");
        box(2)->setText("20");
        editor.findChild<QPushButton*>("cmdUpdate")->click();
        QVERIFY(app.messages.shown().isEmpty());
    }
    const std::optional<Treatment> kont = TreatmentTable(db).find("KONT");
    QVERIFY(kont);
    QCOMPARE(wholeNumber(kont->dauer), 20);
}

void TestServerDatabase::saveFailsWhileTheServerIsAwayAndWorksAfter()
{
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    Database db(address);
    db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
    db.run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 20});
    ServerServices app(db);
    frmLunaris window(app.state, app.services);
    QVERIFY(window.Form_Load(1024));
    window.mnuFileNew_Click();
    app.state.CurrentIdealtag = "Montag";
    window.SSDay1(0)->add("08:00", "08:20", "KONT", QColor(0, 255, 0));
    app.state.Modified = true;

    TestServer::crash();
    app.messages.answer(QMessageBox::Ok);
    QVERIFY(!window.Speichern());
    const MessageRequest box = app.messages.last();
    QVERIFY2(box.text.startsWith(QStringLiteral("Daten konnten nicht gespeichert werden\rDie Verbindung zum Server "
                                                "„%1“ ist fehlgeschlagen: Der Server ist nicht erreichbar.")
                                     .arg(address.displayName())),
             qPrintable(box.text));
    compareBox(box, box.text, "Speichern", QMessageBox::Critical);
    QVERIFY(app.state.Modified);
    QCOMPARE(blocksOn(*window.SSDay1(0)), QStringList({"08:00-08:20 KONT"}));

    TestServer::restart();
    QVERIFY(window.Speichern()); // no restart of the program
    QVERIFY(!app.state.Modified);
    QCOMPARE(IdealDayStore(db).blocksOfDay("Montag").size(), 1);
}

void TestServerDatabase::statementsDoNotGrowWithTheDay()
{
    // Across a practice network every statement is a round trip: the largest day costs no more of them
    // than a small one.
    DayStatements small, largest;
    statementsForDay(6, small);
    QVERIFY(!QTest::currentTestFailed());
    statementsForDay(600, largest);
    QVERIFY(!QTest::currentTestFailed());
    const auto compareCounts = [](const QStringList& a, const QStringList& b, const char* what) {
        QVERIFY2(!a.isEmpty(), what); // the log is read
        QVERIFY2(a.size() == b.size(), qPrintable(QStringLiteral("%1: %2 statements for 6 blocks, %3 for 600:\n%4")
                                                      .arg(what)
                                                      .arg(a.size())
                                                      .arg(b.size())
                                                      .arg(b.join('\n').left(4000))));
    };
    compareCounts(small.open, largest.open, "open");
    compareCounts(small.rebuild, largest.rebuild, "DR_Load");
    compareCounts(small.save, largest.save, "save");
    // A workstation behind a VPN waits a round trip for each statement.
    QVERIFY2(largest.open.size() <= 2, qPrintable(largest.open.join('\n')));
    QVERIFY2(largest.save.size() <= 5, qPrintable(largest.save.join('\n').left(2000)));
}

LUNARIS_TEST_MAIN(TestServerDatabase)
#include "tst_serverdatabase.moc"
