#pragma once

#include "store/SharedTables.h"
#include "store/TableStamps.h"

#include <QObject>
#include <QTimer>

#include <optional>

class Database;

// Tells when another workstation or the planner changed the shared tables (days, treatments, chairs), and
// which of them. On the server the tables' triggers notify every listening connection with the table's name;
// on the file the data version, which every other connection's commit changes, is read about once a second,
// and after a commit elsewhere the tables' counters (TableStamps) tell which were written. A commit that
// touched none of them (the planner's own tables) is not told, nor are own changes.
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
    // Something changed in `tables`; several changes close together are told once.
    void changed(SharedTables tables);

private:
    void subscribe();
    void poll();
    // The tables a commit elsewhere touched, by their counters; all when the file has none.
    std::optional<SharedTables> tablesChangedInFile();
    void reconnectIfClosed();

    Database& m_database;
    QTimer m_poll;
    QTimer m_reconnect;
    QTimer m_settle;
    qint64 m_dataVersion = -1;
    // The file's counters as last read; none while the file has none (then every commit counts).
    std::optional<TableStamps::Counters> m_counters;
    // Told by the server's notifications since the last signal.
    SharedTables m_pending;
};
