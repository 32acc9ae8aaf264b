#include "DayEdits.h"
#include "ServerServices.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "TestServer.h"

#include "DamagedFile.h"
#include "FailureOf.h"
#include "HostCommand.h"
#include "MainWindowFixture.h"
#include "ScriptedMessages.h"
#include "ScriptedModalRunner.h"
#include "ServerProgram.h"
#include "TempSettings.h"
#include "app/FirstStartGuide.h"
#include "app/frmLunaris.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "masterdata/frmBehandT.h"
#include "masterdata/frmStuhlT.h"
#include "settings/SettingsStore.h"
#include "settings/frmDatenbank.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/PasswordFile.h"
#include "store/ServerConnection.h"
#include "store/Tables.h"
#include "ui/ServerStatusPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSslSocket>
#include <QStatusBar>
#include <QTemporaryDir>

#include <memory>

#ifndef Q_OS_WIN
#include <csignal>
#endif

namespace {

ServerAddress overSocket(const QString& database, const QString& user)
{
    ServerAddress address = TestServer::tcpAddress(database);
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    address.user = user;
    return address;
}

const QString ReadOnly = QStringLiteral("Nur Lesen: keine Schreibrechte auf dem Server");

// The database's tables and triggers.
QStringList objectsOf(const QString& database)
{
    return TestServer::asAdmin(database,
                               "SELECT tablename FROM pg_tables WHERE schemaname = 'public' UNION ALL "
                               "SELECT tgrelid::regclass || '.' || tgname FROM pg_trigger WHERE NOT tgisinternal "
                               "ORDER BY 1");
}
} // namespace

// The practice network: encrypted logins with the practice's certificate, a role with the least rights
// for the workstations, and workstations that may only read.
class TestServerSecurity : public QObject {
    Q_OBJECT
private slots:
    void init();
    void encryptedLogins_data();
    void encryptedLogins();
    void tablesNeedAnAdministrator_data();
    void tablesNeedAnAdministrator();
    void leastPrivilegeRoleWorks();
    void setupScriptMakesWhatTheProgramMakes();
    void readOnlyDisablesEveryWrite_data();
    void readOnlyDisablesEveryWrite();
    void readOnlyRoleRefusesWritesUpFront();
    void demoPracticeRefusedBeforeTheQuestion_data();
    void demoPracticeRefusedBeforeTheQuestion();
    void encryptionShownAfterReconnection();
    void crashOutputHoldsNoPassword_data();
    void crashOutputHoldsNoPassword();

private:
    QTemporaryDir m_home;
};

void TestServerSecurity::init()
{
    // A damaged file needs no server.
    if (QTest::currentDataTag() && QByteArray(QTest::currentDataTag()).startsWith("file, "))
        return;
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("kavemo");
    qputenv("PGPASSFILE", m_home.filePath("pgpass").toUtf8());
    QFile::remove(m_home.filePath("pgpass"));
}

void TestServerSecurity::encryptedLogins_data()
{
    QTest::addColumn<QString>("locale"); // of the server's and libpq's messages
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("sslmode");
    QTest::addColumn<QString>("certificate"); // "ca", "other", "missing", "no certificate" or empty
    QTest::addColumn<QString>("reason");      // empty: the login works, encrypted; %1 the certificate file
    QTest::newRow("checked, the practice's CA") << "C"
                                                << "localhost"
                                                << "verify-full"
                                                << "ca"
                                                << "";
    QTest::newRow("encrypted, unchecked") << "C"
                                          << "127.0.0.1"
                                          << "require"
                                          << ""
                                          << "";
    for (const QString locale : {"C", "de_DE.UTF-8"}) {
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s, %s", name, qPrintable(locale)) << locale;
        };
        row("another CA") << "localhost"
                          << "verify-full"
                          << "other"
                          << "Das Zertifikat des Servers ist nicht von der Zertifizierungsstelle in „%1“ ausgestellt. "
                             "Ist es die richtige Zertifikatsdatei der Praxis?";
        row("wrong host name") << "127.0.0.1"
                               << "verify-full"
                               << "ca"
                               << "Das Zertifikat des Servers gilt nicht für den Namen „127.0.0.1“. Bitte geben Sie "
                                  "den Server so an, wie er im Zertifikat steht.";
        row("CA file missing") << "localhost"
                               << "verify-full"
                               << "missing"
                               << "Die Zertifikatsdatei „%1“ kann nicht gelesen werden (sie fehlt, oder es fehlen die "
                                  "Leserechte).";
        row("CA file holds no certificate") << "localhost"
                                            << "verify-full"
                                            << "no certificate"
                                            << "Die Datei „%1“ enthält kein Zertifikat.";
        row("unencrypted, server wants TLS")
            << "127.0.0.1"
            << "disable"
            << ""
            << "Der Server lässt nur verschlüsselte Verbindungen zu. Bitte wählen Sie unter „Verschlüsselung:“ eine "
               "verschlüsselte Verbindung.";
    }
}

