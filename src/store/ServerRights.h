#pragma once

#include "kernel/LunarisError.h"

#include <QSqlDatabase>
#include <QString>

// What the role a workstation logs in with may do in the practice database. A practice gives Lunaris a
// role that reads and writes exactly its tables, or one that only reads (a reception desk); creating
// the tables is left to an administrator's role.
namespace ServerRights {
// The failure number of a missing right (Jet's "no permission to use the object").
constexpr int MissingRight = 3033;

// The set-up script for administrators, beside the program and named in the README.
inline const QString SetupScript = QStringLiteral("server/lunaris-server.sql");

// True when the role may insert, change and delete rows in every table Lunaris writes (a role short of
// any of them would fail half-way through a save). Throws LunarisError when the question fails.
bool canWriteAll(const QSqlDatabase& db);

// The status bar's notice of a workstation whose role may only read.
QString readOnlyNotice();

// The refusal when tables or triggers are missing and the role may not create them.
LunarisError administratorNeeded(const QString& user, const QString& serverName);

// True for a failure of the server's rights check (SQLSTATE 42501) or of a table owned by another role
// (42501 also covers it).
bool isMissingRight(const LunarisError& error);
} // namespace ServerRights
