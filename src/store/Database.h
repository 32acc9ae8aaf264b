#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>

class LunarisError;

// The practice database file, shared with the family's appointment planner.
// Opening a missing file creates it with the schema; a file that is not a usable database is
// refused with a German message and never written to.
class Database {
public:
    // Seconds a write waits for a lock held by another program before it gives up.
    static constexpr int BusyTimeoutMs = 5000;

    explicit Database(const QString& filePath, const QString& connectionName = QStringLiteral("lunaris"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& filePath() const { return m_filePath; }
    QSqlDatabase connection() const;

    // Prepares, binds the values in order and runs one statement; throws LunarisError on failure.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;

    // Runs work inside one write transaction: all of it is stored, or nothing when it throws.
    void inTransaction(const std::function<void()>& work) const;

private:
    void create();
    void checkIsDatabaseFile() const;
    void open();
    void checkSchema() const;

    QString m_filePath;
    QString m_connectionName;
};

// A failure of the data layer with its German description.
LunarisError databaseFailure(const QSqlError& error);
// The German description of a data-layer error, as the editors show it.
QString describeDatabaseError(const QSqlError& error);
