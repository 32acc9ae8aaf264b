#include "MainWindowFixture.h"
#include "ScriptedModalRunner.h"
#include "TempSettings.h"
#include "TestMain.h"
#include "app/Program.h"
#include "kernel/LunarisError.h"
#include "settings/ConnectionSettingStore.h"
#include "settings/SettingsStore.h"
#include "store/ConnectionSetting.h"
#include "store/Database.h"
#include "store/PasswordFile.h"
#include "store/ServerConnection.h"
#include "store/ServerHandshake.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlError>
#include <QTemporaryDir>

#include <filesystem>

using Options = QList<QPair<QString, QString>>;
namespace fs = std::filesystem;

namespace {
#ifndef Q_OS_WIN
fs::perms mode(const QString& path)
{
    return fs::status(path.toStdString()).permissions();
}
#endif
} // namespace

class TestConnectSetting : public QObject {
    Q_OBJECT
private slots:
    void parsesServerUris_data();
    void parsesServerUris();
    void refusesWhatIsNoServerUri_data();
    void refusesWhatIsNoServerUri();
    void readsProgramThenFamilyValue();
    void startRefusesABadSetting_data();
    void startRefusesABadSetting();
    void passwordFileKeepsOtherLogins();
    void passwordLineGoesWhereLibpqFindsIt_data();
    void passwordLineGoesWhereLibpqFindsIt();
    void refusesHostsTheUriCannotHold_data();
    void refusesHostsTheUriCannotHold();
    void failureClassFromSqlstate_data();
    void failureClassFromSqlstate();
    void driverLinesStayLines_data();
    void driverLinesStayLines();
    void serverErrorInGermanFromSqlstate_data();
    void serverErrorInGermanFromSqlstate();
    void certificateFailureFromHandshakeErrors_data();
    void certificateFailureFromHandshakeErrors();
};

void TestConnectSetting::parsesServerUris_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("user");
    QTest::addColumn<Options>("options");
    QTest::newRow("full") << "postgresql://praxis@server.local:5433/kavemo?sslmode=require"
                          << "server.local" << 5433 << "kavemo"
                          << "praxis" << Options{{"sslmode", "require"}};
    QTest::newRow("default port, no user") << "postgresql://10.0.0.5/kavemo"
                                           << "10.0.0.5" << 5432 << "kavemo"
                                           << "" << Options{};
    QTest::newRow("short scheme") << "postgres://u@h/d"
                                  << "h" << 5432 << "d"
                                  << "u" << Options{};
    QTest::newRow("IPv6") << "postgresql://u@[::1]:6000/d"
                          << "::1" << 6000 << "d"
                          << "u" << Options{};
    QTest::newRow("encoded names, two options")
        << "postgresql://dr%20m%C3%BCller@h/praxis%20s%C3%BCd?sslmode=verify-full&connect_timeout=3"
        << "h" << 5432 << "praxis süd"
        << "dr müller" << Options{{"sslmode", "verify-full"}, {"connect_timeout", "3"}};
    QTest::newRow("capitals kept") << "postgresql://praxis@PRAXIS-Server:5432/kavemo"
                                   << "PRAXIS-Server" << 5432 << "kavemo"
                                   << "praxis" << Options{};
    QTest::newRow("blanks around") << "  postgresql://u@h/d  "
                                   << "h" << 5432 << "d"
                                   << "u" << Options{};
}

void TestConnectSetting::parsesServerUris()
{
    QFETCH(QString, uri);
    const ServerAddress address = ConnectionSetting::parse(uri.trimmed());
    QTEST(address.host, "host");
    QTEST(address.port, "port");
    QTEST(address.database, "database");
    QTEST(address.user, "user");
    QTEST(address.options, "options");
    // What the dialog writes back names the same server, spelt the same.
    QCOMPARE(ConnectionSetting::parse(address.uri()), address);
    QVERIFY(ServerAddress::hostProblem(address.host).isEmpty());
}

