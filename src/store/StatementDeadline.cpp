#include "store/StatementDeadline.h"

#include "store/LibpqFunctions.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

StatementDeadline::~StatementDeadline()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_watcher.joinable())
        m_watcher.join();
    if (m_cancel)
        LibpqFunctions::get().freeCancel(m_cancel);
}

void StatementDeadline::arm(const QSqlDatabase& db, Clock::time_point deadline)
{
    const LibpqFunctions& libpq = LibpqFunctions::get();
    void* conn = libpq.canCancel() ? libpqConnection(db) : nullptr;
    if (!conn)
        return;
    // Taken here, by the connection's own thread: the cancel object is what another thread may use.
    void* cancel = libpq.getCancel(conn);
    const qintptr socket = libpq.socket(conn);
    {
        std::lock_guard lock(m_mutex);
        if (m_cancel)
            libpq.freeCancel(m_cancel);
        m_cancel = cancel;
        m_socket = socket;
        m_deadline = deadline;
        m_armed = true;
        m_fired = false;
        if (!m_watcher.joinable())
            m_watcher = std::thread([this] { watch(); });
    }
    m_changed.notify_all();
}

bool StatementDeadline::disarm()
{
    std::lock_guard lock(m_mutex);
    m_armed = false;
    return std::exchange(m_fired, false);
}

void StatementDeadline::watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_armed) {
            m_changed.wait(lock);
            continue;
        }
        if (m_changed.wait_until(lock, m_deadline) != std::cv_status::timeout || !m_armed || m_stopping ||
            Clock::now() < m_deadline)
            continue;
        m_armed = false;
        m_fired = true;
        // The socket first: the waiting statement returns now, whatever becomes of the cancel request.
        if (m_socket >= 0) {
#ifdef Q_OS_WIN
            ::shutdown(SOCKET(m_socket), SD_BOTH);
#else
            ::shutdown(int(m_socket), SHUT_RDWR);
#endif
        }
        // The cancel request goes over a new connection and waits for the server's answer, which a hung
        // server or a dead path never gives: it runs on its own, and the server ends the statement when it
        // can (a stopped server once it runs again).
        if (void* cancel = std::exchange(m_cancel, nullptr)) {
            std::thread([cancel] {
                char ignored[256];
                LibpqFunctions::get().cancel(cancel, ignored, int(sizeof ignored));
                LibpqFunctions::get().freeCancel(cancel);
            }).detach();
        }
    }
}
