#pragma once

#include <QSqlDatabase>
#include <QString>

// Stopping a statement that runs on an SQLite connection in another thread. Qt's driver hands out the
// engine's connection (QSqlDriver::handle()) but none of the engine's functions; this is the one place
// that reaches beneath it.
namespace SqliteInterrupt {
// The engine's connection behind an open Qt connection, or null. Read in the connection's own thread.
void* engineConnection(const QSqlDatabase& db);
// The engine's version as the connection reports it (sqlite_version()). Read in the connection's own thread.
QString engineVersion(const QSqlDatabase& db);
// Stops the statement running on the connection, from any thread, while the connection is open. False
// when the engine's functions are out of reach or belong to another copy of the engine than the one the
// connection runs on (version differs); the statement then runs to its end.
bool interrupt(void* engineConnection, const QString& engineVersion);
} // namespace SqliteInterrupt