void TestConnectSetting::refusesWhatIsNoServerUri_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("shown"); // the value as the message repeats it; empty: as it is
    QTest::newRow("file name") << "Kavemo.mdb"
                               << "Sie beginnt nicht mit „postgresql://“."
                               << "";
    QTest::newRow("other scheme") << "odbc://praxis/kavemo"
                                  << "Sie beginnt nicht mit „postgresql://“."
                                  << "";
    QTest::newRow("key=value form") << "host=h dbname=d"
                                    << "Sie beginnt nicht mit „postgresql://“."
                                    << "";
    QTest::newRow("no database") << "postgresql://u@h:5432"
                                 << "Der Name der Datenbank fehlt."
                                 << "";
    QTest::newRow("path, not a name") << "postgresql://u@h/a/b"
                                      << "Der Name der Datenbank fehlt."
                                      << "";
    QTest::newRow("port too big") << "postgresql://u@h:70000/d"
                                  << "Server, Port oder Name sind nicht richtig geschrieben."
                                  << "";
    QTest::newRow("port zero") << "postgresql://u@h:0/d"
                               << "Der Port ist keine Zahl von 1 bis 65535."
                               << "";
    QTest::newRow("password in the URI")
        << "postgresql://u:geheim@h/d"
        << "Sie enthält ein Passwort. Das Passwort gehört in die Passwortdatei (über Bearbeiten → Datenbank...), "
           "nie in die Einstellungen."
        << "postgresql://u:***@h/d";
    QTest::newRow("password in the URI, IPv6 host")
        << "postgresql://u:geheim@[::1]:5432/d"
        << "Sie enthält ein Passwort. Das Passwort gehört in die Passwortdatei (über Bearbeiten → Datenbank...), "
           "nie in die Einstellungen."
        << "postgresql://u:***@[::1]:5432/d";
    QTest::newRow("password as option") << "postgresql://u@h/d?password=geheim"
                                        << "Die Angabe „password“ nach dem Fragezeichen ist nicht erlaubt."
                                        << "postgresql://u@h/d?password=***";
    QTest::newRow("password as second option") << "postgresql://u@h/d?sslmode=require&password=geheim&connect_timeout=5"
                                               << "Die Angabe „password“ nach dem Fragezeichen ist nicht erlaubt."
                                               << "postgresql://u@h/d?sslmode=require&password=***&connect_timeout=5";
    QTest::newRow("key=value form with a password") << "host=h password='ge heim' dbname=d"
                                                    << "Sie beginnt nicht mit „postgresql://“."
                                                    << "host=h password=*** dbname=d";
    QTest::newRow("semicolon in option") << "postgresql://u@h/d?sslmode=a;host=x"
                                         << "Die Angabe „sslmode“ nach dem Fragezeichen ist nicht erlaubt."
                                         << "";
}

void TestConnectSetting::refusesWhatIsNoServerUri()
{
    QFETCH(QString, value);
    QFETCH(QString, reason);
    QFETCH(QString, shown);
    try {
        ConnectionSetting::parse(value);
        QFAIL("accepted");
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), 3170);
        QCOMPARE(e.description(),
                 QStringLiteral("Die Einstellung „Datenbank/Verbindung“ („%1“) ist keine gültige Verbindung zu einem "
                                "PostgreSQL-Server: %2\rLeer bedeutet die Datei Kavemo.mdb im Programmordner; ein "
                                "Server wird so angegeben: postgresql://benutzer@server:5432/datenbank")
                     .arg(shown.isEmpty() ? value : shown, reason));
        QVERIFY(!e.description().contains("geheim"));
        QVERIFY(!e.description().contains("ge heim"));
    }
}

void TestConnectSetting::readsProgramThenFamilyValue()
{
    TempSettings temp;
    SettingsStore store;
    QCOMPARE(ConnectionSetting::read(store), QString());
    temp.write("Kavemo", "Datenbank", "Verbindung", "postgresql://planer@h/kavemo");
    QCOMPARE(ConnectionSetting::read(store), "postgresql://planer@h/kavemo");
    // The program's own empty value means the file, whatever the family's says.
    ConnectionSetting::write(store, QString());
    QCOMPARE(ConnectionSetting::read(store), QString());
    ConnectionSetting::write(store, "postgresql://lunaris@h/kavemo");
    QCOMPARE(ConnectionSetting::read(store), "postgresql://lunaris@h/kavemo");
    QCOMPARE(temp.read("Kavemo", "Datenbank", "Verbindung"), "postgresql://planer@h/kavemo");
}

