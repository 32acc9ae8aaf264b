#pragma once

#include "store/ConnectionSetting.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The private PostgreSQL server that tests/pg/with_pg_server.sh starts for one test program.
// Over TCP (127.0.0.1, encrypted only) a role must give its password; over the Unix socket it is trusted.
// The tests work as a practice's workstation does, with the role that may read and write exactly
// Lunaris's tables; the administrator's role only sets up databases.
namespace TestServer {
// Empty when the server runs; otherwise why the server cases are skipped.
QString skipReason();
// The workstations' role: reads and writes Lunaris's tables, creates nothing.
QString user();
// The role that may only read them.
QString reader();
// The administrator, who owns the databases.
QString admin();
// The password of all three roles.
QString password();
int port();
// The certificate of the CA that signed the server's (for the name "localhost"), and one of another CA.
QString caCertificate();
QString otherCaCertificate();
// The server over TCP, as a practice's workstation reaches it.
ServerAddress tcpAddress(const QString& database);
// The same as the administrator.
ServerAddress adminAddress(const QString& database);
// A new database with this name (an existing one is dropped first), set up by the administrator with
// the script the README gives: Lunaris's tables, and the rights of the two workstation roles.
void createDatabase(const QString& name);
// A new database with no tables at all, owned by the administrator.
void createEmptyDatabase(const QString& name);
// Runs a statement as the administrator (straight on the server, not through the program, which would
// complete what it drops); the first column of the rows it returns.
QStringList asAdmin(const QString& database, const QString& sql);
// The language of the server's and libpq's messages from now on ("C", "de_DE.UTF-8"): the server's for
// new connections, this process's for libpq; empty: the environment's again. The program must decide
// nothing from either.
void setMessageLocale(const QString& locale);
// Stops the server at once, as a crash or a pulled cable would, and starts it again.
void crash();
void restart();

// The statements the server logged (log_statement=all) since construction, for one connection.
class StatementLog {
public:
    StatementLog();
    // The statements the server process of that connection received, in order.
    QStringList statementsOf(qint64 backendPid) const;

private:
    qint64 m_start = 0;
};
// The server process serving a connection, as the log names it.
qint64 backendPid(const QSqlDatabase& connection);
} // namespace TestServer

// Skips the running test (or data row) when there is no server.
#define SKIP_WITHOUT_SERVER()                                                                                          \
    do {                                                                                                               \
        if (const QString reason = TestServer::skipReason(); !reason.isEmpty())                                        \
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL test server: ") + reason));                                 \
    } while (false)
