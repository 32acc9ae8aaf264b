#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>

class LunarisError;

// The practice database file, shared with the family's appointment planner.
// Opening a missing file creates it with the schema; a file that is not a usable database (foreign,
// damaged, incomplete, or locked by another program for longer than the busy timeout) is refused
// with a German message and never written to. A file marked read-only is opened for reading only.
class Database {
public:
    // Milliseconds a statement waits for a lock held by another program before it gives up.
    static constexpr int BusyTimeoutMs = 5000;

    explicit Database(const QString& filePath, const QString& connectionName = QStringLiteral("lunaris"),
                      int busyTimeoutMs = BusyTimeoutMs);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& filePath() const { return m_filePath; }
    QSqlDatabase connection() const;
    // True when the file is opened for reading only: every write fails and the file stays as it is.
    bool isReadOnly() const { return m_readOnly; }
    // Changes how long statements wait for another program's lock.
    void setBusyTimeout(int milliseconds);

    // Prepares, binds the values in order and runs one statement; throws LunarisError on failure.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;

    // Runs work inside one write transaction: all of it is stored, or nothing when it throws.
    void inTransaction(const std::function<void()>& work) const;

private:
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
};

// A failure of the data layer with its German description.
LunarisError databaseFailure(const QSqlError& error);
// Moves to the next row of a result; false at its end. Throws LunarisError when reading the row failed.
bool readNext(QSqlQuery& query);
// What a number field's rule says when it refuses a value.
QString numberRuleDescription(const QString& field, bool wholeNumber);
// The German description of a data-layer error, as the editors show it.
QString describeDatabaseError(const QSqlError& error);
