#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <any>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "store/ChangeStamp.h"
#include "store/ConnectionSetting.h"

class IntegrityCheck;
class LunarisError;
class ServerReconnector;
class StatementDeadline;

// The practice database file, shared with the family's appointment planner.
// Opening a missing file creates it with the schema; a file that is not a usable database (foreign,
// damaged, incomplete, or locked by another program for longer than the busy timeout) is refused
// with a German message and never written to. A file marked read-only is opened for reading only.
// Opening checks Lunaris's own tables (Template, the large one, possibly beside the building of the
// window: confirmOwnTables(); a very large Template only with the rest of the file); the rest of the
// file is checked in the background (integrityCheck()), and nothing is written before both checks have
// passed.
class Database {
public:
    // Milliseconds a statement waits for a lock held by another program before it gives up.
    static constexpr int BusyTimeoutMs = 5000;
    // The failure number of a damaged file.
    static constexpr int DamagedFile = 3049;
    // The number of a failure to reach the database server (at login or when the connection broke).
    static constexpr int ServerUnreachable = 3151;
    // Milliseconds a save leaves for its answer's way back: the server writes it only until this long before
    // the workstation gives up.
    static constexpr int AnswerMarginMs = 1000;
    // Milliseconds a statement on the server may run before the server stops it. The workstation waits no
    // longer either, connection and retry included: then it cancels the statement and drops the connection.
    static constexpr int StatementTimeoutMs = 15000;
    // A loss of the connection that shows within this many milliseconds of the statement (a restarted
    // server, a cut connection) is met at once by a new login; one that shows later (a dead path) is not.
    static constexpr int QuickLossMs = 1000;
    // The advisory lock under which Lunaris's own tables are created on the server.
    static constexpr qint64 OwnTablesLockKey = 0x4c756e61726973; // "Lunaris"
    // Up to this many Template rows (about 13 ms of checking, hidden by the building of the window)
    // Template is checked before the window; a larger one only by the background check of the whole file.
    static constexpr qint64 OwnCheckBeforeWindowRows = 100000;

    // When the check of Template, the program's one large table, is complete: before the constructor
    // returns, or (Overlapped) in a worker of its own while the caller builds its window, until
    // confirmOwnTables(). The other tables are checked before the constructor returns either way.
    enum class StartCheck { Complete, Overlapped };