void TestServerSecurity::encryptedLogins()
{
    QFETCH(QString, locale);
    QFETCH(QString, host);
    QFETCH(QString, sslmode);
    QFETCH(QString, certificate);
    QFETCH(QString, reason);
    TestServer::setMessageLocale(locale);
    const auto back = qScopeGuard([] { TestServer::setMessageLocale({}); });
    QString file;
    if (certificate == "ca")
        file = TestServer::caCertificate();
    else if (certificate == "other")
        file = TestServer::otherCaCertificate();
    else if (certificate == "missing")
        file = m_home.filePath("fehlt.crt");
    else if (certificate == "no certificate")
        file = m_home.filePath("pgpass.txt");
    if (certificate == "no certificate") {
        QFile text(file);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("kein Zertifikat\n");
    }
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = host;
    address.options.append({"sslmode", sslmode});
    if (!file.isEmpty())
        address.options.append({"sslrootcert", file});

    const ServerConnection::ProbeResult probe = ServerConnection::probe(address, TestServer::password());
    // Without Qt's TLS backend (on Windows a plugin beside the server driver) no reason could be named.
    QVERIFY2(QSslSocket::supportsSsl(), qPrintable(QSslSocket::availableBackends().join(", ")));
    if (!reason.isEmpty()) {
        QVERIFY(!probe.ok);
        // The reason is the program's; the server's or libpq's own words may follow.
        const QString expected = QStringLiteral("Die Verbindung zum Server „%1“ ist fehlgeschlagen: %2")
                                     .arg(address.displayName(),
                                          reason.contains("%1") ? reason.arg(QDir::toNativeSeparators(file)) : reason);
        QVERIFY2(probe.message.startsWith(expected), qPrintable(probe.message));
        return;
    }
    QVERIFY2(probe.ok, qPrintable(probe.message));
    PasswordFile().store(address.host, address.port, address.database, address.user, TestServer::password());
    Database db(address);
    QVERIFY(db.isEncrypted());
    ServerServices app(db);
    frmLunaris window(app.state, app.services);
    QCOMPARE(window.serverPanel()->text(), QStringLiteral("Server: %1/kavemo, verschlüsselt").arg(host));
}

void TestServerSecurity::tablesNeedAnAdministrator_data()
{
    QTest::addColumn<QString>("before"); // what the administrator did to the database; empty: nothing
    QTest::addColumn<QString>("user");
    QTest::newRow("empty database, the workstations' role") << "" << TestServer::user();
    QTest::newRow("empty database, the reading role") << "" << TestServer::reader();
    QTest::newRow("versions table missing") << R"(DROP TABLE "IdealtagVersion")" << TestServer::user();
    QTest::newRow("practice values table missing") << R"(DROP TABLE "LunarisPraxis")" << TestServer::user();
    QTest::newRow("a trigger missing") << R"(DROP TRIGGER lunaris_aenderung ON "Stuhl")" << TestServer::user();
    QTest::newRow("a trigger missing, the reading role")
        << R"(DROP TRIGGER lunaris_aenderung ON "Stuhl")" << TestServer::reader();
}

