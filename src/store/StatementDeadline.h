#pragma once

#include <QSqlDatabase>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Bounds how long the window's thread waits for one statement on the server. A server that hangs
// (stopped, or a path that swallows everything while TCP still answers) never answers, and no timeout
// of the server or of TCP ends that wait. At the deadline the statement is cancelled (libpq's cancel
// request, sent from a thread of its own as it may wait too) and the connection's socket shut down, so
// the waiting call returns at once with a broken connection.
class StatementDeadline {
public:
    using Clock = std::chrono::steady_clock;

    StatementDeadline() = default;
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;

    // From now until disarm(), the connection (opened by the calling thread) is cut at the deadline.
    // Does nothing for a connection of another driver, or where the server library is not found.
    void arm(const QSqlDatabase& db, Clock::time_point deadline);
    // The statement has answered. Returns whether the deadline had cut it.
    bool disarm();

private:
    void watch();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_watcher; // started at the first arm()
    bool m_stopping = false;
    bool m_armed = false;
    bool m_fired = false;
    Clock::time_point m_deadline;
    void* m_cancel = nullptr; // libpq's PGcancel of the armed connection
    qintptr m_socket = -1;
};
