#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

#include "store/ConnectionSetting.h"

class LunarisError;

// The practice database file, shared with the family's appointment planner.
// Opening a missing file creates it with the schema; a file that is not a usable database (foreign,
// damaged, incomplete, or locked by another program for longer than the busy timeout) is refused
// with a German message and never written to. A file marked read-only is opened for reading only.
class Database {
public:
    // Milliseconds a statement waits for a lock held by another program before it gives up.
    static constexpr int BusyTimeoutMs = 5000;
    // The number of a failure to reach the database server (at login or when the connection broke).
    static constexpr int ServerUnreachable = 3151;

    explicit Database(const QString& filePath, const QString& connectionName = QStringLiteral("lunaris"),
                      int busyTimeoutMs = BusyTimeoutMs);
    // The practice database on a PostgreSQL server. An empty database gets the tables; one with only
    // some of them is refused unaltered; an unreachable server is reported with the reason.
    explicit Database(const ServerAddress& server, const QString& connectionName = QStringLiteral("lunaris"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file, or for a server "database auf host:port", as messages name it.
    const QString& filePath() const { return m_filePath; }
    bool isServer() const { return m_server.has_value(); }
    // The column that identifies a row and gives the insertion order: rowid in the file, an identity
    // column on the server.
    QString rowIdColumn() const;
    QSqlDatabase connection() const;
    // True when the file is opened for reading only: every write fails and the file stays as it is.
    bool isReadOnly() const { return m_readOnly; }
    // Changes how long statements wait for another program's lock.
    void setBusyTimeout(int milliseconds);

    // The statement as this backend reads it. Statements name tables and fields unquoted, as the file
    // spells them, and rows by rowid; on the server, where unquoted names fold to lower case, the
    // program's table and field names are quoted and rowid becomes the identity column.
    QString sql(const QString& statement) const;

    // Prepares, binds the values in order and runs one statement; throws LunarisError on failure.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;

    // How many values the store binds in one statement: the server's limit there, few in the file.
    int maxBoundValues() const;

    // Runs work inside one write transaction: all of it is stored, or nothing when it throws. Write
    // transactions of all workstations run one after the other.
    void inTransaction(const std::function<void()>& work) const;

private:
    void connectServer() const;
    // After the connection to the server was lost, the next statement connects again.
    void reconnectIfLost() const;
    void create();
    void buildNewFile(const QString& finalPath);
    void checkIsDatabaseFile() const;
    void open();
    void close();
    void checkReadable() const;
    void checkSchema() const;
    void addMissingIndex() const;

    QString m_filePath;
    QString m_connectionName;
    int m_busyTimeoutMs;
    bool m_readOnly = false;
    std::optional<ServerAddress> m_server;
    mutable bool m_serverLost = false;
};

// A failure of the data layer with its German description.
LunarisError databaseFailure(const QSqlError& error);
// Moves to the next row of a result; false at its end. Throws LunarisError when reading the row failed.
bool readNext(QSqlQuery& query);
// What a number field's rule says when it refuses a value.
QString numberRuleDescription(const QString& field, bool wholeNumber);
// The German description of a data-layer error, as the editors show it.
QString describeDatabaseError(const QSqlError& error);
