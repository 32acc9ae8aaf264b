#include "TestMain.h"
#include "TestServer.h"
#include "app/LunarisError.h"
#include "store/Database.h"
#include "store/PasswordFile.h"

#include <QTemporaryDir>

#include <QSqlQuery>

namespace {
QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const LunarisError& e) {
        return QStringLiteral("%1 %2").arg(e.number()).arg(e.description());
    }
    return {};
}

QStringList chairs(const Database& db)
{
    QStringList names;
    for (QSqlQuery q = db.run(QStringLiteral(R"(SELECT "STUHL" FROM "Stuhl" ORDER BY "ID")")); q.next();)
        names.append(q.value(0).toString());
    return names;
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

    TestServer::crash();
    const QString lost = failureOf([&] { chairs(db); });
    QVERIFY2(lost.startsWith("3151 Die Verbindung zum Datenbankserver ist unterbrochen ("), qPrintable(lost));
    // Still down: each action fails, saying why, and nothing waits for long.
    const QString down = failureOf([&] { db.inTransaction([&] { db.run(R"(DELETE FROM "Stuhl")"); }); });
    QVERIFY2(down.startsWith(QStringLiteral("3151 Die Verbindung zum Server „%1“ ist fehlgeschlagen: Der Server ist "
                                            "nicht erreichbar.")
                                 .arg(address.displayName())),
             qPrintable(down));

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

LUNARIS_TEST_MAIN(TestServerDatabase)
#include "tst_serverdatabase.moc"
