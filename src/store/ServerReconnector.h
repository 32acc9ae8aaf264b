#pragma once

#include "store/ConnectionSetting.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

class QThread;

// While the server is away: tries again and again to log in, each time in a thread of its own, so that
// the window's thread never waits for the network. The pause before each try grows (1, 2, 4, 8, then
// every 10 s). A try that gets through only tells so; the caller then opens its own connection (a
// connection belongs to the thread that opened it), now that the server has answered.
class ServerReconnector : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstPauseMs = 1000;
    static constexpr int LongestPauseMs = 10000;

    explicit ServerReconnector(ServerAddress address, QObject* parent = nullptr);
    // Waits for a try under way (its login is bounded by the connect timeout).
    ~ServerReconnector() override;

    // The connection was found lost: the tries begin (with the shortest pause) unless they run already.
    void start();
    // The connection is back: no more tries.
    void stop();
    bool isRunning() const { return m_running; }

signals:
    // A login got through.
    void reached();
    // A try failed: why, in German.
    void stillAway(const QString& failure);
    // Whole seconds until the next try, told when it changes; 0 while a try runs.
    void countdown(int seconds);

private:
    void tick();
    void tryNow();
    void tried(const QString& failure);

    ServerAddress m_address;
    bool m_running = false;
    int m_pauseMs = FirstPauseMs;
    QDeadlineTimer m_nextTry;
    int m_toldSeconds = -1;
    QTimer m_ticks;
    QThread* m_attempt = nullptr;
};
