#include "store/PracticeTransfer.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/PracticeValueTable.h"
#include "store/ServerConnection.h"
#include "store/ServerRights.h"
#include "store/ServerSchema.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QUuid>
#include <functional>

namespace {
constexpr int CannotOpen = 3044;
constexpr int ConnectionFailed = 3151;
constexpr int NotEmpty = 3022;
constexpr int CountMismatch = 3197;
constexpr int InUse = 3045;
// The tables' lock is asked for in tries this long, so that a stop is heard while another workstation
// holds it; after Database::BusyTimeoutMs of tries in all the copy gives up.
constexpr int LockTryMs = 200;
constexpr int Cancelled = PracticeTransfer::CancelledNumber;
// Rows per INSERT: one round trip for many rows, well below the server's limit of bound values.
constexpr int RowsPerStatement = 500;

QSqlQuery exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
               const std::function<LunarisError(const QSqlError&)>& failure);

struct Table {
    const char* name;
    QStringList fields;
    // Lunaris's own table of the days' versions: a file of an older version, or the planner's, may lack it,
    // and the server may hold versions of days deleted there; they stay, the file's are added after them.
    bool own = false;
};

const QList<Table>& tablesInOrder()
{
    static const QList<Table> tables = {
        {"Template", {"IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT"}},
        {"Idealtag", {"IDEALTAG"}},
        {"Behand", {"BEH", "TEXT", "DAUER", "DR_START", "DR_DAUER", "DR_START2", "DR_DAUER2", "HON"}},
        {"Stuhl", {"STUHL", "TEXT"}},
        {"IdealtagVersion", {"IDEALTAG", "ZEIT", "ARBEITSPLATZ", "BENUTZER", "ZEILEN", "GELOESCHT"}, true},
    };
    return tables;
}

bool fileHasTable(const QSqlDatabase& file, const QString& table,
                  const std::function<LunarisError(const QSqlError&)>& failure)
{
    QSqlQuery q =
        exec(file, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"), {table}, failure);
    return q.next();
}

// Lunaris's own tables on the server (the versions, the practice's values), made when missing: looked at first,
// so that a role that may not create anything copies into tables an administrator made.
void ensureOwnTables(const QSqlDatabase& server, const QString& serverName,
                     const std::function<LunarisError(const QSqlError&)>& failure)
{
    QSqlQuery present = exec(server,
                             QStringLiteral("SELECT to_regclass('\"IdealtagVersion\"') IS NOT NULL, "
                                            "to_regclass('\"LunarisPraxis\"') IS NOT NULL"),
                             {}, failure);
    if (!present.next())
        throw failure(present.lastError());
    QStringList statements;
    if (!present.value(0).toBool())
        statements += DayVersionTable::serverDefinition();
    if (!present.value(1).toBool())
        statements += PracticeValueTable::serverDefinition();
    if (statements.isEmpty())
        return;
    exec(server, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(Database::OwnTablesLockKey), {}, failure);
    try {
        for (const QString& statement : std::as_const(statements))
            exec(server, statement, {}, failure);
    } catch (const LunarisError& e) {
        if (ServerRights::isMissingRight(e))
            throw ServerRights::administratorNeeded(server.userName(), serverName);
        throw;
    }
}

QString uniqueName(const char* purpose)
{
    return QStringLiteral("lunaris-%1-%2")
        .arg(QLatin1String(purpose), QUuid::createUuid().toString(QUuid::WithoutBraces));
}

QSqlQuery exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
               const std::function<LunarisError(const QSqlError&)>& failure)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The server prepares only queries and row changes: a statement without values runs directly.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            throw failure(query.lastError());
        return query;
    }
    if (!query.prepare(sql))
        throw failure(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw failure(query.lastError());
    return query;
}

qint64 countRows(const QSqlDatabase& db, const QString& table,
                 const std::function<LunarisError(const QSqlError&)>& failure)
{
    QSqlQuery q = exec(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(ServerSchema::quoted(table)), {}, failure);
    return q.next() ? q.value(0).toLongLong() : 0;
}

