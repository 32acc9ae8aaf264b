#include "store/ServerRights.h"

#include "store/Database.h"

#include <QSqlQuery>

bool ServerRights::canWriteAll(const QSqlDatabase& db)
{
    // The names are the program's own; each is quoted as the server spells it.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT bool_and(has_table_privilege(t, 'INSERT') AND has_table_privilege(t, 'UPDATE') AND "
            "has_table_privilege(t, 'DELETE')) FROM (VALUES ('\"Template\"'), ('\"Idealtag\"'), ('\"Behand\"'), "
            "('\"Stuhl\"'), ('\"IdealtagVersion\"')) AS tables(t)")) ||
        !query.next())
        throw databaseFailure(query.lastError());
    return query.value(0).toBool();
}

QString ServerRights::readOnlyNotice()
{
    return QStringLiteral("Nur Lesen: keine Schreibrechte auf dem Server");
}

LunarisError ServerRights::administratorNeeded(const QString& user, const QString& serverName)
{
    return LunarisError(
        MissingRight,
        QStringLiteral("In der Datenbank „%1“ fehlen Tabellen von Lunaris, und der Benutzer „%2“ darf sie nicht "
                       "anlegen. Das muss einmal ein Administrator des Servers tun: mit dem SQL aus der README "
                       "(Abschnitt „Rechte auf dem Server“, Datei „%3“ im Programmordner). Die Datenbank wird nicht "
                       "verändert.")
            .arg(serverName, user, SetupScript));
}

bool ServerRights::isMissingRight(const LunarisError& error)
{
    return error.number() == 42501;
}
