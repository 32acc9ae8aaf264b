#include "store/ServerSchema.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/ServerRights.h"

#include <QSqlQuery>
#include <QStringList>

namespace {
constexpr int MissingTable = 3078;
constexpr int MissingField = 3265;
// The server-wide lock key of the tables' check and creation: "LUNARIS1" in ASCII.
constexpr qint64 SchemaLockKey = 0x4C554E4152495331;

struct TableDefinition {
    QString name;
    QStringList fields;
    QString columns; // the column definitions after the identity column
};

const QList<TableDefinition>& tables()
{
    static const QList<TableDefinition> definitions = {
        {QStringLiteral("Template"),
         {"IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT"},
         QStringLiteral(R"("IDEALTAG" text, "STUHL" text, "BEH" text, "STARTZEIT" text, "ENDZEIT" text)")},
        {QStringLiteral("Idealtag"),
         {"IDEALTAG"},
         QStringLiteral(R"("IDEALTAG" text CONSTRAINT "IDEALTAG_eindeutig" UNIQUE)")},
        {QStringLiteral("Behand"),
         {"BEH", "TEXT", "DAUER", "DR_START", "DR_DAUER", "DR_START2", "DR_DAUER2", "HON"},
         QStringLiteral(R"("BEH" text CONSTRAINT "BEH_eindeutig" UNIQUE, "TEXT" text,)"
                        R"( "DAUER" integer NOT NULL DEFAULT 0, "DR_START" integer NOT NULL DEFAULT 0,)"
                        R"( "DR_DAUER" integer NOT NULL DEFAULT 0, "DR_START2" integer NOT NULL DEFAULT 0,)"
                        R"( "DR_DAUER2" integer NOT NULL DEFAULT 0, "HON" numeric NOT NULL DEFAULT 0)")},
        {QStringLiteral("Stuhl"),
         {"STUHL", "TEXT"},
         QStringLiteral(R"("STUHL" text CONSTRAINT "STUHL_eindeutig" UNIQUE, "TEXT" text)")},
    };
    return definitions;
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The server prepares only queries and row changes: a statement without values runs directly.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            throw databaseFailure(query.lastError());
        return query;
    }
    if (!query.prepare(sql))
        throw databaseFailure(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw databaseFailure(query.lastError());
    return query;
}

QStringList namesFrom(QSqlQuery query)
{
    QStringList names;
    while (query.next())
        names.append(query.value(0).toString());
    return names;
}

void create(const QSqlDatabase& db)
{
    for (const TableDefinition& table : tables())
        run(db,
            QStringLiteral("CREATE TABLE %1 (%2 bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, %3)")
                .arg(ServerSchema::quoted(table.name), ServerSchema::quoted(ServerSchema::RowIdColumn), table.columns));
    run(db, QStringLiteral(R"(CREATE INDEX "Template_IDEALTAG_STUHL" ON "Template" ("IDEALTAG", "STUHL"))"));
}

void check(const QSqlDatabase& db, const QString& serverName);
} // namespace

QString ServerSchema::saveFunctionDefinition()
{
    // A function of SQL statements: each gets a fresh snapshot, so the comparison after the lock sees every
    // save committed before it. The time is read after the lock too, as the lock may be what the call waited
    // for: a call that comes after the workstation gave up (held on a dead path, or by a lock) writes nothing.
    return QStringLiteral(
        R"sql(CREATE OR REPLACE FUNCTION lunaris_idealtag_speichern_2(tag text, geloescht_fragen boolean, pruefen boolean,
    erwartet jsonb, zeit text, arbeitsplatz text, benutzer text, anlass integer, behalten integer,
    alle_ersetzen boolean, ersetzt bigint[], stuehle text[], behandlungen text[], anfaenge text[], enden text[],
    spaetestens timestamptz)
    RETURNS TABLE (art integer, id bigint, stuhl text, beh text, startzeit text, endzeit text)
    LANGUAGE sql VOLATILE AS $f$
LOCK TABLE "Template", "Idealtag" IN SHARE ROW EXCLUSIVE MODE;
WITH intime AS (SELECT jetzt, $16 IS NULL OR jetzt <= $16 AS v FROM clock_timestamp() AS jetzt),
cur AS (SELECT "ID", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM "Template" WHERE "IDEALTAG" = $1),
listed AS (SELECT EXISTS (SELECT 1 FROM "Idealtag" WHERE "IDEALTAG" = $1) AS v),
ok AS (SELECT (SELECT v FROM intime) AND NOT ($2 AND NOT (SELECT v FROM listed)) AND (NOT $3 OR
    (SELECT coalesce(jsonb_agg(jsonb_build_array("ID", coalesce("STUHL", ''), "BEH", "STARTZEIT", "ENDZEIT")
    ORDER BY "ID"), '[]') FROM cur) = $4) AS v),
kept AS (SELECT EXISTS (SELECT 1 FROM cur) OR (SELECT v FROM listed) AS v),
version AS (INSERT INTO "IdealtagVersion" ("IDEALTAG", "ZEIT", "ARBEITSPLATZ", "BENUTZER", "ZEILEN", "GELOESCHT")
    SELECT $1, $5, $6, $7, coalesce((SELECT json_agg(json_build_array("STUHL", "BEH", "STARTZEIT", "ENDZEIT")
    ORDER BY "ID") FROM cur)::text, '[]'), $8 WHERE (SELECT v FROM ok) AND (SELECT v FROM kept)),
pruned AS (DELETE FROM "IdealtagVersion" WHERE (SELECT v FROM ok) AND "IDEALTAG" = $1 AND "ID" NOT IN
    (SELECT "ID" FROM "IdealtagVersion" WHERE "IDEALTAG" = $1 ORDER BY "ID" DESC
    LIMIT (SELECT $9 - CASE WHEN v THEN 1 ELSE 0 END FROM kept))),
removed AS (DELETE FROM "Template" WHERE (SELECT v FROM ok) AND "IDEALTAG" = $1 AND ($10 OR "ID" IN
    (SELECT unnest($11))) RETURNING "ID"),
listing AS (INSERT INTO "Idealtag" ("IDEALTAG") SELECT $1 WHERE (SELECT v FROM ok) AND NOT (SELECT v FROM listed)),
ins AS (INSERT INTO "Template" ("IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT")
    SELECT $1, r.s, r.b, r.st, r.e FROM unnest($12, $13, $14, $15) WITH ORDINALITY AS r(s, b, st, e, n)
    WHERE (SELECT v FROM ok) ORDER BY r.n RETURNING "ID")
SELECT 0, "ID", NULL::text, NULL::text, NULL::text, NULL::text FROM ins
UNION ALL SELECT 1, "ID", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM cur
    WHERE (SELECT v FROM ok) AND "ID" NOT IN (SELECT "ID" FROM removed)
UNION ALL SELECT 2, "ID", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM cur
    WHERE NOT (SELECT v FROM ok) AND (SELECT v FROM intime)
UNION ALL SELECT 3, CAST((SELECT v FROM listed) AS integer)::bigint, NULL, NULL, NULL, NULL
    WHERE NOT (SELECT v FROM ok) AND (SELECT v FROM intime)
UNION ALL SELECT 4, NULL, NULL, NULL, NULL, NULL WHERE (SELECT v FROM ok)
UNION ALL SELECT 5, floor(extract(epoch FROM jetzt) * 1000)::bigint, NULL, NULL, NULL, NULL FROM intime WHERE NOT v
$f$)sql");
}

