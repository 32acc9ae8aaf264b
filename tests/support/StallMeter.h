#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

// The longest time the window's event loop could not answer, from start() on: the longest gap of a 10 ms timer
// of the window's thread, less the time the thread waited for a processor where the system tells that. Where
// the system shows what a thread waits in (Linux), a watcher thread also looks at the window's thread every
// 2 ms: waiting in the event loop's own poll (several descriptors) is answering, anything else (working, a
// blocking network or disk call) is not. A stall counts as long as both saw it: on the suites' two-core machine,
// with builds beside them, a 9 ms poll returned after 107 ms (so did a plain thread of a small program), which
// is the machine's, not the program's.
class StallMeter {
public:
    StallMeter();
    ~StallMeter();
    void start();
    qint64 longest();
    // The longest gap of the 10 ms timer as the clock on the wall saw it (for a failure's message).
    qint64 longestOnTheWall() const { return m_longestOnTheWall; }

private:
    void tick();
    void watch();
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastQueuedMs = 0;
    qint64 m_longestTick = 0;
    qint64 m_longestOnTheWall = 0;
    // The watcher: -1 while it cannot tell (then the timer's figure holds).
    std::atomic<qint64> m_longestBusy{-1};
    std::atomic<bool> m_watching{false};
    std::unique_ptr<std::thread> m_watcher;
};
