#include "store/TableStamps.h"

#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>

#include <iterator>

namespace {
struct Shared {
    SharedTable table;
    const char* name;
};
constexpr Shared kShared[] = {{SharedTable::Template, "Template"},
                              {SharedTable::Idealtag, "Idealtag"},
                              {SharedTable::Behand, "Behand"},
                              {SharedTable::Stuhl, "Stuhl"}};
constexpr const char* kEvents[] = {"INSERT", "UPDATE", "DELETE"};
constexpr int kTriggerCount = int(std::size(kShared) * std::size(kEvents));

bool present(const QSqlDatabase& connection)
{
    QSqlQuery q(connection);
    if (!q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = '%1'), "
                               "(SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE "
                               "'lunaris_stand_%')")
                    .arg(QLatin1String(TableStamps::Table))) ||
        !q.next())
        return false;
    return q.value(0).toInt() == 1 && q.value(1).toInt() == kTriggerCount;
}

QStringList creation()
{
    const QString table = QLatin1String(TableStamps::Table);
    QStringList statements{
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (TABELLE TEXT PRIMARY KEY, STAND INTEGER NOT NULL DEFAULT 0)")
            .arg(table)};
    for (const Shared& shared : kShared) {
        const QString name = QLatin1String(shared.name);
        statements.append(QStringLiteral("INSERT OR IGNORE INTO %1 (TABELLE) VALUES ('%2')").arg(table, name));
        // Per row, as SQLite's triggers are: a bulk write raises the counter by its rows, which only tells more.
        for (const char* event : kEvents)
            statements.append(QStringLiteral("CREATE TRIGGER IF NOT EXISTS lunaris_stand_%1_%2 AFTER %3 ON %1 BEGIN "
                                             "UPDATE %4 SET STAND = STAND + 1 WHERE TABELLE = '%1'; END")
                                  .arg(name, QString::fromLatin1(event).toLower(), QLatin1String(event), table));
    }
    return statements;
}
} // namespace

SharedTables sharedTableNamed(const QString& name)
{
    for (const Shared& shared : kShared)
        if (name.compare(QLatin1String(shared.name), Qt::CaseInsensitive) == 0)
            return shared.table;
    return {};
}

bool TableStamps::ensure(const Database& db)
{
    if (db.isServer() || db.isReadOnly())
        return false;
    bool ready = false;
    db.withoutWaiting([&] {
        const QSqlDatabase connection = db.connection();
        if (present(connection)) {
            ready = true;
            return;
        }
        // Not through Database::run: a file still being checked refuses the write at once (query_only)
        // instead of waiting for its check, and the next look tries again.
        QSqlQuery q(connection);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return;
        for (const QString& statement : creation()) {
            if (!q.exec(statement)) {
                q.exec(QStringLiteral("ROLLBACK"));
                return;
            }
        }
        ready = q.exec(QStringLiteral("COMMIT"));
        if (!ready)
            q.exec(QStringLiteral("ROLLBACK"));
    });
    return ready;
}

TableStamps::Reading TableStamps::readWithoutWaiting(const Database& db)
{
    Reading reading;
    db.withoutWaiting([&] {
        QSqlQuery q(db.connection());
        if (!q.exec(QStringLiteral("SELECT TABELLE, STAND FROM %1").arg(QLatin1String(Table)))) {
            // SQLite's SQLITE_BUSY and SQLITE_LOCKED: another program holds the file.
            const int code = q.lastError().nativeErrorCode().toInt() & 0xff;
            reading.busy = code == 5 || code == 6;
            return;
        }
        Counters counters;
        while (q.next())
            if (const SharedTables table = sharedTableNamed(q.value(0).toString()); table)
                counters.insert(SharedTable(table.toInt()), q.value(1).toLongLong());
        if (counters.size() == int(std::size(kShared)))
            reading.counters = counters;
    });
    return reading;
}

SharedTables TableStamps::changedBetween(const Counters& before, const Counters& now)
{
    SharedTables changed;
    for (const Shared& shared : kShared)
        if (before.value(shared.table, -1) != now.value(shared.table, -1))
            changed |= shared.table;
    return changed;
}
