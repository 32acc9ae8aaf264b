#pragma once

#include "store/ConnectionSetting.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The private PostgreSQL server that tests/pg/with_pg_server.sh starts for one test program.
// Over TCP (127.0.0.1) the role must give its password; over the Unix socket it is trusted.
namespace TestServer {
// Empty when the server runs; otherwise why the server cases are skipped.
QString skipReason();
QString user();
QString password();
int port();
// The server over TCP, as a practice's workstation reaches it.
ServerAddress tcpAddress(const QString& database);
// A new, empty database with this name (an existing one is dropped first).
void createDatabase(const QString& name);
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
