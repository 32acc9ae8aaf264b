#pragma once

#include <QMutex>
#include <QObject>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QThread>

// Checks the database file (PRAGMA quick_check) on a read connection of its own in a worker thread.
// The whole file, or only the given tables with their indexes. The file is shared with the appointment
// planner, whose years of appointments Lunaris never reads: the start checks only Lunaris's own tables,
// and the whole file is read while the user already works. Lives in the thread that made it; the
// worker's connection never leaves the worker.
class IntegrityCheck : public QObject {
    Q_OBJECT
public:
    enum class Outcome { NotStarted, Running, Passed, Damaged, Unreadable };

    // tables: empty for the whole file. priority: the worker's; the start's check runs beside the
    // building of the window, the background check only on what the user leaves over.
    IntegrityCheck(const QString& filePath, const QString& connectionName, int busyTimeoutMs,
                   const QStringList& tables = {}, QThread::Priority priority = QThread::LowPriority);
    // Stops a running check and waits for the worker: its connection has to be closed before the program ends.
    ~IntegrityCheck() override;

    Outcome outcome() const { return m_outcome; }
    // Why the file could not be read (Unreadable): a lock held longer than the busy timeout, a read error.
    const QSqlError& error() const { return m_error; }

    // Starts the check unless it is running or has passed or found damage; an unreadable file is read again.
    void start();
    // Starts the check shortly after the event loop has started, so that it does not compete with showing the window.
    void startSoon();
    // Starts the check if need be and waits for its outcome, handling the window system's other events
    // (painting, timers) but no input meanwhile.
    void waitForOutcome();
    // Starts a check never started and waits for it without an event loop.
    void finishNow();
    // Ends a running check as soon as the engine allows and waits for the worker; a check never started
    // stays so. The outcome is then whatever the check had reached (Unreadable when it was stopped).
    void cancel();

signals:
    // The check has ended; outcome() tells how. Emitted in the thread that owns the check.
    void finished();

private:
    struct Result {
        Outcome outcome = Outcome::Unreadable;
        QSqlError error;
    };
    Result checkFile();
    // Tells cancel() the worker's open connection (null once it is closed); false once the check is to stop.
    bool publishConnection(void* handle, const QString& engineVersion);
    void takeResult();

    QString m_filePath;
    QString m_connectionName;
    int m_busyTimeoutMs;
    QStringList m_tables;
    QThread::Priority m_priority;
    Outcome m_outcome = Outcome::NotStarted;
    QSqlError m_error;
    QThread* m_worker = nullptr;
    Result m_result;          // written by the worker, read once it has ended
    QMutex m_connectionMutex; // guards the two below between the worker and cancel()
    void* m_connection = nullptr;
    QString m_engineVersion;
    bool m_cancelled = false;
};