// Inserts the rows (values in field order, row after row) with one statement.
bool insertRows(QSqlQuery& query, const QString& insertHead, const QString& rowMarks, int rows,
                const QVariantList& values)
{
    query.setForwardOnly(true);
    if (!query.prepare(insertHead + QStringList(rows, rowMarks).join(QLatin1String(", "))))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

// The server refused a row of the file: which one, with its values, and why.
LunarisError refusedRow(const QString& table, const QStringList& fields, qint64 rowNumber, const QVariantList& values,
                        const QSqlError& error)
{
    QStringList shown;
    for (qsizetype i = 0; i < fields.size(); ++i)
        shown.append(QStringLiteral("%1 „%2“").arg(fields[i], values.value(i).toString()));
    const LunarisError reason = databaseFailure(error);
    return LunarisError(reason.number(),
                        QStringLiteral("Der Server hat die Zeile %1 der Tabelle „%2“ abgelehnt (%3): %4\r"
                                       "Es wurde nichts übertragen.")
                            .arg(rowNumber)
                            .arg(table, shown.join(QLatin1String(", ")), reason.description()));
}

LunarisError cancelled()
{
    return LunarisError(Cancelled, QStringLiteral("Die Übertragung wurde abgebrochen. Es wurde nichts übertragen."));
}

// Takes the lock under which no other workstation writes while the tables are checked and filled. A save
// of another workstation holds it for a moment; one held longer than a save takes is not waited for.
void lockTables(const QSqlDatabase& server, const PracticeTransfer::Progress& progress,
                const std::function<LunarisError(const QSqlError&)>& failure)
{
    exec(server, QStringLiteral("SET LOCAL lock_timeout = %1").arg(LockTryMs), {}, failure);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        exec(server, QStringLiteral("SAVEPOINT sperre"), {}, failure);
        QSqlQuery lock(server);
        if (lock.exec(QStringLiteral(R"(LOCK TABLE "Template", "Idealtag", "Behand", "Stuhl" IN EXCLUSIVE MODE)")))
            break;
        if (ServerConnection::classify(lock.lastError()) != ServerConnection::Failure::Busy)
            throw failure(lock.lastError());
        exec(server, QStringLiteral("ROLLBACK TO SAVEPOINT sperre"), {}, failure);
        if (progress && !progress(0, 0))
            throw cancelled();
        if (waited.elapsed() >= Database::BusyTimeoutMs)
            throw LunarisError(InUse,
                               QStringLiteral("Die Tabellen auf dem Server werden gerade von einem anderen "
                                              "Arbeitsplatz benutzt. Bitte versuchen Sie es gleich noch einmal."));
    }
    exec(server, QStringLiteral("RELEASE SAVEPOINT sperre"), {}, failure);
    exec(server, QStringLiteral("SET LOCAL lock_timeout = %1").arg(Database::BusyTimeoutMs), {}, failure);
}

// One connection for the length of the copy, removed again afterwards.
class ScopedConnection {
public:
    explicit ScopedConnection(QString name) : m_name(std::move(name)) {}
    ~ScopedConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    const QString& name() const { return m_name; }

private:
    QString m_name;
};
} // namespace

PracticeTransfer::PracticeTransfer(QString filePath, ServerAddress server, QString password,
                                   QList<PracticeValue> practiceValues)
    : m_filePath(std::move(filePath)), m_server(std::move(server)), m_password(std::move(password)),
      m_practiceValues(std::move(practiceValues))
{
}