    explicit Database(const QString& filePath, const QString& connectionName = QStringLiteral("lunaris"),
                      int busyTimeoutMs = BusyTimeoutMs, StartCheck startCheck = StartCheck::Complete);
    // The practice database on a PostgreSQL server. An empty database gets the tables; one with only
    // some of them is refused unaltered; an unreachable server is reported with the reason.
    explicit Database(const ServerAddress& server, const QString& connectionName = QStringLiteral("lunaris"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file, or for a server "database auf host:port", as messages name it.
    const QString& filePath() const { return m_filePath; }
    bool isServer() const { return m_server.has_value(); }
    // The server this database is on; none for the file.
    const std::optional<ServerAddress>& serverAddress() const { return m_server; }
    // The column that identifies a row and gives the insertion order: rowid in the file, an identity
    // column on the server.
    QString rowIdColumn() const;
    QSqlDatabase connection() const;
    // True when the file is opened for reading only: every write fails and the file stays as it is; on
    // the server, when the role may not write every table of the program: every write is refused
    // before it is sent (awaitWritable()).
    bool isReadOnly() const { return m_readOnly; }
    // Why nothing can be written, for the status bar, while the program stays open for viewing and
    // printing: a role that may only read, or a file whose check found damage. Empty when writes are
    // possible (the file's check may still be running: a write waits for it).
    QString readOnlyReason() const;
    // Whether the connection to the server is encrypted (TLS); false for the file.
    bool isEncrypted() const { return m_encrypted; }
    // Changes how long statements wait for another program's lock.
    void setBusyTimeout(int milliseconds);

    // The statement as this backend reads it. Statements name tables and fields unquoted, as the file
    // spells them, and rows by rowid; on the server, where unquoted names fold to lower case, the
    // program's table and field names are quoted and rowid becomes the identity column.
    QString sql(const QString& statement) const;

    // Prepares, binds the values in order and runs one statement; throws LunarisError on failure.
    // A statement that may write waits for awaitWritable() first.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;
    // The same, but on the server the window's events go on while the answer is awaited (user input waits
    // for it, the wait feedback shows a long one): for the statements a user starts and a network may hold up
    // (a save, opening a day, the list of days). Within the same bound, in one round trip.
    QSqlQuery runAwaited(const QString& sql, const QVariantList& values = {}) const;
    // True while such a statement awaits its answer: nothing else may use the connection meanwhile, so
    // whatever a timer or a notification would ask waits until it is false (other statements are refused).
    bool answerPending() const { return m_answerPending; }
    // The number of the failure of a statement sent while another one awaits its answer.
    static constexpr int ConnectionBusy = 3218;

    // How many values the store binds in one statement: the server's limit there, few in the file.
    int maxBoundValues() const;

    // Waits for the start's check of Template; throws LunarisError as the constructor does for damage
    // found there (the same message each time it is called). Until it has passed nothing is written;
    // reads meanwhile are meant for the small tables the window is built from. Schedules the background
    // check of the whole file (half a second later; a write starts it at once).
    void confirmOwnTables() const;

    // The background check of the whole file; null for a file this program has just created.
    IntegrityCheck* integrityCheck() const { return m_check.get(); }
    // Waits until the file may be written: the check of the whole file has passed. Throws LunarisError
    // with the damage message when it found damage anywhere (the file then stays as it is), or with the
    // reason when the file could not be read twice in a row.
    void awaitWritable() const;
    // Told true before awaitWritable() waits for the check, or a statement's answer has been awaited for a
    // while, and false after (busy pointer, and the notice for the status bar).
    void setWaitFeedback(std::function<void(bool waiting, const QString& notice)> feedback)
    {
        m_waitFeedback = std::move(feedback);
    }

    // Runs work inside one write transaction: all of it is stored, or nothing when it throws. Write
    // transactions of all workstations run one after the other.
    // When the connection to the server is lost while COMMIT waits for its answer, the work may have been
    // stored or not: storedAfterAll, asked on a new connection once the lost transaction has ended, tells
    // which (true: it was stored, and nothing is reported). Without it such a loss is reported as a failure.
    void inTransaction(const std::function<void()>& work, const std::function<bool()>& storedAfterAll = {}) const;

    // Runs work, one statement that writes, in autocommit (the server's save function): the statement is not
    // tried again on a new connection, as it may have been written. When the connection is lost before its
    // whole answer arrived, storedAfterAll decides as in inTransaction().
    void writeAlone(const std::function<void()>& work, const std::function<bool()>& storedAfterAll) const;
    // Whether the server has the function that saves a day in one statement (ServerSchema::SaveFunction): made
    // when a role that may create it connects; without it a save is a transaction of four statements.
    bool hasSaveFunction() const { return m_saveFunction; }
    // The latest moment, in the server's clock, at which a statement sent now may still write: the end of
    // its bound, less the answer's way back. The workstation has given up by then, and a write that arrives
    // later (held on a dead path, or behind a lock) must not land. Null while the offset between the
    // workstation's clock and the server's is unknown (measured at each login).
    QDateTime serverDeadline() const;
    // The server's clock as a statement read it just now (milliseconds since 1970): the offset follows it, as
    // the workstation's clock may have been set since the login.
    void serverClockRead(qint64 serverMsSinceEpoch) const;
    // The workstation's clock that the offset is measured from, from the next login on (tests: one that is off).
    void setWorkstationClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // The file's change stamp now (see ChangeStamp); invalid on the server.
    ChangeStamp changeStamp() const;
    // The same without waiting for another program's lock on the file: invalid while one holds it.
    ChangeStamp changeStampWithoutWaiting() const;
    // Runs work whose statements fail at once, instead of waiting, while another program holds the file.
    void withoutWaiting(const std::function<void()>& work) const;

    // Told false when the connection to the server was found lost and true when it is back (the status
    // bar's server panel). Never called for the file.
    void setConnectionObserver(std::function<void(bool connected)> observer)
    {
        m_connectionObserver = std::move(observer);
    }
    // While the connection is lost: whole seconds until the next try to reach the server, 0 while one runs.
    void setRetryObserver(std::function<void(int seconds)> observer) { m_retryObserver = std::move(observer); }
    // Called after a new connection replaced a lost one (subscriptions are per connection).
    void setReconnectedHandler(std::function<void()> handler) { m_reconnected = std::move(handler); }
    // While the connection is lost, every statement fails at once without touching the network, and the
    // server is tried again in the background; the connection comes back by itself once it answers.
    bool connectionLost() const { return m_serverLost; }
    // The connection was found closed under the program (the driver closes it when the server goes away).
    void noticeClosedConnection() const;
    // A read the window repeats at every edit step (the treatments), kept under the name of the table it
    // reads: while the server is away its last answer is given instead of a failure, so that editing goes on;
    // other workstations' changes cannot be heard meanwhile anyway, and the return of the connection looks at
    // what was missed. While the connection hears the server's change notifications, the last answer is given
    // without asking the server until a notification for its table, an own write or a loss says otherwise: an
    // edit step never waits on the network, not even on a path that has just died unnoticed.
    template <class T> T readOrLastKnown(const QByteArray& key, const std::function<T()>& read) const;
    // Told by the change notifications' listener: true once the connection listens, false when it stops.
    void setChangesHeard(bool heard) const;
    // A notification for `table` (empty: for any table) arrived: its kept read is asked anew.
    void forgetRead(const QByteArray& table) const;

private:
    // A login and the connection's settings. With a deadline (a statement waiting to be tried again), the
    // login and the settings end at it; without one, the settings get a statement's bound after the login.
    void connectServer(std::optional<std::chrono::steady_clock::time_point> deadline = {}) const;
    void ensureOwnServerTables() const;
    void ensureSaveFunction() const;
    bool lostConnection(const QSqlError& error) const;
    void setServerLost(bool lost) const;
    // A new connection made now, on this thread: after a loss that showed at once, or once the background
    // try has reached the server.
    void reconnectNow(std::optional<std::chrono::steady_clock::time_point> deadline = {}) const;
    void serverReached() const;
    LunarisError awayFailure() const;
    // The statement's bound has passed without an answer (the connection is dropped).
    LunarisError noAnswerFailure() const;
    // The workstation's clock now, in milliseconds since 1970.
    qint64 workstationMs() const;
    QSqlQuery runStatement(const QString& sql, const QVariantList& values, bool awaited) const;
    // awaited: the answer is awaited in an event loop until the deadline (see runAwaited()).
    QSqlError execute(QSqlQuery& query, const QString& sql, const QVariantList& values, bool awaited,
                      std::chrono::steady_clock::time_point deadline) const;
    // After COMMIT's answer was lost: whether the transaction was stored after all (see inTransaction()).
    bool commitStoredAfterAll(const std::function<bool()>& storedAfterAll, const LunarisError& lost) const;
    bool storedAfterAllOnNewConnection(const std::function<bool()>& storedAfterAll) const;
    void create();
    void buildNewFile(const QString& finalPath);
    void checkIsDatabaseFile() const;
    void open();
    void close();
    void checkReadable() const;
    void checkSchema() const;
    void checkTable(const QString& table) const;
    void checkOwnTables(StartCheck startCheck);
    qint64 templateRowsEstimate() const;
    bool ownTablesPassed() const;
    bool damageFound() const;
    void startIntegrityCheck();
    // Once the whole file has passed: writes are allowed, and an older file gets its index.
    void settleIntegrityCheck() const;
    void addMissingIndex() const;

    QString m_filePath;
    QString m_connectionName;
    // The connection in use: on the server each login has a name of its own, the connection's name with "#" and a
    // number (one given up at its deadline still ends on its own thread; other names count with "-"), on the file
    // it is the connection's name.
    mutable QString m_liveName;
    mutable int m_logins = 0;
    int m_busyTimeoutMs;
    bool m_readOnly = false;
    mutable bool m_encrypted = false;
    std::unique_ptr<IntegrityCheck> m_ownTablesCheck; // Template and its index, at the start; null when too large
    std::unique_ptr<IntegrityCheck> m_check;
    mutable bool m_checkScheduled = false;
    // False until the whole file has passed its check; until then the connection refuses every write.
    mutable bool m_writable = true;
    std::function<void(bool, const QString&)> m_waitFeedback;
    std::optional<ServerAddress> m_server;
    mutable bool m_serverLost = false;
    // The loss showed at once: the next statement may log in again before the background tries.
    mutable bool m_quickLoss = false;
    // Why the server is away, in German, as a statement meanwhile reports it.
    mutable QString m_awayReason;
    std::unique_ptr<StatementDeadline> m_deadline;
    std::unique_ptr<ServerReconnector> m_reconnector;
    std::function<void(int)> m_retryObserver;
    mutable QHash<QByteArray, std::any> m_lastKnown;
    // The kept reads that no notification, own write or loss has made doubtful since they were read.
    mutable QSet<QByteArray> m_current;
    mutable bool m_changesHeard = false;
    mutable bool m_transactionOpen = false;
    // A statement runs whose loss leaves it unknown whether it was written: it is not tried again.
    mutable bool m_writingAlone = false;
    // A save and the look at what it stored after a lost answer (with their new logins) end by this together.
    mutable std::optional<std::chrono::steady_clock::time_point> m_saveDeadline;
    mutable bool m_saveFunction = false;
    std::function<QDateTime()> m_clock;
    // The server's clock less the workstation's, in milliseconds; none when the login could not measure it.
    mutable std::optional<qint64> m_serverClockOffsetMs;
    mutable bool m_answerPending = false;
    // The server process of the connection and when it started (the process number alone may be reused).
    mutable qint64 m_backendPid = 0;
    mutable QString m_backendStart;
    // Statements of this connection that may have written (the file's data version ignores them).
    mutable qint64 m_ownWrites = 0;
    // The server's statements, prepared once per connection, by their text.
    static constexpr int MaxPreparedStatements = 64;
    mutable QHash<QString, QSqlQuery> m_prepared;
    std::function<void(bool)> m_connectionObserver;
    std::function<void()> m_reconnected;
};

template <class T> T Database::readOrLastKnown(const QByteArray& key, const std::function<T()>& read) const
{
    if ((m_serverLost || m_answerPending || m_current.contains(key)) && m_lastKnown.contains(key))
        return std::any_cast<T>(m_lastKnown.value(key));
    try {
        T value = read();
        if (isServer()) {
            m_lastKnown.insert(key, value);
            if (m_changesHeard && !m_serverLost)
                m_current.insert(key);
        }
        return value;
    } catch (...) {
        // The read that found the server away.
        if (m_serverLost && m_lastKnown.contains(key))
            return std::any_cast<T>(m_lastKnown.value(key));
        throw;
    }
}

// A failure of the data layer with its German description.
LunarisError databaseFailure(const QSqlError& error);
// Moves to the next row of a result; false at its end. Throws LunarisError when reading the row failed.
bool readNext(QSqlQuery& query);
// What a number field's rule says when it refuses a value.
QString numberRuleDescription(const QString& field, bool wholeNumber);
// The German description of a data-layer error, as the editors show it.
QString describeDatabaseError(const QSqlError& error);
