#pragma once

class Database;
class QLabel;
class QStatusBar;
class ServerStatusPanel;

// The main window's status bar: the first panel with the open day's status, on the server backend which
// server and whether it is reachable, then the date and the clock.
class MainStatusBar {
public:
    MainStatusBar(QStatusBar& bar, Database& database);
    ~MainStatusBar();
    MainStatusBar(const MainStatusBar&) = delete;
    MainStatusBar& operator=(const MainStatusBar&) = delete;

    QLabel* statusPanel() const { return m_statusPanel; }
    // Null on the file.
    ServerStatusPanel* serverPanel() const { return m_serverPanel; }
    // From now on the server panel follows the connection's state.
    void followConnection();

private:
    Database& m_database;
    QLabel* m_statusPanel;
    QLabel* m_datePanel;
    QLabel* m_timePanel;
    ServerStatusPanel* m_serverPanel = nullptr;
};
