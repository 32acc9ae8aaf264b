#include "store/ServerReconnector.h"

#include "store/ServerConnection.h"

#include <QThread>
#include <QUuid>

#include <memory>

namespace {
// How often the countdown is looked at: often enough that a told second is never skipped.
constexpr int TickMs = 250;
} // namespace

ServerReconnector::ServerReconnector(ServerAddress address, QObject* parent)
    : QObject(parent), m_address(std::move(address))
{
    m_ticks.setInterval(TickMs);
    connect(&m_ticks, &QTimer::timeout, this, &ServerReconnector::tick);
}

ServerReconnector::~ServerReconnector()
{
    if (m_attempt) {
        m_attempt->disconnect(this);
        m_attempt->wait();
        delete m_attempt;
    }
}

void ServerReconnector::start()
{
    if (m_running)
        return;
    m_running = true;
    m_pauseMs = FirstPauseMs;
    m_nextTry.setRemainingTime(m_pauseMs);
    m_toldSeconds = -1;
    if (!m_attempt)
        m_ticks.start();
    tick();
}

void ServerReconnector::stop()
{
    m_running = false;
    m_ticks.stop();
}

void ServerReconnector::tick()
{
    if (!m_running || m_attempt)
        return;
    if (m_nextTry.hasExpired()) {
        tryNow();
        return;
    }
    const int seconds = int((m_nextTry.remainingTime() + 999) / 1000);
    if (seconds != m_toldSeconds) {
        m_toldSeconds = seconds;
        emit countdown(seconds);
    }
}

void ServerReconnector::tryNow()
{
    m_ticks.stop();
    m_toldSeconds = 0;
    emit countdown(0);
    // The try owns what it uses: the address is copied, the answer shared.
    auto failure = std::make_shared<QString>();
    m_attempt = QThread::create([address = m_address, failure] {
        const QString name =
            QStringLiteral("lunaris-versuch-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
        {
            ServerConnection::Login login = ServerConnection::login(address, name);
            *failure = login.ok() ? QString() : login.failure;
            login.db.close();
        }
        QSqlDatabase::removeDatabase(name);
    });
    connect(m_attempt, &QThread::finished, this, [this, failure] {
        m_attempt->deleteLater();
        m_attempt = nullptr;
        tried(*failure);
    });
    m_attempt->start();
}

void ServerReconnector::tried(const QString& failure)
{
    if (!m_running)
        return;
    if (failure.isEmpty()) {
        stop();
        emit reached();
        return;
    }
    emit stillAway(failure);
    m_pauseMs = qMin(m_pauseMs * 2, LongestPauseMs);
    m_nextTry.setRemainingTime(m_pauseMs);
    m_toldSeconds = -1;
    m_ticks.start();
    tick();
}
