#pragma once

#include <QObject>
#include <QSqlError>
#include <QString>

class QThread;

// Checks the whole database file (PRAGMA quick_check) on a read connection of its own in a worker
// thread. The file is shared with the appointment planner, whose years of appointments Lunaris never
// reads: the start checks only Lunaris's own tables, and this check reads the rest while the user
// already works. Lives in the thread that made it; the worker's connection never leaves the worker.
class IntegrityCheck : public QObject {
    Q_OBJECT
public:
    enum class Outcome { NotStarted, Running, Passed, Damaged, Unreadable };

    IntegrityCheck(const QString& filePath, const QString& connectionName, int busyTimeoutMs);
    // Waits for a running check: the worker's connection has to be closed before the program ends.
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
    // Starts a check never started and waits for it without an event loop (when the file is closed).
    void finishNow();

signals:
    // The check has ended; outcome() tells how. Emitted in the thread that owns the check.
    void finished();

private:
    struct Result {
        Outcome outcome = Outcome::Unreadable;
        QSqlError error;
    };
    static Result checkFile(const QString& filePath, const QString& connectionName, int busyTimeoutMs);
    void takeResult();

    QString m_filePath;
    QString m_connectionName;
    int m_busyTimeoutMs;
    Outcome m_outcome = Outcome::NotStarted;
    QSqlError m_error;
    QThread* m_worker = nullptr;
    Result m_result; // written by the worker, read once it has ended
};
