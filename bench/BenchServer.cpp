#include "BenchServer.h"

#include "FaultProxy.h"

#include "store/Database.h"
#include "store/PasswordFile.h"
#include "store/PracticeTransfer.h"
#include "store/ServerConnection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>

#include <cstdio>
#include <stdexcept>

namespace {
// initdb and the server's start take a few seconds; a loaded machine may need more.
constexpr int StartTimeoutMs = 180000;

[[noreturn]] void fail(const QString& why)
{
    throw std::runtime_error(why.toStdString());
}
} // namespace

BenchServer::BenchServer(const QString& folder) : m_passwordFile(QDir(folder).filePath(QStringLiteral("pgpass"))) {}

BenchServer::~BenchServer()
{
    m_remoteSessions.clear();
    m_relay.reset();
    m_sessions.clear();
    if (m_script.state() == QProcess::NotRunning)
        return;
    // The script stops the server and removes its folder once its input ends (as it does when this
    // process dies); killing it would leave the server running.
    m_script.closeWriteChannel();
    if (!m_script.waitForFinished(60000)) {
        std::fprintf(stderr, "lunaris_bench: the PostgreSQL server did not stop\n");
        m_script.kill();
        m_script.waitForFinished();
    }
}

void BenchServer::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The server's own settings, unless the caller gives others (e.g. "-c log_statement=all").
    if (!environment.contains(QStringLiteral("LUNARIS_PG_OPTIONS")))
        environment.insert(QStringLiteral("LUNARIS_PG_OPTIONS"), QString());
    environment.insert(QStringLiteral("LUNARIS_PG_TIME_LIMIT"), QStringLiteral("0"));
    // The script tells the password below, which its scan of the output would take for a leak.
    environment.insert(QStringLiteral("LUNARIS_PG_SCAN_OUTPUT"), QStringLiteral("0"));
    m_script.setProcessEnvironment(environment);
    m_script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Run by the script beside its server: says where the server is, then waits for the end of its input.
    // The benchmarks make their databases, so they work as the administrator (rights cost no time).
    const QString report = QStringLiteral(R"(printf '%s\n' "${LUNARIS_PG_SKIP-}" "${LUNARIS_PG_PORT-}" )"
                                          R"("${LUNARIS_PG_ADMIN-}" "${LUNARIS_PG_PASSWORD-}"; exec cat >/dev/null)");
    m_script.start(QStringLiteral("bash"),
                   {QStringLiteral(LUNARIS_PG_SCRIPT), QStringLiteral("bash"), QStringLiteral("-c"), report});
    QStringList lines;
    QElapsedTimer waited;
    waited.start();
    while (lines.size() < 4) {
        if (m_script.canReadLine()) {
            lines.append(QString::fromUtf8(m_script.readLine()).chopped(1));
            continue;
        }
        if (m_script.state() == QProcess::NotRunning || waited.elapsed() > StartTimeoutMs ||
            !m_script.waitForReadyRead(int(StartTimeoutMs - waited.elapsed())))
            fail(QStringLiteral("the PostgreSQL server for the benchmarks did not start (%1)")
                     .arg(m_script.state() == QProcess::NotRunning ? QStringLiteral("its script ended")
                                                                   : QStringLiteral("time-out")));
    }
    if (!lines[0].isEmpty())
        fail(QStringLiteral("no PostgreSQL server for the benchmarks: ") + lines[0]);
    m_port = lines[1].toInt();
    m_user = lines[2];
    m_password = lines[3];
    if (m_port <= 0 || m_user.isEmpty())
        fail(QStringLiteral("the PostgreSQL server's script did not say where the server is"));
    if (!ServerConnection::driverAvailable())
        fail(QStringLiteral("Qt's QPSQL driver is missing (package libqt6sql6-psql)"));
    // The program logs in with libpq's password file, as at a workstation.
    qputenv("PGPASSFILE", QFile::encodeName(m_passwordFile));
}

BenchSession& BenchServer::remoteSession(int otherDays, const QString& practiceFile, const QString& pdfPath,
                                         int delayMs)
{
    if (const auto found = m_remoteSessions.find(otherDays); found != m_remoteSessions.end())
        return *found->second;
    session(otherDays, practiceFile, pdfPath); // the practice is on the server
    if (!m_relay)
        m_relay = std::make_unique<FaultProxy>(QHostAddress::LocalHost, quint16(m_port));
    m_relay->setDelay(delayMs, delayMs);
    ServerAddress remote = address(QStringLiteral("kavemo_%1").arg(otherDays));
    remote.port = m_relay->port();
    PasswordFile(m_passwordFile).store(remote.host, remote.port, remote.database, m_user, m_password);
    auto database = std::make_unique<Database>(remote, QStringLiteral("bench-remote-%1").arg(otherDays));
    auto remoteSession = std::make_unique<BenchSession>(std::move(database), pdfPath);
    BenchSession& result = *remoteSession;
    m_remoteSessions[otherDays] = std::move(remoteSession);
    return result;
}

ServerAddress BenchServer::address(const QString& database) const
{
    ServerAddress address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = m_port;
    address.database = database;
    address.user = m_user;
    return address;
}

void BenchServer::runOn(const QString& database, const QString& statement) const
{
    const QString connection = QStringLiteral("bench-server-admin");
    QString failure;
    {
        QSqlDatabase db = ServerConnection::open(address(database), connection, m_password);
        QSqlQuery query(db);
        if (!db.isOpen())
            failure = db.lastError().text();
        else if (!query.exec(statement))
            failure = query.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!failure.isEmpty())
        fail(QStringLiteral("%1: %2").arg(statement, failure));
}

BenchSession& BenchServer::session(int otherDays, const QString& practiceFile, const QString& pdfPath)
{
    if (const auto found = m_sessions.find(otherDays); found != m_sessions.end()) {
        found->second->messages().clear();
        return *found->second;
    }
    if (!m_failure.isEmpty())
        fail(m_failure);
    try {
        if (!m_started) {
            m_started = true;
            start();
        }
        const QString name = QStringLiteral("kavemo_%1").arg(otherDays);
        QElapsedTimer timer;
        timer.start();
        runOn(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(name));
        PracticeTransfer(practiceFile, address(name), m_password).run();
        // What the server's autovacuum would have done by the time a practice works on the copy.
        runOn(name, QStringLiteral("VACUUM ANALYZE"));
        std::fprintf(stderr, "(%s copied to the server in %.1f s)\n", qPrintable(name), timer.elapsed() / 1000.0);
        PasswordFile(m_passwordFile).store(QStringLiteral("127.0.0.1"), m_port, name, m_user, m_password);
        auto database = std::make_unique<Database>(address(name), QStringLiteral("bench-server-%1").arg(otherDays));
        auto session = std::make_unique<BenchSession>(std::move(database), pdfPath);
        BenchSession& result = *session;
        m_sessions[otherDays] = std::move(session);
        return result;
    } catch (const std::exception& e) {
        m_failure = describeFailure(e);
        throw;
    }
}
