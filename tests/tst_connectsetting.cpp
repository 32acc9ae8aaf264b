#include "MainWindowFixture.h"
#include "TempSettings.h"
#include "TestMain.h"
#include "kernel/LunarisError.h"
#include "app/Program.h"
#include "settings/SettingsStore.h"
#include "store/ConnectionSetting.h"
#include "store/PasswordFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>

using Options = QList<QPair<QString, QString>>;
namespace fs = std::filesystem;

namespace {
fs::perms mode(const QString& path)
{
    return fs::status(path.toStdString()).permissions();
}
} // namespace

class TestConnectSetting : public QObject {
    Q_OBJECT
private slots:
    void parsesServerUris_data();
    void parsesServerUris();
    void refusesWhatIsNoServerUri_data();
    void refusesWhatIsNoServerUri();
    void readsProgramThenFamilyValue();
    void startRefusesABadSetting();
    void passwordFileKeepsOtherLogins();
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
    // What the dialog writes back names the same server.
    QCOMPARE(ConnectionSetting::parse(address.uri()), address);
}

void TestConnectSetting::refusesWhatIsNoServerUri_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file name") << "Kavemo.mdb"
                               << "Sie beginnt nicht mit „postgresql://“.";
    QTest::newRow("other scheme") << "odbc://praxis/kavemo"
                                  << "Sie beginnt nicht mit „postgresql://“.";
    QTest::newRow("key=value form") << "host=h dbname=d"
                                    << "Sie beginnt nicht mit „postgresql://“.";
    QTest::newRow("no database") << "postgresql://u@h:5432"
                                 << "Der Name der Datenbank fehlt.";
    QTest::newRow("path, not a name") << "postgresql://u@h/a/b"
                                      << "Der Name der Datenbank fehlt.";
    QTest::newRow("port too big") << "postgresql://u@h:70000/d"
                                  << "Server, Port oder Name sind nicht richtig geschrieben.";
    QTest::newRow("port zero") << "postgresql://u@h:0/d"
                               << "Der Port ist keine Zahl von 1 bis 65535.";
    QTest::newRow("password in the URI")
        << "postgresql://u:geheim@h/d"
        << "Sie enthält ein Passwort. Das Passwort gehört in die Passwortdatei (über Bearbeiten → Datenbank...), "
           "nie in die Einstellungen.";
    QTest::newRow("password as option") << "postgresql://u@h/d?password=geheim"
                                        << "Die Angabe „password“ nach dem Fragezeichen ist nicht erlaubt.";
    QTest::newRow("semicolon in option") << "postgresql://u@h/d?sslmode=a;host=x"
                                         << "Die Angabe „sslmode“ nach dem Fragezeichen ist nicht erlaubt.";
}

void TestConnectSetting::refusesWhatIsNoServerUri()
{
    QFETCH(QString, value);
    QFETCH(QString, reason);
    try {
        ConnectionSetting::parse(value);
        QFAIL("accepted");
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), 3170);
        QCOMPARE(e.description(),
                 QStringLiteral("Die Einstellung „Datenbank/Verbindung“ („%1“) ist keine gültige Verbindung zu einem "
                                "PostgreSQL-Server: %2\rLeer bedeutet die Datei Kavemo.mdb im Programmordner; ein "
                                "Server wird so angegeben: postgresql://benutzer@server:5432/datenbank")
                     .arg(value, reason));
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

void TestConnectSetting::startRefusesABadSetting()
{
    ScriptedMessages messages;
    QVERIFY(acceptConnectSetting(QString(), messages));
    QVERIFY(messages.shown().isEmpty());

    messages.answer(QMessageBox::Ok);
    QVERIFY(!acceptConnectSetting("C:\\Praxis\\Kavemo.mdb", messages));
    compareBox(messages.last(),
               "Fehler: 3170 Die Einstellung „Datenbank/Verbindung“ („C:\\Praxis\\Kavemo.mdb“) ist keine gültige "
               "Verbindung zu einem PostgreSQL-Server: Sie beginnt nicht mit „postgresql://“.\rLeer bedeutet die "
               "Datei Kavemo.mdb im Programmordner; ein Server wird so angegeben: "
               "postgresql://benutzer@server:5432/datenbank",
               "Lunaris", QMessageBox::Critical);
}

void TestConnectSetting::passwordFileKeepsOtherLogins()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/.pgpass");
    const PasswordFile file(path);
    file.store("server", 5432, "kavemo", "praxis", "erstes");
    QCOMPARE(mode(path), fs::perms::owner_read | fs::perms::owner_write);

    // Someone else's lines, a comment, and a file others may read.
    QFile raw(path);
    QVERIFY(raw.open(QIODevice::Append));
    raw.write("# Praxis-Server\nserver:5432:kavemo:planer:p\\:w\nother:*:*:praxis:x\n");
    raw.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    file.store("server", 5432, "kavemo", "praxis", "neu:mit\\zeichen");
    file.store("server", 5433, "kavemo", "praxis", "anderer port");
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(raw.readAll()), "# Praxis-Server\n"
                                               "server:5432:kavemo:planer:p\\:w\n"
                                               "other:*:*:praxis:x\n"
                                               "server:5432:kavemo:praxis:neu\\:mit\\\\zeichen\n"
                                               "server:5433:kavemo:praxis:anderer port\n");
    QCOMPARE(mode(path), fs::perms::owner_read | fs::perms::owner_write);
}

LUNARIS_TEST_MAIN(TestConnectSetting)
#include "tst_connectsetting.moc"
