#include "TestServer.h"

#include "HostCommand.h"
#include "store/ServerConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QtTest>

#include <clocale>

QString TestServer::skipReason()
{
    if (!qEnvironmentVariableIsEmpty("LUNARIS_PG_SKIP"))
        return qEnvironmentVariable("LUNARIS_PG_SKIP");
    if (qEnvironmentVariableIsEmpty("LUNARIS_PG_SOCKET"))
        return QStringLiteral("the test was not started through tests/pg/with_pg_server.sh (use ctest)");
    if (!ServerConnection::driverAvailable())
        return QStringLiteral("Qt's QPSQL driver is missing (package libqt6sql6-psql)");
    return {};
}

QString TestServer::user()
{
    return qEnvironmentVariable("LUNARIS_PG_USER");
}

QString TestServer::reader()
{
    return qEnvironmentVariable("LUNARIS_PG_READER");
}

QString TestServer::admin()
{
    return qEnvironmentVariable("LUNARIS_PG_ADMIN");
}

QString TestServer::caCertificate()
{
    return qEnvironmentVariable("LUNARIS_PG_CA");
}

QString TestServer::otherCaCertificate()
{
    return qEnvironmentVariable("LUNARIS_PG_OTHER_CA");
}

QString TestServer::password()
{
    return qEnvironmentVariable("LUNARIS_PG_PASSWORD");
}

int TestServer::port()
{
    return qEnvironmentVariableIntValue("LUNARIS_PG_PORT");
}

ServerAddress TestServer::tcpAddress(const QString& database)
{
    ServerAddress address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = port();
    address.database = database;
    address.user = user();
    return address;
}

ServerAddress TestServer::adminAddress(const QString& database)
{
    ServerAddress address = tcpAddress(database);
    address.user = admin();
    return address;
}

namespace {
// The administrator over the socket, where every role is trusted.
ServerAddress adminOverSocket(const QString& database)
{
    ServerAddress address = TestServer::adminAddress(database);
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    return address;
}
} // namespace

