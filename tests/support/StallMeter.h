#pragma once

#include <QElapsedTimer>
#include <QTimer>

// The longest time the event loop went without running its 10 ms timer, from start() on. Where the system
// tells it (Linux), the time this thread was ready to run but waited for a processor is not counted: the
// suites run beside builds on a machine with two cores, and a wait for the processor is the machine's, not
// the program's. A wait for the network or the disk counts in full.
class StallMeter {
public:
    StallMeter();
    void start();
    qint64 longest();
    // The longest gap as the clock on the wall saw it (for a failure's message).
    qint64 longestOnTheWall() const { return m_longestOnTheWall; }

private:
    void tick();
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastQueuedMs = 0;
    qint64 m_longest = 0;
    qint64 m_longestOnTheWall = 0;
};