void TestConnectSetting::startRefusesABadSetting_data()
{
    QTest::addColumn<QString>("application"); // whose value it is: Lunaris's own or the family's
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("opened"); // the file, after the choice
    for (const QString application : {"Lunaris", "Kavemo"}) {
        QTest::addRow("%s, Erneut versuchen after it was mended", qPrintable(application)) << application << 0 << true;
        QTest::addRow("%s, Verbindung ändern...: the file", qPrintable(application)) << application << 1 << true;
        QTest::addRow("%s, Beenden", qPrintable(application)) << application << 2 << false;
    }
}

void TestConnectSetting::startRefusesABadSetting()
{
    QFETCH(QString, application);
    QFETCH(int, choice);
    QFETCH(bool, opened);
    QVERIFY(connectSettingRefusal(QString()).isEmpty());
    TempSettings temp;
    SettingsStore settings;
    ScriptedMessages messages;
    ScriptedModalRunner modals;
    QTemporaryDir folder;
    temp.write(application, "Datenbank", "Verbindung", "C:\\Praxis\\Kavemo.mdb");
    if (choice == 0) {
        // Mended while the box waits (by whoever set it).
        messages.answerChoice(0, [&] { temp.write(application, "Datenbank", "Verbindung", ""); });
    } else {
        messages.answerChoice(choice);
    }
    if (choice == 1)
        modals.handleNext([](QDialog& d) {
            d.findChild<QRadioButton*>("optDatei")->click();
            d.findChild<QPushButton*>("cmdOK")->click();
        });
    LunarisState state;
    state.DatabaseFile = folder.filePath("Kavemo.mdb");
    const std::unique_ptr<Database> db = openStartDatabase(state, settings, messages, modals);
    QCOMPARE(db != nullptr, opened);
    // One box, with the way on that a server's failure offers too.
    QCOMPARE(messages.shown().size(), 1);
    const MessageRequest box = messages.last();
    QCOMPARE(box.text, "Fehler: 3170 Die Einstellung „Datenbank/Verbindung“ („C:\\Praxis\\Kavemo.mdb“) ist keine "
                       "gültige Verbindung zu einem PostgreSQL-Server: Sie beginnt nicht mit „postgresql://“.\rLeer "
                       "bedeutet die Datei Kavemo.mdb im Programmordner; ein Server wird so angegeben: "
                       "postgresql://benutzer@server:5432/datenbank");
    QCOMPARE(box.title, "Lunaris");
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.choices, QStringList({"Erneut versuchen", "Verbindung ändern...", "Beenden"}));
    QCOMPARE(box.defaultChoice, 0);
    QCOMPARE(modals.shownDialogs(), choice == 1 ? QStringList{"frmDatenbank"} : QStringList{});
    QCOMPARE(modals.pendingHandlers(), 0);
    // The family's value is only read, never changed.
    if (application == "Kavemo" && choice != 0)
        QCOMPARE(temp.read("Kavemo", "Datenbank", "Verbindung"), "C:\\Praxis\\Kavemo.mdb");
}

void TestConnectSetting::passwordFileKeepsOtherLogins()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/.pgpass");
    const PasswordFile file(path);
    file.store("server", 5432, "kavemo", "praxis", "erstes");
#ifndef Q_OS_WIN // Windows keeps no such mode: the file lies in the user's own profile
    QCOMPARE(mode(path), fs::perms::owner_read | fs::perms::owner_write);
#endif

    // Someone else's lines, a comment, and a file others may read.
    QFile raw(path);
    QVERIFY(raw.open(QIODevice::Append));
    raw.write("# Praxis-Server\nserver:5432:kavemo:planer:p\\:w\nother:*:*:praxis:x\n");
    raw.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    file.store("server", 5432, "kavemo", "praxis", "neu:mit\\zeichen");
    file.store("server", 5433, "kavemo", "praxis", "anderer port");
    QVERIFY(raw.open(QIODevice::ReadOnly | QIODevice::Text)); // Windows writes its text files with \r\n
    QCOMPARE(QString::fromUtf8(raw.readAll()), "server:5432:kavemo:praxis:neu\\:mit\\\\zeichen\n"
                                               "# Praxis-Server\n"
                                               "server:5432:kavemo:planer:p\\:w\n"
                                               "other:*:*:praxis:x\n"
                                               "server:5433:kavemo:praxis:anderer port\n");