void TestServer::createDatabase(const QString& name)
{
    createEmptyDatabase(name);
    QFile script(qEnvironmentVariable("LUNARIS_PG_SETUP_SQL"));
    if (!script.open(QIODevice::ReadOnly))
        qFatal("test server: the set-up script %s cannot be read", qPrintable(script.fileName()));
    const QString connection = QStringLiteral("lunaris-test-setup");
    {
        QSqlDatabase db = ServerConnection::open(adminOverSocket(name), connection);
        QSqlQuery query(db);
        // The whole script at once, as psql --file runs it.
        if (!db.isOpen() || !query.exec(QString::fromUtf8(script.readAll())))
            qFatal("test server: %s", qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

QStringList TestServer::asAdmin(const QString& database, const QString& sql)
{
    const QString connection = QStringLiteral("lunaris-test-admin-sql");
    QStringList rows;
    {
        QSqlDatabase db = ServerConnection::open(adminOverSocket(database), connection);
        QSqlQuery query(db);
        if (!query.exec(sql))
            qFatal("test server: %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        while (query.next())
            rows.append(query.value(0).toString());
    }
    QSqlDatabase::removeDatabase(connection);
    return rows;
}

void TestServer::createEmptyDatabase(const QString& name)
{
    const ServerAddress admin = adminOverSocket(QStringLiteral("postgres"));
    const QString connection = QStringLiteral("lunaris-test-admin");
    {
        QSqlDatabase db = ServerConnection::open(admin, connection);
        if (!db.isOpen())
            qFatal("test server: %s", qPrintable(db.lastError().text()));
        // A name cannot be bound: it is quoted as an identifier.
        const QString quoted =
            QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoted)) ||
            !query.exec(QStringLiteral("CREATE DATABASE %1").arg(quoted)))
            qFatal("test server: %s", qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

void TestServer::setMessageLocale(const QString& wanted)
{
#ifdef LC_MESSAGES
    const char* set = setlocale(LC_MESSAGES, wanted.toLatin1().constData());
    if (!set)
        qFatal("the locale %s is missing (scripts/install-deps generates it)", qPrintable(wanted));
    const QString locale = QString::fromLatin1(set);
#else
    // The Windows libpq is built without translations, and Windows names its locales otherwise
    // ("German_Germany.1252"): only the (Linux) server's language changes, to the name asked for.
    const QString locale = wanted.isEmpty() ? qEnvironmentVariable("LC_ALL", QStringLiteral("C")) : wanted;
#endif
    const ServerAddress admin = adminOverSocket(QStringLiteral("postgres"));
    const QString connection = QStringLiteral("lunaris-test-locale");
    {
        QSqlDatabase db = ServerConnection::open(admin, connection);
        QSqlQuery query(db);
        // ALTER SYSTEM takes no bound value; the locale names are the test's own.
        if (!query.exec(QStringLiteral("ALTER SYSTEM SET lc_messages = '%1'").arg(locale)) ||
            !query.exec(QStringLiteral("SELECT pg_reload_conf()")))
            qFatal("test server: %s", qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    // The reload is a signal to the server: wait until a new connection speaks the locale.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString current;
        {
            QSqlDatabase db = ServerConnection::open(admin, connection);
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SHOW lc_messages")) && query.next())
                current = query.value(0).toString();
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        if (current == locale)
            return;
        QTest::qWait(20);
    }
    qFatal("test server: lc_messages did not become %s", qPrintable(locale));
}

namespace {
void serverControl(const QString& command)
{
    const HostCommand::Result result = HostCommand::run(
        QStringLiteral("bash"),
        {QStringLiteral("-c"), qEnvironmentVariable("LUNARIS_PG_CTL") + QLatin1Char(' ') + command}, 60000);
    if (!result.finished || result.exitCode != 0)
        qFatal("pg_ctl %s: %s", qPrintable(command), result.errors.constData());
}
} // namespace

void TestServer::crash()
{
    serverControl(QStringLiteral("-m immediate stop"));
}

void TestServer::restart()
{
    serverControl(QStringLiteral("start"));
}

namespace {
QString logPath()
{
    return qEnvironmentVariable("LUNARIS_PG_LOG");
}
} // namespace

TestServer::StatementLog::StatementLog() : m_start(QFileInfo(logPath()).size()) {}

QStringList TestServer::StatementLog::statementsOf(qint64 backendPid) const
{
    QFile log(logPath());
    if (!log.open(QIODevice::ReadOnly) || !log.seek(m_start))
        qFatal("test server: cannot read the statement log %s", qPrintable(logPath()));
    // Lines look like "2026-12-07 17:30:00.123 UTC [4711] LOG:  statement: SELECT ..." (or "execute <name>: ...").
    const QString marker = QStringLiteral("[%1] LOG:  ").arg(backendPid);
    QStringList statements;
    for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype at = line.indexOf(marker);
        if (at < 0)
            continue;
        QString message = line.mid(at + marker.size());
        // A server speaking German logs "Anweisung: ..." and "Ausführen <name>: ..." (older ones "führe <name>
        // aus: ...").
        static const QRegularExpression germanExecute(QStringLiteral("^(?:Ausführen (\\S+)|führe (\\S+) aus): "));
        if (message.startsWith(QLatin1String("Anweisung: ")))
            message = QLatin1String("statement: ") + message.mid(11);
        message.replace(germanExecute, QStringLiteral("execute \\1\\2: "));
        if (message.startsWith(QLatin1String("statement: ")) || message.startsWith(QLatin1String("execute ")))
            statements.append(message);
    }
    return statements;
}

qint64 TestServer::backendPid(const QSqlDatabase& connection)
{
    QSqlQuery query(connection);
    if (!query.exec(QStringLiteral("SELECT pg_backend_pid()")) || !query.next())
        qFatal("test server: %s", qPrintable(query.lastError().text()));
    return query.value(0).toLongLong();
}
