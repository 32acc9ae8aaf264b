#pragma once

#include "store/ConnectionSetting.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// Logging in to a PostgreSQL server through Qt's QPSQL driver.
namespace ServerConnection {
// Seconds a login waits for an unreachable server when the URI sets no connect_timeout.
constexpr int DefaultConnectTimeoutSeconds = 10;

// Adds a connection under the name and tries to open it. An empty password leaves it to libpq's
// password file (or to authentication without one). The connection comes back open or with its error.
QSqlDatabase open(const ServerAddress& address, const QString& connectionName, const QString& password = {});

// Why a login or statement failed, in German, with the server's own words after it.
QString describeFailure(const QSqlError& error, const ServerAddress& address);

// Whether the driver for servers is installed.
bool driverAvailable();

// Tries a login once, for the user who just typed the values: what worked, or why not, in German.
struct ProbeResult {
    bool ok = false;
    QString message;
};
ProbeResult probe(const ServerAddress& address, const QString& password);
} // namespace ServerConnection