#ifndef Q_OS_WIN // Windows keeps no such mode: the file lies in the user's own profile
    QCOMPARE(mode(path), fs::perms::owner_read | fs::perms::owner_write);
#endif
}

void TestConnectSetting::passwordLineGoesWhereLibpqFindsIt_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("host"); // of the login stored for port 5432, kavemo, praxis
    QTest::addColumn<QString>("after");
    QTest::newRow("new file") << ""
                              << "PRAXIS-SERVER"
                              << "PRAXIS-SERVER:5432:kavemo:praxis:neu\n";
    QTest::newRow("capitals are another host")
        << "praxis-server:5432:kavemo:praxis:alt\n"
        << "PRAXIS-SERVER"
        << "praxis-server:5432:kavemo:praxis:alt\nPRAXIS-SERVER:5432:kavemo:praxis:neu\n";
    QTest::newRow("replaced where it stood") << "a:1:b:c:d\nPRAXIS-SERVER:5432:kavemo:praxis:alt\nz:1:b:c:d\n"
                                             << "PRAXIS-SERVER"
                                             << "a:1:b:c:d\nPRAXIS-SERVER:5432:kavemo:praxis:neu\nz:1:b:c:d\n";
    QTest::newRow("a second copy goes")
        << "PRAXIS-SERVER:5432:kavemo:praxis:alt\n*:*:*:*:w\nPRAXIS-SERVER:5432:kavemo:praxis:alt2\n"
        << "PRAXIS-SERVER"
        << "PRAXIS-SERVER:5432:kavemo:praxis:neu\n*:*:*:*:w\n";
    QTest::newRow("before a wildcard that would serve it")
        << "other:5432:kavemo:praxis:x\n*:5432:*:praxis:w\nlast:1:b:c:d\n"
        << "server"
        << "other:5432:kavemo:praxis:x\nserver:5432:kavemo:praxis:neu\n*:5432:*:praxis:w\nlast:1:b:c:d\n";
    QTest::newRow("after a wildcard for others") << "*:5432:*:planer:w\n"
                                                 << "server"
                                                 << "*:5432:*:planer:w\nserver:5432:kavemo:praxis:neu\n";
    // Replaced where it stood, the wildcard before it would still serve the login.
    QTest::newRow("an own line after the wildcard goes before it")
        << "a:1:b:c:d\n*:*:*:*:w\nserver:5432:kavemo:praxis:alt\nz:1:b:c:d\n"
        << "server"
        << "a:1:b:c:d\nserver:5432:kavemo:praxis:neu\n*:*:*:*:w\nz:1:b:c:d\n";
    QTest::newRow("an own line after a wildcard for the host")
        << "server:*:*:praxis:w\nserver:5432:kavemo:praxis:alt\n"
        << "server"
        << "server:5432:kavemo:praxis:neu\nserver:*:*:praxis:w\n";
}

void TestConnectSetting::passwordLineGoesWhereLibpqFindsIt()
{
    QFETCH(QString, before);
    QFETCH(QString, host);
    QFETCH(QString, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(".pgpass");
    if (!before.isEmpty()) {
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(before.toUtf8());
    }
    const PasswordFile file(path);
    file.store(host, 5432, "kavemo", "praxis", "neu");
    QFile raw(path);
    QVERIFY(raw.open(QIODevice::ReadOnly | QIODevice::Text)); // Windows writes its text files with \r\n
    QCOMPARE(QString::fromUtf8(raw.readAll()), after);
    // libpq's choice, which the examination of a failed login repeats: always the stored one.
    QCOMPARE(file.passwordFor(host, 5432, "kavemo", "praxis"), "neu");
}

void TestConnectSetting::refusesHostsTheUriCannotHold_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("usable");
    QTest::newRow("capitals and hyphen") << "PRAXIS-SERVER" << true;
    QTest::newRow("domain") << "db.praxis-mueller.de" << true;
    QTest::newRow("IPv4") << "192.168.178.20" << true;
    QTest::newRow("IPv6") << "fe80::1" << true;
    QTest::newRow("blank inside") << "praxis server" << false;
    QTest::newRow("umlaut") << "praxis-müller" << false;
    QTest::newRow("slash (a socket folder)") << "/var/run/postgresql" << false;
    QTest::newRow("at sign") << "praxis@server" << false;
    QTest::newRow("colon, not IPv6") << "server:5432" << false;
}

