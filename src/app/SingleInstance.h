#pragma once

#include <QLockFile>
#include <QString>

#include <functional>

// A per-user guard that tells whether another instance of the program is running. An instance that is
// ending says so beside the guard, so that a start in the moment it takes to close its database waits
// for it instead of ending as if it were still running.
class SingleInstance {
public:
    enum class Start { Alone, AlreadyRunning, StillClosing };
    // Milliseconds a start waits for an instance that is ending.
    static constexpr int ClosingWaitMs = 5000;

    // folder: where the guard lives; the per-user runtime (or cache) folder unless a test names another.
    // closingWaitMs: how long a start waits for an instance that is ending; pause runs between two looks
    // (by default a short sleep).
    explicit SingleInstance(const QString& folder = defaultFolder(), int closingWaitMs = ClosingWaitMs,
                            std::function<void()> pause = {});

    // Alone: this is the only instance, and the guard is held until destruction. AlreadyRunning: another
    // instance runs. StillClosing: another instance is ending but still had the guard after the wait.
    Start acquire();
    // Tells later starts that this instance is ending; they wait for the guard then.
    void announceClosing();

    static QString defaultFolder();

private:
    // Removes a lock that names this very process but that no one holds: a crashed instance's.
    bool leftByThisProcessId();

    QString m_closingMark;
    QLockFile m_lock;
    int m_closingWaitMs;
    std::function<void()> m_pause;
};
