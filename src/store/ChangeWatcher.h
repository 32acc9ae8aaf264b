#pragma once

#include <QObject>
#include <QTimer>

class Database;

// Tells when another workstation or the planner changed the shared tables (days, treatments, chairs).
// On the server the tables' triggers notify every listening connection; on the file the data version,
// which every other connection's commit changes, is read about once a second. Own changes are not told.
class ChangeWatcher : public QObject {
    Q_OBJECT
public:
    // The notification channel the server's triggers use.
    static constexpr auto Channel = "lunaris_aenderung";
    static constexpr int PollMs = 1000;
    // How often the watcher looks whether the server's driver has closed the connection (a restarted server).
    static constexpr int ReconnectMs = 2000;

    explicit ChangeWatcher(Database& database, QObject* parent = nullptr);
    ~ChangeWatcher() override;

    // Creates the server's triggers when they are missing; runs inside the caller's transaction.
    static void ensureTriggers(const Database& database);
    // Whether the four tables of the server database have the triggers.
    static bool triggersPresent(const Database& database);

signals:
    // Something changed; several changes close together are told once.
    void changed();

private:
    void subscribe();
    void poll();
    void reconnectIfClosed();

    Database& m_database;
    QTimer m_poll;
    QTimer m_reconnect;
    QTimer m_settle;
    qint64 m_dataVersion = -1;
};