void TestConnectSetting::refusesHostsTheUriCannotHold()
{
    QFETCH(QString, host);
    QFETCH(bool, usable);
    const QString problem = ServerAddress::hostProblem(host);
    QCOMPARE(problem.isEmpty(), usable);
    if (usable) {
        ServerAddress address{host, 5432, "kavemo", "praxis", {}};
        QCOMPARE(ConnectionSetting::parse(address.uri()), address);
    } else {
        QVERIFY(problem.startsWith(QStringLiteral("Der Servername „%1“ kann nicht verwendet werden.").arg(host)));
    }
}

void TestConnectSetting::failureClassFromSqlstate_data()
{
    using F = ServerConnection::Failure;
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("type"); // QSqlError::ErrorType
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("failure"); // ServerConnection::Failure
    QTest::addColumn<QString>("reason");
    const int statement = QSqlError::StatementError;
    const int connection = QSqlError::ConnectionError;
    // The texts are German, as libpq and the server speak under de_DE.UTF-8: only the class decides.
    QTest::newRow("28P01") << "28P01" << connection << "Passwort-Authentifizierung für Benutzer »praxis« fehlgeschlagen"
                           << int(F::PasswordRefused)
                           << "Der Server hat das Passwort für den Benutzer „praxis“ abgelehnt.";
    QTest::newRow("28000") << "28000" << connection << "kein pg_hba.conf-Eintrag" << int(F::NotAdmitted)
                           << "Der Server lässt die Anmeldung des Benutzers „praxis“ nicht zu.";
    QTest::newRow("3D000") << "3D000" << connection << "Datenbank »kavemo« existiert nicht" << int(F::DatabaseMissing)
                           << "Die Datenbank „kavemo“ gibt es auf dem Server nicht.";
    QTest::newRow("42501") << "42501" << statement << "keine Berechtigung für Tabelle Template" << int(F::NoRight)
                           << "Dem Benutzer „praxis“ fehlt auf dem Server das Recht dazu.";
    QTest::newRow("08006") << "08006" << statement << "Verbindung unterbrochen" << int(F::Unreachable)
                           << "Der Server ist nicht erreichbar.";
    QTest::newRow("57P01") << "57P01" << statement << "Verbindung wird abgebrochen" << int(F::ServerGoingAway)
                           << "Der Server wird gerade beendet oder gestartet.";
    QTest::newRow("57014") << "57014" << statement << "storniere Anfrage wegen Zeitüberschreitung"
                           << int(F::StatementTimeout)
                           << "Der Server hat zu lange nicht geantwortet; der Vorgang wurde abgebrochen.";
    QTest::newRow("55P03") << "55P03" << statement << "konnte Sperre nicht setzen" << int(F::Busy)
                           << "Die Daten werden gerade von einem anderen Arbeitsplatz benutzt.";
    QTest::newRow("53300") << "53300" << connection << "zu viele Verbindungen" << int(F::TooManyConnections)
                           << "Der Server nimmt keine weiteren Verbindungen an (zu viele Verbindungen).";
    QTest::newRow("no class, no connection") << "" << connection << "Server beendete die Verbindung unerwartet"
                                             << int(F::Unreachable) << "Der Server ist nicht erreichbar.";
    // A class without a reason of its own still gets German words; the driver's are only the detail.
    QTest::newRow("English text, other class") << "22P02" << statement << "password authentication failed"
                                               << int(F::Other) << "Der Server hat die Verbindung nicht angenommen.";
}

