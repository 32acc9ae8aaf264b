#include "store/IntegrityCheck.h"

#include "store/SqliteInterrupt.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

#include <algorithm>

namespace {
// A statement waits for another program's lock in slices of this many milliseconds, so that a stop is
// heard between them: the engine's own wait for a lock cannot be interrupted.
constexpr int LockWaitSliceMs = 100;
} // namespace

IntegrityCheck::IntegrityCheck(const QString& filePath, const QString& connectionName, int busyTimeoutMs,
                               const QStringList& tables, QThread::Priority priority)
    : m_filePath(filePath), m_connectionName(connectionName), m_busyTimeoutMs(busyTimeoutMs), m_tables(tables),
      m_priority(priority)
{
}

IntegrityCheck::~IntegrityCheck()
{
    cancel();
}

void IntegrityCheck::start()
{
    if (m_outcome != Outcome::NotStarted && m_outcome != Outcome::Unreadable)
        return;
    m_outcome = Outcome::Running;
    {
        const QMutexLocker lock(&m_connectionMutex);
        m_cancelled = false;
    }
    m_worker = QThread::create([this] { m_result = checkFile(); });
    // Queued to this object's thread: the outcome changes only there.
    connect(m_worker, &QThread::finished, this, &IntegrityCheck::takeResult);
    m_worker->start(m_priority);
}

void IntegrityCheck::startSoon()
{
    // Half a second after the event loop has started: the window's first paint (fonts, icons, libraries
    // read from the disk after a reboot) comes first. A write before then starts the check at once.
    QTimer::singleShot(500, this, &IntegrityCheck::start);
}

void IntegrityCheck::waitForOutcome()
{
    start();
    if (m_outcome != Outcome::Running)
        return;
    QEventLoop loop;
    connect(this, &IntegrityCheck::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void IntegrityCheck::finishNow()
{
    if (m_outcome == Outcome::NotStarted)
        start();
    takeResult();
}

void IntegrityCheck::cancel()
{
    if (!m_worker)
        return;
    // A stop that comes between two statements is lost to the engine: it is repeated until the worker ends.
    do {
        const QMutexLocker lock(&m_connectionMutex);
        m_cancelled = true;
        if (m_connection)
            SqliteInterrupt::interrupt(m_connection, m_engineVersion);
    } while (!m_worker->wait(QDeadlineTimer(10)));
    takeResult();
}

bool IntegrityCheck::publishConnection(void* handle, const QString& engineVersion)
{
    const QMutexLocker lock(&m_connectionMutex);
    m_connection = m_cancelled ? nullptr : handle;
    m_engineVersion = engineVersion;
    return !m_cancelled;
}

void IntegrityCheck::takeResult()
{
    if (!m_worker)
        return; // taken already (finishNow or cancel before the queued notice)
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_outcome = m_result.outcome;
    m_error = m_result.error;
    emit finished();
}

IntegrityCheck::Result IntegrityCheck::checkFile()
{
    const auto failure = [](const QSqlError& error) {
        const int code = error.nativeErrorCode().toInt() & 0xff;
        // SQLITE_CORRUPT, SQLITE_NOTADB: damage; anything else (a lock, a read error, a stop) may pass another time.
        return Result{code == 11 || code == 26 ? Outcome::Damaged : Outcome::Unreadable, error};
    };
    Result result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(m_filePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1")
                                 .arg(std::min(m_busyTimeoutMs, LockWaitSliceMs)));
        if (!db.open()) {
            result = failure(db.lastError());
        } else {
            QSqlQuery check(db);
            check.setForwardOnly(true);
            // Whole file, or each given table with its indexes. A table name is ours, never the user's.
            QStringList pragmas;
            for (const QString& table : m_tables)
                pragmas.append(QStringLiteral("PRAGMA quick_check(%1)").arg(table));
            if (pragmas.isEmpty())
                pragmas.append(QStringLiteral("PRAGMA quick_check"));
            const QString engineVersion = SqliteInterrupt::engineVersion(db);
            const QDeadlineTimer lockWait(m_busyTimeoutMs);
            bool cancelled = false;
            QStringList findings;
            for (const QString& pragma : pragmas) {
                bool ran = false;
                for (;;) {
                    cancelled = !publishConnection(SqliteInterrupt::engineConnection(db), engineVersion);
                    if (cancelled)
                        break;
                    ran = check.exec(pragma);
                    const bool locked = (check.lastError().nativeErrorCode().toInt() & 0xff) == 5; // SQLITE_BUSY
                    if (ran || !locked || lockWait.hasExpired())
                        break;
                }
                if (!ran)
                    break;
                QStringList found;
                while (check.next())
                    found.append(check.value(0).toString());
                if (check.lastError().isValid())
                    break;
                if (found != QStringList{QStringLiteral("ok")})
                    findings += found;
            }
            publishConnection(nullptr, engineVersion);
            // A statement the stop reached fails with SQLITE_INTERRUPT, which counts as unreadable.
            if (cancelled)
                result = Result{Outcome::Unreadable, {}};
            else if (check.lastError().isValid())
                result = failure(check.lastError());
            else
                result.outcome = findings.isEmpty() ? Outcome::Passed : Outcome::Damaged;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    return result;
}