QString ServerSchema::quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

void ServerSchema::ensure(const QSqlDatabase& db, const QString& serverName)
{
    // Workstations started together on an empty server would each create the tables, and all but one
    // would be refused: the check and the creation run under a lock of the server's, one start at a time.
    // It ends with the transaction.
    QSqlDatabase connection = db;
    if (!connection.transaction())
        throw databaseFailure(connection.lastError());
    try {
        run(db, QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {SchemaLockKey});
        check(db, serverName);
        if (!connection.commit())
            throw databaseFailure(connection.lastError());
    } catch (...) {
        connection.rollback();
        throw;
    }
}

namespace {
void check(const QSqlDatabase& db, const QString& serverName)
{
    using ServerSchema::RowIdColumn;
    QStringList wanted;
    for (const TableDefinition& table : tables())
        wanted.append(table.name);
    const QStringList present =
        namesFrom(run(db,
                      QStringLiteral("SELECT table_name FROM information_schema.tables "
                                     "WHERE table_schema = current_schema() AND table_name IN (?, ?, ?, ?)"),
                      {wanted[0], wanted[1], wanted[2], wanted[3]}));
    if (present.isEmpty()) {
        try {
            create(db);
        } catch (const LunarisError& e) {
            // A role with the least rights works in the tables but does not make them.
            if (ServerRights::isMissingRight(e))
                throw ServerRights::administratorNeeded(db.userName(), serverName);
            throw;
        }
        return;
    }
    // Tables made by another program of the family may lack the identity column; without it saving
    // would lose the order of the rows and could not tell the window's rows from others.
    QStringList withoutRowId;
    for (const TableDefinition& table : tables()) {
        if (!present.contains(table.name))
            throw LunarisError(MissingTable, QStringLiteral("In der Datenbank „%1“ fehlt die Tabelle „%2“. "
                                                            "Die Datenbank wird nicht verändert.")
                                                 .arg(serverName, table.name));
        QSqlQuery columns = run(
            db,
            QStringLiteral("SELECT column_name, is_identity = 'YES' OR column_default LIKE 'nextval(%' "
                           "FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = ?"),
            {table.name});
        QStringList fields;
        bool numbersItsRows = false;
        while (columns.next()) {
            fields.append(columns.value(0).toString());
            if (fields.last() == RowIdColumn)
                numbersItsRows = columns.value(1).toBool();
        }
        for (const QString& field : table.fields)
            if (!fields.contains(field))
                throw LunarisError(MissingField,
                                   QStringLiteral("In der Datenbank „%1“ fehlt das Feld „%2“ in der Tabelle „%3“. "
                                                  "Die Datenbank wird nicht verändert.")
                                       .arg(serverName, field, table.name));
        if (!numbersItsRows)
            withoutRowId.append(QStringLiteral("„%1“").arg(table.name));
    }
    if (withoutRowId.isEmpty())
        return;
    const QString tableNames =
        withoutRowId.size() == 1
            ? QStringLiteral("der Tabelle %1").arg(withoutRowId.first())
            : QStringLiteral("den Tabellen %1 und %2")
                  .arg(withoutRowId.mid(0, withoutRowId.size() - 1).join(QLatin1String(", ")), withoutRowId.last());
    throw LunarisError(MissingField, QStringLiteral("In der Datenbank „%1“ fehlt %2 die Identitätsspalte „%3“ "
                                                    "(fortlaufend nummeriert), an der Lunaris die Zeilen und ihre "
                                                    "Reihenfolge erkennt. Die Datenbank wird nicht verändert.")
                                         .arg(serverName, tableNames, RowIdColumn));
}
} // namespace
