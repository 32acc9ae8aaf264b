#include "store/ChangeWatcher.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"

#include <QSqlDriver>
#include <QSqlQuery>

namespace {
// Several statements of one save arrive as several notifications.
constexpr int SettleMs = 100;
} // namespace

ChangeWatcher::ChangeWatcher(Database& database, QObject* parent) : QObject(parent), m_database(database)
{
    // Notifications are per connection: a connection that replaced a lost one listens again, and what
    // was missed meanwhile is looked at.
    m_database.setReconnectedHandler([this] {
        subscribe();
        m_pending = AllSharedTables;
        m_settle.start();
    });
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        // The follow-up reads from the connection, which a statement awaiting its answer holds: later.
        if (m_database.answerPending()) {
            m_settle.start();
            return;
        }
        const SharedTables tables = m_pending;
        m_pending = {};
        if (tables)
            emit changed(tables);
    });
    if (m_database.isServer()) {
        subscribe();
        // The server's driver closes a connection whose server went away; nothing would be heard again
        // until this workstation's next statement.
        m_reconnect.setInterval(ReconnectMs);
        connect(&m_reconnect, &QTimer::timeout, this, &ChangeWatcher::reconnectIfClosed);
        m_reconnect.start();
        return;
    }
    m_dataVersion = m_database.changeStamp().dataVersion;
    if (TableStamps::ensure(m_database))
        m_counters = TableStamps::readWithoutWaiting(m_database).counters;
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &ChangeWatcher::poll);
    m_poll.start();
}

ChangeWatcher::~ChangeWatcher()
{
    m_database.setChangesHeard(false);
    m_database.setReconnectedHandler({});
}

void ChangeWatcher::subscribe()
{
    QSqlDriver* driver = m_database.connection().driver();
    if (!driver)
        return;
    if (driver->subscribedToNotifications().contains(QLatin1String(Channel))) {
        m_database.setChangesHeard(true);
        return;
    }
    if (!driver->subscribeToNotification(QLatin1String(Channel)))
        return;
    m_database.setChangesHeard(true);
    connect(driver, &QSqlDriver::notification, this,
            [this](const QString&, QSqlDriver::NotificationSource source, const QVariant& payload) {
                if (source == QSqlDriver::SelfSource)
                    return;
                // The triggers name the table; a notification without a known name may concern any.
                const SharedTables table = sharedTableNamed(payload.toString());
                m_database.forgetRead(table ? payload.toString().toLatin1() : QByteArray());
                m_pending |= table ? table : AllSharedTables;
                m_settle.start();
            });
}

void ChangeWatcher::reconnectIfClosed()
{
    // Only looked at, never waited for: the database tries to reach the server in the background, and
    // its new connection listens again and looks at what was missed.
    if (!m_database.connectionLost() && !m_database.connection().isOpen())
        m_database.noticeClosedConnection();
}

void ChangeWatcher::poll()
{
    // The window's thread never waits for the planner: a file it holds is looked at again next time.
    const qint64 version = m_database.changeStampWithoutWaiting().dataVersion;
    if (version < 0 || version == m_dataVersion)
        return;
    const std::optional<SharedTables> tables = tablesChangedInFile();
    if (!tables)
        return;
    m_dataVersion = version;
    if (*tables)
        emit changed(*tables);
}

std::optional<SharedTables> ChangeWatcher::tablesChangedInFile()
{
    TableStamps::Reading now = TableStamps::readWithoutWaiting(m_database);
    if (now.busy)
        return std::nullopt; // looked at again next time
    if (!now.counters && TableStamps::ensure(m_database))
        now = TableStamps::readWithoutWaiting(m_database);
    if (now.busy)
        return std::nullopt;
    // Without the counters before or now (a read-only file, one still being checked), any table may have changed.
    const SharedTables tables =
        m_counters && now.counters ? TableStamps::changedBetween(*m_counters, *now.counters) : AllSharedTables;
    m_counters = now.counters;
    return tables;
}

bool ChangeWatcher::triggersPresent(const Database& database)
{
    QSqlQuery existing = database.run(
        QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE tgname = 'lunaris_aenderung' AND NOT tgisinternal"));
    return readNext(existing) && existing.value(0).toInt() == 4;
}

void ChangeWatcher::ensureTriggers(const Database& database)
{
    if (!database.isServer() || triggersPresent(database))
        return;
    database.run(QStringLiteral("CREATE OR REPLACE FUNCTION lunaris_aenderung() RETURNS trigger LANGUAGE plpgsql "
                                "AS $f$ BEGIN PERFORM pg_notify('%1', TG_TABLE_NAME); RETURN NULL; END $f$")
                     .arg(QLatin1String(Channel)));
    for (const char* table : {"Template", "Idealtag", "Behand", "Stuhl"})
        database.run(QStringLiteral("CREATE OR REPLACE TRIGGER lunaris_aenderung AFTER INSERT OR UPDATE OR DELETE "
                                    "OR TRUNCATE ON \"%1\" FOR EACH STATEMENT EXECUTE FUNCTION lunaris_aenderung()")
                         .arg(QLatin1String(table)));
}