void TestConnectSetting::failureClassFromSqlstate()
{
    if (!ServerConnection::driverAvailable())
        QSKIP("Qt's QPSQL driver is missing: every failure is that one");
    QFETCH(QString, code);
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(int, failure);
    QFETCH(QString, reason);
    const QSqlError error("QPSQL: Fehler", text, QSqlError::ErrorType(type), code);
    QCOMPARE(int(ServerConnection::classify(error)), failure);
    const ServerAddress address{"PRAXIS-SERVER", 5432, "kavemo", "praxis", {}};
    const QString head = "Die Verbindung zum Server „PRAXIS-SERVER:5432“ ist fehlgeschlagen: ";
    QCOMPARE(ServerConnection::describeFailure(error, address), head + reason + "\r(Meldung: " + text + ")");
}

void TestConnectSetting::driverLinesStayLines_data()
{
    QTest::addColumn<QString>("text"); // libpq's, as the driver passes it on
    QTest::addColumn<QString>("detail");
    QTest::newRow("one line") << "FATAL:  Datenbank »kavemo« existiert nicht\n"
                              << "FATAL: Datenbank »kavemo« existiert nicht";
    QTest::newRow("hint on a tabbed line")
        << "Verbindung zum Server auf »db« (10.0.0.5), Port 5432 fehlgeschlagen: Verbindungsaufbau abgelehnt\n"
           "\tLäuft der Server auf diesem Host und akzeptiert er TCP/IP-Verbindungen?\n"
        << "Verbindung zum Server auf »db« (10.0.0.5), Port 5432 fehlgeschlagen: Verbindungsaufbau abgelehnt\r"
           "Läuft der Server auf diesem Host und akzeptiert er TCP/IP-Verbindungen?";
    QTest::newRow("two addresses, CR LF, an empty line")
        << "connection to server at \"db\" (::1), port 5432 failed: Connection refused\r\n\tIs the server "
           "running?\r\n\r\nconnection to server at \"db\" (10.0.0.5), port 5432 failed: timeout expired"
        << "connection to server at \"db\" (::1), port 5432 failed: Connection refused\rIs the server "
           "running?\rconnection to server at \"db\" (10.0.0.5), port 5432 failed: timeout expired";
}

// The start message's detail keeps libpq's lines apart (a hint glued to the sentence before it reads as one).
void TestConnectSetting::driverLinesStayLines()
{
    if (!ServerConnection::driverAvailable())
        QSKIP("Qt's QPSQL driver is missing: every failure is that one");
    QFETCH(QString, text);
    QFETCH(QString, detail);
    const QSqlError error("QPSQL: Fehler", text, QSqlError::ConnectionError, "08001");
    const ServerAddress address{"PRAXIS-SERVER", 5432, "kavemo", "praxis", {}};
    const QString described = ServerConnection::describeFailure(error, address);
    QVERIFY2(described.startsWith("Die Verbindung zum Server „PRAXIS-SERVER:5432“ ist fehlgeschlagen: "),
             qPrintable(described));
    QVERIFY2(described.endsWith("\r(Meldung: " + detail + ")"), qPrintable(described));
}

LUNARIS_TEST_MAIN(TestConnectSetting)
void TestConnectSetting::serverErrorInGermanFromSqlstate_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text"); // the server's words, as libpq passes them on (any language)
    QTest::addColumn<QString>("reason");
    QTest::newRow("raised by a trigger") << "P0001"
                                         << "ERROR:  kaputt\nCONTEXT:  PL/pgSQL function boom()"
                                         << "Eine Regel auf dem Server hat den Vorgang abgelehnt.";
    QTest::newRow("disk full") << "53100"
                               << "FEHLER:  konnte Datei nicht erweitern"
                               << "Dem Server fehlen Mittel für den Vorgang (Speicher, Plattenplatz oder "
                                  "Verbindungen).";
    QTest::newRow("internal") << "XX000"
                              << "ERROR:  cache lookup failed"
                              << "Auf dem Server ist ein interner Fehler aufgetreten.";
    QTest::newRow("table missing") << "42P01"
                                   << "FEHLER:  Relation »Template« existiert nicht"
                                   << "In der Datenbank auf dem Server fehlt eine Tabelle.";
    QTest::newRow("serialization") << "40001"
                                   << "ERROR:  could not serialize access"
                                   << "Die Datenbank wird gerade von einem anderen Arbeitsplatz benutzt.";
    QTest::newRow("statement timeout") << "57014"
                                       << "FEHLER:  storniere Anfrage wegen Zeitüberschreitung"
                                       << "Der Server hat zu lange nicht geantwortet; der Vorgang wurde abgebrochen.";
    QTest::newRow("a class of no other row") << "0A000"
                                             << "ERROR:  feature not supported"
                                             << "Der Server hat den Vorgang abgelehnt.";
}