// A role that may not create tables is told that an administrator has to, with the script to use; the
// database stays as it was.
void TestServerSecurity::tablesNeedAnAdministrator()
{
    QFETCH(QString, before);
    QFETCH(QString, user);
    if (before.isEmpty()) {
        TestServer::createEmptyDatabase("leer");
    } else {
        TestServer::createDatabase("leer");
        TestServer::asAdmin("leer", before);
    }
    const QStringList objectsBefore = objectsOf("leer");
    const ServerAddress address = overSocket("leer", user);
    QCOMPARE(
        failureOf([&] { Database db(address); }),
        QStringLiteral("3033 In der Datenbank „leer auf %1“ fehlen Tabellen von Lunaris, und der Benutzer „%2“ "
                       "darf sie nicht anlegen. Das muss einmal ein Administrator des Servers tun: mit dem SQL aus "
                       "der README (Abschnitt „Rechte auf dem Server“, Datei „server/lunaris-server.sql“ im "
                       "Programmordner). Die Datenbank wird nicht verändert.")
            .arg(address.displayName(), user));
    QCOMPARE(objectsOf("leer"), objectsBefore);
    QVERIFY(QSqlDatabase::connectionNames().filter(QRegularExpression("^lunaris(#\\d+)?$")).isEmpty());
}

// The role of the README works completely: saving keeps a version, another workstation hears of it,
// and the planner's tables stay out of its reach.
void TestServerSecurity::leastPrivilegeRoleWorks()
{
    TestServer::asAdmin("kavemo", R"(CREATE TABLE "Termine" ("PATIENT" text))");
    Database db(overSocket("kavemo", TestServer::user()));
    QVERIFY(!db.isReadOnly());
    QCOMPARE(db.readOnlyReason(), QString());
    db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
    IdealDayStore(db).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    IdealDayStore(db).replaceDay("Montag", {{"Stuhl 1", "KONT", "09:00", "09:20"}});
    QCOMPARE(DayVersionTable(db).versionsOf("Montag").size(), 1);
    QCOMPARE(failureOf([&] { db.run(R"(SELECT * FROM "Termine")"); }).section(' ', 0, 0), "42501");
}

// The administrator's script and a first start of the program as the database's owner leave the same
// tables, columns, defaults, indexes and triggers, so either way of setting up serves every workstation.
void TestServerSecurity::setupScriptMakesWhatTheProgramMakes()
{
    TestServer::createEmptyDatabase("vom_programm");
    {
        Database owner(overSocket("vom_programm", TestServer::admin()));
    }
    const QString shape =
        "SELECT table_name || '|' || column_name || '|' || data_type || '|' || is_nullable || '|' || "
        "coalesce(column_default, '') || '|' || is_identity FROM information_schema.columns "
        "WHERE table_schema = 'public' UNION ALL SELECT indexdef FROM pg_indexes WHERE schemaname = 'public' "
        "UNION ALL SELECT tgrelid::regclass || '.' || tgname FROM pg_trigger WHERE NOT tgisinternal ORDER BY 1";
    const QStringList made = TestServer::asAdmin("vom_programm", shape);
    QVERIFY(made.size() > 20);
    QCOMPARE(TestServer::asAdmin("kavemo", shape), made);
}

void TestServerSecurity::readOnlyDisablesEveryWrite_data()
{
    QTest::addColumn<QString>("cause");  // "server": a role that may only read; "file": a damaged file
    QTest::addColumn<QString>("window"); // where the command is: the main window, an editor, the dialog
    QTest::addColumn<QString>("command");
    for (const char* cause : {"server", "file"}) {
        for (const char* action : {"mnuFileSave", "mnuFileSaveAs", "mnuFileDelete", "tbToolBar_Save"})
            QTest::addRow("%s, %s", cause, action) << cause << "frmLunaris" << action;
        for (const char* editor : {"frmBehandT", "frmStuhlT"})
            for (const char* button : {"cmdAdd", "cmdDelete", "cmdUpdate"})
                QTest::addRow("%s, %s %s", cause, editor, button) << cause << editor << button;
        QTest::addRow("%s, Daten übertragen", cause) << cause << "frmDatenbank"
                                                     << "cmdUebertragen";
    }
}

