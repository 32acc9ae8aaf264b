#include "StallMeter.h"

#include <QFile>

namespace {
// Milliseconds this thread has spent ready to run, waiting for a processor; 0 where the system does not say.
qint64 queuedMs()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // "time on a processor, time waiting for one, slices", in nanoseconds.
    const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
    return fields.size() >= 2 ? fields.at(1).toLongLong() / 1000000 : 0;
}
} // namespace

StallMeter::StallMeter()
{
    m_tick.setInterval(10);
    QObject::connect(&m_tick, &QTimer::timeout, [this] { tick(); });
}

void StallMeter::start()
{
    m_longest = 0;
    m_longestOnTheWall = 0;
    m_clock.start();
    m_last = 0;
    m_lastQueuedMs = queuedMs();
    m_tick.start();
}

qint64 StallMeter::longest()
{
    tick();
    return m_longest;
}

void StallMeter::tick()
{
    const qint64 now = m_clock.elapsed();
    const qint64 queued = queuedMs();
    const qint64 gap = now - m_last;
    m_longestOnTheWall = qMax(m_longestOnTheWall, gap);
    m_longest = qMax(m_longest, gap - (queued - m_lastQueuedMs));
    m_last = now;
    m_lastQueuedMs = queued;
}
