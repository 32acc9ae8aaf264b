#include "store/IntegrityCheck.h"

#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QTimer>

IntegrityCheck::IntegrityCheck(const QString& filePath, const QString& connectionName, int busyTimeoutMs)
    : m_filePath(filePath), m_connectionName(connectionName), m_busyTimeoutMs(busyTimeoutMs)
{
}

IntegrityCheck::~IntegrityCheck()
{
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void IntegrityCheck::start()
{
    if (m_outcome != Outcome::NotStarted && m_outcome != Outcome::Unreadable)
        return;
    m_outcome = Outcome::Running;
    m_worker = QThread::create([this] { m_result = checkFile(m_filePath, m_connectionName, m_busyTimeoutMs); });
    // Queued to this object's thread: the outcome changes only there.
    connect(m_worker, &QThread::finished, this, &IntegrityCheck::takeResult);
    // The user's work comes first; the check only uses what is left over.
    m_worker->start(QThread::LowPriority);
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

void IntegrityCheck::takeResult()
{
    if (!m_worker)
        return; // taken already (finishNow before the queued notice)
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_outcome = m_result.outcome;
    m_error = m_result.error;
    emit finished();
}

IntegrityCheck::Result IntegrityCheck::checkFile(const QString& filePath, const QString& connectionName,
                                                 int busyTimeoutMs)
{
    const auto failure = [](const QSqlError& error) {
        const int code = error.nativeErrorCode().toInt() & 0xff;
        // SQLITE_CORRUPT, SQLITE_NOTADB: damage; anything else (a lock, a read error) may pass another time.
        return Result{code == 11 || code == 26 ? Outcome::Damaged : Outcome::Unreadable, error};
    };
    Result result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(filePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (!db.open()) {
            result = failure(db.lastError());
        } else {
            QSqlQuery check(db);
            check.setForwardOnly(true);
            QStringList findings;
            if (check.exec(QStringLiteral("PRAGMA quick_check"))) {
                while (check.next())
                    findings.append(check.value(0).toString());
            }
            if (check.lastError().isValid())
                result = failure(check.lastError());
            else
                result.outcome = findings == QStringList{QStringLiteral("ok")} ? Outcome::Passed : Outcome::Damaged;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    return result;
}