void TestConnectSetting::serverErrorInGermanFromSqlstate()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    const LunarisError failure = databaseFailure(QSqlError("QPSQL: Fehler", text, QSqlError::StatementError, code));
    QCOMPARE(failure.description(), reason + "\r(Meldung: " + QString(text).replace('\n', ' ') + ")");
}

void TestConnectSetting::certificateFailureFromHandshakeErrors_data()
{
    using F = ServerConnection::Failure;
    QTest::addColumn<QList<int>>("errors"); // QSslError::SslError
    QTest::addColumn<bool>("checkName");    // verify-full; verify-ca checks only the CA
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("reason");
    const QString untrusted = "Das Zertifikat des Servers ist nicht von der Zertifizierungsstelle in „%1“ "
                              "ausgestellt. Ist es die richtige Zertifikatsdatei der Praxis?";
    const QString expired = "Das Zertifikat des Servers ist abgelaufen oder noch nicht gültig. Bitte lassen Sie es "
                            "erneuern, oder prüfen Sie Datum und Uhrzeit dieses Arbeitsplatzes.";
    const QString wrongName = "Das Zertifikat des Servers gilt nicht für den Namen „praxis-server“. Bitte geben Sie "
                              "den Server so an, wie er im Zertifikat steht.";
    QTest::newRow("self-signed") << QList<int>{QSslError::SelfSignedCertificate} << true << int(F::CertificateUntrusted)
                                 << untrusted;
    QTest::newRow("another CA") << QList<int>{QSslError::UnableToGetLocalIssuerCertificate,
                                              QSslError::UnableToVerifyFirstCertificate}
                                << true << int(F::CertificateUntrusted) << untrusted;
    QTest::newRow("another CA and another name")
        << QList<int>{QSslError::HostNameMismatch, QSslError::SelfSignedCertificate} << true
        << int(F::CertificateUntrusted) << untrusted;
    QTest::newRow("expired") << QList<int>{QSslError::CertificateExpired} << true << int(F::CertificateExpired)
                             << expired;
    QTest::newRow("not yet valid, another name")
        << QList<int>{QSslError::HostNameMismatch, QSslError::CertificateNotYetValid} << true
        << int(F::CertificateExpired) << expired;
    QTest::newRow("another name") << QList<int>{QSslError::HostNameMismatch} << true << int(F::CertificateNameMismatch)
                                  << wrongName;
    QTest::newRow("another name, only the CA checked")
        << QList<int>{QSslError::HostNameMismatch} << false << int(F::Other) << "";
    QTest::newRow("no error") << QList<int>{} << true << int(F::Other) << "";
}

void TestConnectSetting::certificateFailureFromHandshakeErrors()
{
    QFETCH(QList<int>, errors);
    QFETCH(bool, checkName);
    QFETCH(int, failure);
    QFETCH(QString, reason);
    QList<QSslError> sslErrors;
    for (const int error : errors)
        sslErrors.append(QSslError(QSslError::SslError(error)));
    const ServerConnection::Failure found = ServerHandshake::classifyCertificateErrors(sslErrors, checkName);
    QCOMPARE(int(found), failure);
    ServerAddress address;
    address.host = "praxis-server";
    address.options = {{"sslrootcert", "/praxis/ca.crt"}};
    QCOMPARE(ServerConnection::germanReason(found, address),
             reason.contains("%1") ? reason.arg(QDir::toNativeSeparators("/praxis/ca.crt")) : reason);
}

#include "tst_connectsetting.moc"
