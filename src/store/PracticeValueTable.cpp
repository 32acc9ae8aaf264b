#include "store/PracticeValueTable.h"

#include "store/ChangeWatcher.h"
#include "store/Database.h"

#include <QSqlQuery>

QStringList PracticeValueTable::serverDefinition()
{
    return {
        QStringLiteral(R"(CREATE TABLE IF NOT EXISTS "LunarisPraxis" ("BEREICH" text NOT NULL, "SCHLUESSEL" text)"
                       R"( NOT NULL, "WERT" text NOT NULL, PRIMARY KEY ("BEREICH", "SCHLUESSEL")))"),
        // Told on the channel of the shared tables: a workstation follows a changed hour or colour as it follows
        // a changed day.
        QStringLiteral("CREATE OR REPLACE FUNCTION lunaris_praxis_aenderung() RETURNS trigger LANGUAGE plpgsql AS "
                       "$f$ BEGIN PERFORM pg_notify('%1', TG_TABLE_NAME); RETURN NULL; END $f$")
            .arg(QLatin1String(ChangeWatcher::Channel)),
        QStringLiteral(
            R"(CREATE OR REPLACE TRIGGER lunaris_praxis_aenderung AFTER INSERT OR UPDATE OR DELETE OR)"
            R"( TRUNCATE ON "LunarisPraxis" FOR EACH STATEMENT EXECUTE FUNCTION lunaris_praxis_aenderung())"),
    };
}

void PracticeValueTable::ensure(const Database& db)
{
    for (const QString& statement : serverDefinition())
        db.run(statement);
}

bool PracticeValueTable::presentOnServer(const Database& db)
{
    QSqlQuery present = db.run(QStringLiteral(
        "SELECT to_regclass('\"LunarisPraxis\"') IS NOT NULL AND EXISTS (SELECT 1 FROM pg_trigger WHERE "
        "tgname = 'lunaris_praxis_aenderung' AND tgrelid = to_regclass('\"LunarisPraxis\"') AND NOT tgisinternal)"));
    return readNext(present) && present.value(0).toBool();
}

QMap<QString, QString> PracticeValueTable::all() const
{
    QMap<QString, QString> values;
    QSqlQuery q = m_db.run(QStringLiteral(R"(SELECT "BEREICH", "SCHLUESSEL", "WERT" FROM "LunarisPraxis")"));
    while (readNext(q))
        values.insert(keyOf(q.value(0).toString(), q.value(1).toString()), q.value(2).toString());
    return values;
}

void PracticeValueTable::write(const QList<PracticeValue>& values) const
{
    const auto [sql, bound] = upsert(values);
    if (!sql.isEmpty())
        m_db.run(sql, bound);
}

std::pair<QString, QVariantList> PracticeValueTable::upsert(const QList<PracticeValue>& values)
{
    // A key given twice counts with its last value: one statement may change a row only once.
    QMap<std::pair<QString, QString>, QString> unique;
    for (const PracticeValue& v : values)
        unique.insert({v.section, v.key}, v.value);
    if (unique.isEmpty())
        return {};
    // One statement for all: the other workstations never see half of the dialog's values.
    QString sql = QStringLiteral(R"(INSERT INTO "LunarisPraxis" ("BEREICH", "SCHLUESSEL", "WERT") VALUES )");
    QVariantList bound;
    for (auto it = unique.cbegin(); it != unique.cend(); ++it) {
        sql += bound.isEmpty() ? QStringLiteral("(?, ?, ?)") : QStringLiteral(", (?, ?, ?)");
        bound << it.key().first << it.key().second << it.value();
    }
    sql += QStringLiteral(R"( ON CONFLICT ("BEREICH", "SCHLUESSEL") DO UPDATE SET "WERT" = EXCLUDED."WERT")");
    return {sql, bound};
}