// One view-only mode for a reception desk's role that may only read and for a file whose check found
// damage (in the planner's part, so that the window opens): the status bar says why, the day opens,
// prints, previews and exports, every command that would write is off before anything is tried, and
// a write that comes another way is refused before it reaches the database. Leaving edits asks nothing.
void TestServerSecurity::readOnlyDisablesEveryWrite()
{
    QFETCH(QString, cause);
    QFETCH(QString, window);
    QFETCH(QString, command);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    std::unique_ptr<Database> db;
    QString notice, refused;
    if (cause == "server") {
        {
            Database writer(overSocket("kavemo", TestServer::user()), "writer");
            writer.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
            writer.run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 20});
            IdealDayStore(writer).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
        }
        db = std::make_unique<Database>(overSocket("kavemo", TestServer::reader()));
        QVERIFY(db->isReadOnly());
        notice = ReadOnly;
        refused = "3033 " + ReadOnly + ".";
    } else {
        writePracticeDamagedOutsideOwnTables(path);
        db = std::make_unique<Database>(path);
        notice = "Nur Lesen: die Datenbankdatei ist beschädigt";
        refused = QString("3049 Die Datenbank „%1“ ist beschädigt. Sie wird nicht verändert; bitte spielen Sie "
                          "eine Sicherung ein.")
                      .arg(path);
    }
    ServerServices app(*db);
    frmLunaris main(app.state, app.services);
    QVERIFY(main.Form_Load(1024));
    auto* status = main.findChild<QLabel*>("sbStatusBar_Panel1");
    if (cause == "file") {
        // The check of the whole file finds the damage while the window is open, and says so once.
        app.messages.answer(QMessageBox::Ok);
        QTRY_COMPARE(app.messages.shown().size(), 1);
        compareBox(app.messages.last(), "Fehler: " + refused, "Lunaris", QMessageBox::Critical);
    }
    QCOMPARE(status->text(), notice);
    QCOMPARE(db->readOnlyReason(), notice);
    app.state.CurrentIdealtag = "Montag";
    app.state.DayOpen = true;
    main.Termin_load();
    main.switchOn(true);
    QCOMPARE(main.SSDay1(0)->count(), 1);
    for (const char* reading : {"mnuFileOpen", "mnuFilePrint", "mnuFilePreview", "mnuFilePdf"})
        QVERIFY2(main.findChild<QAction*>(reading)->isEnabled(), reading);

    std::unique_ptr<QDialog> dialog;
    if (window == "frmLunaris") {
        auto* action = main.findChild<QAction*>(command);
        QVERIFY(action);
        QVERIFY(!action->isEnabled());
    } else {
        if (window == "frmBehandT")
            dialog = std::make_unique<frmBehandT>(app.state, app.services, &main);
        else if (window == "frmStuhlT")
            dialog = std::make_unique<frmStuhlT>(app.state, app.services, &main);
        else
            dialog = std::make_unique<frmDatenbank>(app.services, QString(), m_home.filePath("Kavemo.mdb"), &main);
        auto* control = dialog->findChild<QPushButton*>(command);
        QVERIFY(control);
        QVERIFY(!control->isEnabled());
        if (window != "frmDatenbank") {
            // The records are shown, but cannot be typed over; the editor says why.
            auto* first = dialog->findChild<QLineEdit*>(window == "frmBehandT" ? "txtFields0" : "txtFields1");
            QVERIFY(!first->text().isEmpty());
            QVERIFY(first->isReadOnly());
            QCOMPARE(dialog->findChild<QLabel*>("Label1")->text(), notice);
        }
    }
    const qsizetype boxes = app.messages.shown().size();
    QCOMPARE(failureOf([&] { IdealDayStore(*db).replaceDay("Montag", {}); }), refused);
    // Edits on screen are for looking and printing: leaving them asks nothing.
    QVERIFY(placeBlock(main, 0, "09:00", "09:20", "KONT"));
    main.mnuFileNew_Click();
    QVERIFY(main.close());
    QCOMPARE(app.messages.shown().size(), boxes);
    QCOMPARE(IdealDayStore(*db).blocksOfDay("Montag").size(), 1);
}

