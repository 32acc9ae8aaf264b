#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// A per-user guard that tells whether another instance of the program is running. An instance that is
// ending says so beside the guard, so that a start in the moment it takes to close its database waits
// for it instead of ending as if it were still running. The running instance listens beside the guard,
// so that a later start can ask it to bring its window to the front before ending.
class SingleInstance {
public:
    enum class Start { Alone, AlreadyRunning, StillClosing };
    // Milliseconds a start waits for an instance that is ending.
    static constexpr int ClosingWaitMs = 5000;
    // Milliseconds a start waits for the running instance to answer.
    static constexpr int AnswerWaitMs = 2000;

    // folder: where the guard lives; the per-user runtime (or cache) folder unless a test names another.
    // closingWaitMs: how long a start waits for an instance that is ending; pause runs between two looks
    // (by default a short sleep).
    explicit SingleInstance(const QString& folder = defaultFolder(), int closingWaitMs = ClosingWaitMs,
                            std::function<void()> pause = {});

    // Alone: this is the only instance, and the guard is held until destruction. AlreadyRunning: another
    // instance runs. StillClosing: another instance is ending but still had the guard after the wait.
    Start acquire();
    // Tells later starts that this instance is ending, and stops answering them; they wait for the guard then.
    void announceClosing();
    // After acquire() gave Alone: a later start that asks is answered, and `bringForward` runs (in the
    // event loop of this thread). False when nothing could listen: later starts then end unseen.
    bool listen(std::function<void()> bringForward);
    // After acquire() gave AlreadyRunning: asks the running instance to bring its window forward. False
    // when it does not answer within `waitMs` (it hangs, or no longer listens).
    bool askRunningToShow(int waitMs = AnswerWaitMs) const;
    ~SingleInstance();

    static QString defaultFolder();
    // The name the running instance listens under, beside the guard in `folder`.
    static QString listeningName(const QString& folder);

private:
    // Removes a lock that names this very process but that no one holds: a crashed instance's.
    bool leftByThisProcessId();

    QString m_closingMark;
    QString m_serverName;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    int m_closingWaitMs;
    std::function<void()> m_pause;
};
