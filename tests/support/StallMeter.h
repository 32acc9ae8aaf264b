#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

// The longest time the window's event loop could not answer, from start() on: the longest gap of a 10 ms timer
// of the window's thread, less the time the thread waited for a processor where the system tells that. Where
// the system shows what a thread waits in (Linux), a watcher thread also looks at the window's thread every
// 2 ms: waiting in the event loop's own poll (several descriptors) is answering, anything else (working, a
// blocking network or disk call) is not, except a page fault's wait for the disk (the thread blocked outside any
// system call): beside builds writing to disk that alone held the window's thread up to 112 ms, the machine's
// delay as much as a paused processor. A stall counts as long as both saw it.
//
// On the suites' two-core virtual machine, with builds writing beside them, a processor now and then runs
// nothing of the machine for up to about 100 ms: a plain program's 2 ms poll returns that late without having
// waited for the processor. On Linux the window's thread is therefore kept on one processor while measured,
// and a probe thread on the same processor notes such pauses; they are left out of the timer's gaps. The
// window's own work does not delay the probe that way: the probe then waits for the processor, which the
// system counts.
class StallMeter {
public:
    StallMeter();
    ~StallMeter();
    // Starts a new measurement (ending one under way).
    void start();
    // Ends the measurement on its first call, and gives its result on each.
    qint64 longest();
    // The longest gap of the 10 ms timer as the clock on the wall saw it (for a failure's message).
    qint64 longestOnTheWall() const { return m_longestOnTheWall; }
    // How long the processor was paused in all, as the probe saw it (for a failure's message).
    qint64 paused() const { return m_paused; }
    // What the watcher saw the thread in during its longest busy span: system call numbers ("running": on a
    // processor or ready for one), each with its count of 2 ms looks (for a failure's message).
    QString longestBusyCalls() const;

private:
    struct Span {
        qint64 from = 0; // milliseconds of the steady clock
        qint64 to = 0;
    };
    // A probe's round with the part of it that the processor was paused (where in the round is not known).
    struct Pause {
        Span round;
        qint64 pausedMs = 0;
    };
    void tick();
    void stop();
    qint64 pausedWithin(const Span& gap) const;
    QTimer m_tick;
    bool m_measuring = false;
    qint64 m_last = 0;
    qint64 m_lastQueuedMs = 0;
    qint64 m_longestOnTheWall = 0;
    qint64 m_paused = 0;
    qint64 m_result = 0;
    // The timer's gaps that may matter, each with the time the thread waited for a processor in it.
    struct Gap {
        Span span;
        qint64 queuedMs = 0;
    };
    QList<Gap> m_gaps;
    qint64 m_longestShortGap = 0;
    // The watcher: -1 while it cannot tell (then the timer's figure holds).
    std::atomic<qint64> m_longestBusy{-1};
    mutable std::mutex m_busyCallsMutex;
    QMap<QByteArray, int> m_longestBusyCalls; // under m_busyCallsMutex
    std::atomic<bool> m_watching{false};
    std::unique_ptr<std::thread> m_watcher;
    // The probe and the pauses it saw.
    std::unique_ptr<std::thread> m_probe;
    std::atomic<qint64> m_probeRounds{0};
    mutable std::mutex m_pausesMutex;
    QList<Pause> m_pauses;
    // The processors the window's thread may run on, as before the measurement (empty: unchanged).
    QByteArray m_savedAffinity;
};
