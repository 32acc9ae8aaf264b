#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <chrono>
#include <functional>

// One statement on the server whose answer the window's thread awaits without stopping its events: sent
// with libpq's asynchronous calls on the driver's own connection (text values, no prepared statement, so
// one round trip), while a local event loop runs timers and painting; user input waits for the answer.
// The rows come back in a query as the driver gives them (the same value types), and a failure as the
// driver reports it.
class AwaitedStatement {
public:
    using Clock = std::chrono::steady_clock;

    // Whether statements can be sent so on this connection: the server's driver, libpq found.
    static bool possible(const QSqlDatabase& db);

    // Sends the statement (placeholders ?) with the values in order and waits for its whole answer, at most
    // until the deadline (then the failure has no server code, as for a lost connection). The feedback is
    // told true once the wait has lasted long enough to be seen, and false after.
    static QSqlError run(const QSqlDatabase& db, const QString& statement, const QVariantList& values,
                         Clock::time_point deadline, const std::function<void(bool waiting)>& feedback,
                         QSqlQuery& rows);

    // The statement with PostgreSQL's numbered placeholders ($1, $2, ...) for ?; quoted text stays as it is.
    static QString numbered(const QString& statement);
    // A value as PostgreSQL reads it from text; a null value (also a null text or date) is no text at all.
    static QByteArray textOf(const QVariant& value, bool& isNull);
};
