#pragma once

#include <QSqlDatabase>
#include <QString>

// The four tables on a PostgreSQL server, with the same table and field names as in the file.
// Names are quoted on the server, where unquoted names would fold to lower case.
namespace ServerSchema {
// The server has no rowid: each table gets this identity column, which gives the rows their identity
// and insertion order. The family's other programs may ignore it.
inline const QString RowIdColumn = QStringLiteral("ID");

// Makes the database usable: an empty one (none of the four tables) gets the tables and the index;
// one with all four is checked for the fields the program needs (the identity column with its
// numbering included) and used as it is; one with only some of them is refused. All in one transaction
// under a server-wide advisory lock, so that workstations starting together create the tables once.
// A refused database is not altered. Throws LunarisError with a German description naming the server
// database (serverName).
void ensure(const QSqlDatabase& db, const QString& serverName);

// The function that saves a day in one statement (IdealDayStore calls it): its name and its definition,
// word for word as in the server script. The number in the name changes whenever its parameters or its
// work change, so that a server with an older one gets the new one beside it (the older one stays, for
// workstations of an older version). Its last argument is the latest server time at which it may still write (the
// workstation has given up by then); a later call writes nothing and answers only with the server's time (art 5, in the
// id column, in milliseconds since 1970).
inline const QString SaveFunction = QStringLiteral("lunaris_idealtag_speichern_2");
// Its signature, as to_regprocedure() finds it.
inline const QString SaveFunctionSignature =
    SaveFunction + QStringLiteral("(text,boolean,boolean,jsonb,text,text,text,integer,integer,boolean,bigint[],"
                                  "text[],text[],text[],text[],timestamp with time zone)");
QString saveFunctionDefinition();

// "Name" quoted as an identifier.
QString quoted(const QString& name);
} // namespace ServerSchema
