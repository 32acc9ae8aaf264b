#include "StallMeter.h"

#include <QFile>

#include <chrono>

#ifdef Q_OS_LINUX
#include <sys/syscall.h>
#include <unistd.h>
#endif

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

#ifdef Q_OS_LINUX
enum class Seen { Unknown, InEventLoop, Busy };

// What the thread whose syscall file is `path` does now: blocked in a poll over several descriptors (the event loop's
// wait; libpq's own wait polls one), or anything else.
Seen seen(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Seen::Unknown;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    if (fields.isEmpty() || fields.at(0) == "running")
        return Seen::Busy;
    bool ok = false;
    const long call = fields.at(0).toLong(&ok);
    if (!ok || fields.size() < 3)
        return Seen::Unknown;
    const qlonglong descriptors = fields.at(2).toLongLong(&ok, 16);
    return (call == SYS_poll || call == SYS_ppoll) && ok && descriptors >= 2 ? Seen::InEventLoop : Seen::Busy;
}
#endif
} // namespace

StallMeter::StallMeter()
{
    m_tick.setInterval(10);
    QObject::connect(&m_tick, &QTimer::timeout, [this] { tick(); });
}

StallMeter::~StallMeter()
{
    m_watching = false;
    if (m_watcher)
        m_watcher->join();
}

void StallMeter::start()
{
    m_longestTick = 0;
    m_longestOnTheWall = 0;
    m_clock.start();
    m_last = 0;
    m_lastQueuedMs = queuedMs();
    m_tick.start();
#ifdef Q_OS_LINUX
    if (m_watcher) {
        m_watching = false;
        m_watcher->join();
    }
    m_longestBusy = -1;
    m_watching = true;
    const QString path = QStringLiteral("/proc/self/task/%1/syscall").arg(long(syscall(SYS_gettid)));
    m_watcher = std::make_unique<std::thread>([this, path] {
        using namespace std::chrono;
        const auto nowMs = [] { return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count(); };
        qint64 busySince = -1; // none while the thread is seen in the event loop's wait
        qint64 longest = -1;
        while (m_watching) {
            const Seen now = seen(path);
            const qint64 at = nowMs();
            if (now == Seen::Unknown)
                return;
            longest = qMax<qint64>(longest, 0);
            if (now == Seen::Busy && busySince < 0)
                busySince = at;
            if (busySince >= 0)
                longest = qMax(longest, at - busySince);
            if (now == Seen::InEventLoop)
                busySince = -1;
            m_longestBusy = longest;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
#endif
}

qint64 StallMeter::longest()
{
    tick();
    // A real stall shows in both: the timer cannot fire, and the thread is not in the event loop's wait. Each
    // alone also sees what is none: the timer a late wake-up, the watcher a test's own wait (qWait sleeps
    // between its rounds of events).
    const qint64 busy = m_longestBusy;
    return busy >= 0 ? qMin(busy, m_longestTick) : m_longestTick;
}

void StallMeter::tick()
{
    const qint64 now = m_clock.elapsed();
    const qint64 queued = queuedMs();
    const qint64 gap = now - m_last;
    m_longestOnTheWall = qMax(m_longestOnTheWall, gap);
    m_longestTick = qMax(m_longestTick, gap - (queued - m_lastQueuedMs));
    m_last = now;
    m_lastQueuedMs = queued;
}