// Whatever asks the store to write on a reading role is refused before a statement leaves for the
// server, with the reason; the server would refuse it as well.
void TestServerSecurity::readOnlyRoleRefusesWritesUpFront()
{
    Database db(overSocket("kavemo", TestServer::reader()));
    const qint64 pid = TestServer::backendPid(db.connection());
    const TestServer::StatementLog log;
    const QString refused = "3033 " + ReadOnly + ".";
    QCOMPARE(failureOf([&] { db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"}); }), refused);
    QCOMPARE(failureOf([&] { IdealDayStore(db).replaceDay("Montag", {}); }), refused);
    QCOMPARE(failureOf([&] { db.inTransaction([] {}); }), refused);
    QCOMPARE(log.statementsOf(pid), QStringList());
    QSqlQuery direct(db.connection());
    QVERIFY(!direct.exec(R"(INSERT INTO "Stuhl" ("STUHL") VALUES ('Stuhl 1'))"));
    QCOMPARE(direct.lastError().nativeErrorCode(), "25006");
}

// The server's TLS switched off and on between two connections: the status panel tells each time what
// the new connection is, never what the first one was.
void TestServerSecurity::demoPracticeRefusedBeforeTheQuestion_data()
{
    QTest::addColumn<QString>("cause"); // "server": a role that may only read; "file": a damaged file
    QTest::newRow("server") << "server";
    QTest::newRow("file, damaged") << "file, damaged";
}

// "Beispielpraxis laden" on an empty practice that this workstation may only read: the reason comes at
// once, no question first.
void TestServerSecurity::demoPracticeRefusedBeforeTheQuestion()
{
    QFETCH(QString, cause);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    std::unique_ptr<Database> db;
    QString refused;
    if (cause == "server") {
        db = std::make_unique<Database>(overSocket("kavemo", TestServer::reader()));
        refused = "Fehler: 3033 " + ReadOnly + ".";
    } else {
        {
            Database practice(path, "practice");
            practice.run("CREATE TABLE Termine (NR INTEGER PRIMARY KEY, PATIENT TEXT)");
            practice.run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                         "INSERT INTO Termine (PATIENT) SELECT printf('Patient %05d', i) FROM n");
        }
        damageRootOf(path, "Termine");
        db = std::make_unique<Database>(path);
        refused = QString("Fehler: 3049 Die Datenbank „%1“ ist beschädigt. Sie wird nicht verändert; bitte spielen "
                          "Sie eine Sicherung ein.")
                      .arg(path);
    }
    ServerServices app(*db);
    frmLunaris main(app.state, app.services);
    QVERIFY(main.Form_Load(1024));
    main.show();
    if (cause != "server") {
        // The check of the whole file finds the damage while the window is open, and says so once.
        app.messages.answer(QMessageBox::Ok);
        QTRY_COMPARE(app.messages.shown().size(), 1);
    }
    const qsizetype boxes = app.messages.shown().size();
    FirstStartGuide* guide = main.firstStartGuide();
    QVERIFY(guide->isVisible());
    app.messages.answer(QMessageBox::Ok);
    guide->demoButton()->click();
    QCOMPARE(app.messages.shown().size(), boxes + 1);
    compareBox(app.messages.last(), refused, "Lunaris", QMessageBox::Critical);
    QCOMPARE(ChairTable(*db).count(), 0);
}

void TestServerSecurity::encryptionShownAfterReconnection()
{
    // Over TCP unencrypted logins need a line of their own; the server reads it only at its start.
    const QString hba = qEnvironmentVariable("LUNARIS_PG_DIR") + "/pg_hba_ohne_tls.conf";
    QFile lines(hba);
    QVERIFY(lines.open(QIODevice::WriteOnly));
    lines.write(qgetenv("LUNARIS_PG_TRUSTED_HBA") + "\nhost all all 127.0.0.1/32 scram-sha-256\n");
    lines.close();
    QFile::setPermissions(hba, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const auto restartWith = [&](bool tls) {
        TestServer::asAdmin("postgres", tls ? "ALTER SYSTEM RESET ssl" : "ALTER SYSTEM SET ssl = off");
        TestServer::asAdmin("postgres",
                            tls ? "ALTER SYSTEM RESET hba_file"
                                : QString("ALTER SYSTEM SET hba_file = '%1'").arg(HostCommand::hostFileName(hba)));
        TestServer::crash();
        TestServer::restart();
    };
    const auto back = qScopeGuard([&] {
        restartWith(true);
        QFile::remove(hba);
    });

    TestServer::asAdmin("kavemo", R"(INSERT INTO "Stuhl" ("STUHL") VALUES ('Stuhl 1'))");
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.options.append({QString("sslmode"), QString("prefer")});
    PasswordFile().store(address.host, address.port, address.database, address.user, TestServer::password());
    Database db(address);
    ServerServices app(db);
    frmLunaris main(app.state, app.services);
    QVERIFY(main.Form_Load(1024));
    const QString server = "Server: 127.0.0.1/kavemo, %1";
    QCOMPARE(main.serverPanel()->text(), server.arg("verschlüsselt"));
    for (const bool tls : {false, true}) {
        restartWith(tls);
        QCOMPARE(ChairTable(db).count(), 1); // the next statement connects again
        QCOMPARE(main.serverPanel()->text(), server.arg(tls ? "verschlüsselt" : "unverschlüsselt"));
    }
}

void TestServerSecurity::crashOutputHoldsNoPassword_data()
{
    QTest::addColumn<int>("signal");
#ifndef Q_OS_WIN
    QTest::newRow("crash") << int(SIGSEGV);
    QTest::newRow("abort") << int(SIGABRT);
    QTest::newRow("killed") << int(SIGKILL);
#endif
}

// The real program, connected to the server with every log category of Qt switched on, crashes: what it
// printed up to and at its end holds no password.
void TestServerSecurity::crashOutputHoldsNoPassword()
{
#ifdef Q_OS_WIN
    QSKIP("no POSIX signals on Windows");
#else
    QFETCH(int, signal);
    const ServerAddress address = TestServer::tcpAddress("kavemo");
    ServerProgram setup(address);
    QProcess program;
    QProcessEnvironment env = setup.environment();
    env.insert("QT_LOGGING_RULES", "*=true");
    program.setProcessEnvironment(env);
    program.start(TestPaths::program(), {});
    QVERIFY(program.waitForStarted());
    const QString connected =
        QString("SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = 'Lunaris' AND usename = '%1'")
            .arg(address.user);
    QTRY_COMPARE_WITH_TIMEOUT(TestServer::asAdmin("postgres", connected), QStringList{"1"}, 20000);
    ::kill(pid_t(program.processId()), signal);
    QVERIFY(program.waitForFinished());
    // A sanitizer build catches the crash itself, prints its report (scanned too) and exits with 1.
    QVERIFY2(program.exitStatus() == QProcess::CrashExit || program.exitCode() != 0,
             qPrintable(QString::number(program.exitCode())));
    const QString output = QString::fromLocal8Bit(program.readAllStandardOutput() + program.readAllStandardError());
    QVERIFY(output.contains("qt.")); // Qt's log lines reached the output that is scanned
    SecretScan::check(output, "the crashed program's output");
#endif
}

LUNARIS_TEST_MAIN(TestServerSecurity)
#include "tst_serversecurity.moc"
