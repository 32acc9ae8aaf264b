#include "store/StatementDeadline.h"

#include <QLibrary>
#include <QSqlDriver>
#include <QVariant>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace {
// libpq's few functions for this, taken from the library the server driver has already loaded (the
// program needs neither its headers nor a link to it).
struct Libpq {
    using GetCancel = void* (*)(void* conn);
    using Cancel = int (*)(void* cancel, char* errbuf, int errbufsize);
    using FreeCancel = void (*)(void* cancel);
    using Socket = int (*)(const void* conn);
    GetCancel getCancel = nullptr;
    Cancel cancel = nullptr;
    FreeCancel freeCancel = nullptr;
    Socket socket = nullptr;

    bool usable() const { return getCancel && cancel && freeCancel && socket; }

    static const Libpq& get()
    {
        static const Libpq functions = [] {
            Libpq f;
#ifdef Q_OS_WIN
            QLibrary library(QStringLiteral("libpq"));
#else
            QLibrary library(QStringLiteral("pq"), 5);
#endif
            if (!library.load())
                return f;
            f.getCancel = reinterpret_cast<GetCancel>(library.resolve("PQgetCancel"));
            f.cancel = reinterpret_cast<Cancel>(library.resolve("PQcancel"));
            f.freeCancel = reinterpret_cast<FreeCancel>(library.resolve("PQfreeCancel"));
            f.socket = reinterpret_cast<Socket>(library.resolve("PQsocket"));
            return f;
        }();
        return functions;
    }
};

void* connectionHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // The driver's PGconn, named by libpq's struct behind the typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<void* const*>(handle.data());
}
} // namespace

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
        Libpq::get().freeCancel(m_cancel);
}

void StatementDeadline::arm(const QSqlDatabase& db, Clock::time_point deadline)
{
    const Libpq& libpq = Libpq::get();
    void* conn = libpq.usable() ? connectionHandle(db) : nullptr;
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
                Libpq::get().cancel(cancel, ignored, int(sizeof ignored));
                Libpq::get().freeCancel(cancel);
            }).detach();
        }
    }
}