QList<PracticeTransfer::TableCount> PracticeTransfer::run(const Progress& progress) const
{
    if (!QFileInfo(m_filePath).isFile())
        throw LunarisError(CannotOpen, QStringLiteral("Die Datei „%1“ gibt es nicht.").arg(m_filePath));

    const ScopedConnection fileConnection(uniqueName("quelle"));
    QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), fileConnection.name());
    file.setDatabaseName(m_filePath);
    file.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(Database::BusyTimeoutMs));
    const auto fileFailure = [this](const QSqlError& error) {
        return LunarisError(CannotOpen, QStringLiteral("Die Datei „%1“ kann nicht gelesen werden: %2")
                                            .arg(m_filePath, describeDatabaseError(error)));
    };
    if (!file.open())
        throw fileFailure(file.lastError());

    const ScopedConnection serverConnection(uniqueName("ziel"));
    const ServerConnection::Login login = ServerConnection::login(m_server, serverConnection.name(), m_password);
    QSqlDatabase server = login.db;
    if (!login.ok())
        throw LunarisError(ConnectionFailed, login.failure);
    // A lost connection is reported as such; anything else the server refused is named as its refusal.
    const auto serverFailure = [this](const QSqlError& error) {
        switch (ServerConnection::classify(error)) {
        case ServerConnection::Failure::Unreachable:
        case ServerConnection::Failure::ServerGoingAway:
            return LunarisError(ConnectionFailed, ServerConnection::describeFailure(error, m_server));
        default:
            return databaseFailure(error);
        }
    };
    const QString serverName = QStringLiteral("%1 auf %2").arg(m_server.database, m_server.displayName());
    ServerSchema::ensure(server, serverName);

    // The file is read in one transaction too, so the copy is of one consistent state.
    if (!file.transaction())
        throw fileFailure(file.lastError());
    if (!server.transaction())
        throw serverFailure(server.lastError());
    QList<TableCount> counts;
    try {
        // No other workstation may write while the tables are checked and filled; and no statement waits
        // longer than a workstation's statement may.
        exec(server, QStringLiteral("SET LOCAL statement_timeout = %1").arg(Database::StatementTimeoutMs), {},
             serverFailure);
        lockTables(server, progress, serverFailure);
        ensureOwnTables(server, serverName, serverFailure);
        QList<Table> tables;
        for (const Table& table : tablesInOrder())
            if (!table.own || fileHasTable(file, QString::fromLatin1(table.name), fileFailure))
                tables.append(table);
        for (const Table& table : std::as_const(tables)) {
            const QString name = QString::fromLatin1(table.name);
            if (table.own)
                continue;
            if (const qint64 rows = countRows(server, name, serverFailure); rows > 0)
                throw LunarisError(NotEmpty,
                                   QStringLiteral("Die Tabelle „%1“ in der Datenbank „%2“ enthält schon %3 Zeilen. "
                                                  "Es wurde nichts übertragen.")
                                       .arg(name, serverName)
                                       .arg(rows));
        }
        qint64 total = 0;
        for (const Table& table : std::as_const(tables))
            total += countRows(file, QString::fromLatin1(table.name), fileFailure);
        qint64 done = 0;
        qint64 doneBefore = 0;
        if (progress && !progress(0, total))
            throw cancelled();
        for (const Table& table : std::as_const(tables)) {
            const QString name = QString::fromLatin1(table.name);
            const qint64 onServerBefore = table.own ? countRows(server, name, serverFailure) : 0;
            QStringList quotedFields;
            for (const QString& field : table.fields)
                quotedFields.append(ServerSchema::quoted(field));
            const QString rowMarks = QLatin1Char('(') +
                                     QStringList(table.fields.size(), QStringLiteral("?")).join(QLatin1String(", ")) +
                                     QLatin1Char(')');
            const QString insertHead = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                                           .arg(ServerSchema::quoted(name), quotedFields.join(QLatin1String(", ")));
            QSqlQuery source = exec(file,
                                    QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                        .arg(quotedFields.join(QLatin1String(", ")), ServerSchema::quoted(name)),
                                    {}, fileFailure);
            qint64 copied = 0;
            QVariantList values;
            int rowsInBatch = 0;
            const auto flush = [&] {
                if (rowsInBatch == 0)
                    return;
                // A savepoint, so that a refused batch can be taken back and its rows tried one by one.
                exec(server, QStringLiteral("SAVEPOINT zeilen"), {}, serverFailure);
                QSqlQuery insert(server);
                if (!insertRows(insert, insertHead, rowMarks, rowsInBatch, values)) {
                    const QSqlError error = insert.lastError();
                    const LunarisError failure = serverFailure(error);
                    if (failure.number() == ConnectionFailed || failure.number() == Database::ServerUnreachable)
                        throw failure;
                    exec(server, QStringLiteral("ROLLBACK TO SAVEPOINT zeilen"), {}, serverFailure);
                    const int fields = int(table.fields.size());
                    for (int row = 0; row < rowsInBatch; ++row) {
                        const QVariantList rowValues = values.mid(row * fields, fields);
                        QSqlQuery single(server);
                        if (!insertRows(single, insertHead, rowMarks, 1, rowValues))
                            throw refusedRow(name, table.fields, copied - rowsInBatch + row + 1, rowValues,
                                             single.lastError());
                    }
                    throw failure;
                }
                exec(server, QStringLiteral("RELEASE SAVEPOINT zeilen"), {}, serverFailure);
                values.clear();
                rowsInBatch = 0;
                done += RowsPerStatement;
                if (progress && !progress(qMin(done, total), total))
                    throw cancelled();
            };
            while (source.next()) {
                for (int i = 0; i < table.fields.size(); ++i)
                    values.append(source.value(i));
                ++copied;
                if (++rowsInBatch == RowsPerStatement)
                    flush();
            }
            if (source.lastError().isValid())
                throw fileFailure(source.lastError());
            flush();
            done = doneBefore + copied;
            doneBefore = done;
            if (progress && !progress(done, total))
                throw cancelled();
            const qint64 onServer = countRows(server, name, serverFailure) - onServerBefore;
            if (onServer != copied)
                throw LunarisError(CountMismatch, QStringLiteral("In der Tabelle „%1“ kamen %2 von %3 Zeilen an. "
                                                                 "Es wurde nichts übertragen.")
                                                      .arg(name)
                                                      .arg(onServer)
                                                      .arg(copied));
            counts.append({name, onServer});
        }
        if (tables.size() < tablesInOrder().size())
            counts.append({QStringLiteral("IdealtagVersion"), 0});
        // The practice's values as this workstation kept them: they are the practice's now, for every workstation.
        if (const auto [upsert, values] = PracticeValueTable::upsert(m_practiceValues); !upsert.isEmpty())
            exec(server, upsert, values, serverFailure);
        counts.append({PracticeValueTable::Name, countRows(server, PracticeValueTable::Name, serverFailure)});
        if (!server.commit())
            throw serverFailure(server.lastError());
    } catch (...) {
        server.rollback();
        file.rollback();
        throw;
    }
    file.rollback(); // only read
    return counts;
}
