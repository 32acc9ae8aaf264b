#include "StallMeter.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <chrono>

#ifdef Q_OS_LINUX
#include <poll.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {
// A timer gap up to this long cannot hide a stall that matters, nor a pause worth leaving out.
constexpr qint64 ShortGapMs = 20;
// A probe's late return counts as a pause from this on (its own round is 2 ms).
constexpr qint64 PauseMs = 5;
// The watcher's looks are 2 ms apart; of a longer time between two of them (the watcher itself paused or waiting
// for a processor) at most this much counts, since nothing of it was seen.
constexpr qint64 UnseenMs = ShortGapMs;

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Nanoseconds the calling thread has spent ready to run, waiting for a processor; 0 where the system does not say.
qint64 queuedNs()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // "time on a processor, time waiting for one, slices", in nanoseconds.
    const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
    return fields.size() >= 2 ? fields.at(1).toLongLong() : 0;
}

#ifdef Q_OS_LINUX
enum class Seen { Unknown, InEventLoop, Busy, InFault };

// What the thread whose syscall file is `path` does now: blocked in a poll over several descriptors (the event loop's
// wait; libpq's own wait polls one), blocked outside any system call (a page fault waiting for the disk), or
// anything else. `callSeen` gets the system call's number, "running", or "-1" and where the kernel waits.
Seen seen(const QString& path, QByteArray& callSeen)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Seen::Unknown;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    callSeen = fields.value(0);
    if (callSeen == "-1") {
        QFile where(QString(path).replace(QLatin1String("/syscall"), QLatin1String("/wchan")));
        if (where.open(QIODevice::ReadOnly))
            callSeen += ' ' + where.readAll().trimmed();
        return Seen::InFault;
    }
    if (fields.isEmpty() || fields.at(0) == "running")
        return Seen::Busy;
    bool ok = false;
    const long call = fields.at(0).toLong(&ok);
    if (!ok || fields.size() < 3)
        return Seen::Unknown;
    const qlonglong descriptors = fields.at(2).toLongLong(&ok, 16);
    return (call == SYS_poll || call == SYS_ppoll) && ok && descriptors >= 2 ? Seen::InEventLoop : Seen::Busy;
}

bool pinToProcessor(int processor)
{
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(processor, &one);
    return sched_setaffinity(0, sizeof one, &one) == 0;
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
    stop();
}

void StallMeter::start()
{
    stop();
    m_measuring = true;
    m_watching = true;
    m_longestOnTheWall = 0;
    m_paused = 0;
    m_longestShortGap = 0;
    m_gaps.clear();
    {
        std::lock_guard lock(m_pausesMutex);
        m_pauses.clear();
    }
#ifdef Q_OS_LINUX
    // The window's thread and the probe on one processor: a pause of that processor shows in both.
    const int processor = sched_getcpu();
    cpu_set_t before;
    // Without the time a thread waited for a processor, the probe would take the window's own work for pauses.
    const bool queueTold = QFile::exists(QStringLiteral("/proc/thread-self/schedstat"));
    if (queueTold && processor >= 0 && sched_getaffinity(0, sizeof before, &before) == 0 && pinToProcessor(processor)) {
        m_savedAffinity = QByteArray(reinterpret_cast<const char*>(&before), sizeof before);
        m_probeRounds = 0;
        m_probe = std::make_unique<std::thread>([this, processor] {
            pinToProcessor(processor);
            while (m_watching) {
                const qint64 queuedBefore = queuedNs();
                const qint64 from = nowMs();
                poll(nullptr, 0, 2);
                const qint64 to = nowMs();
                const qint64 unexplained = (to - from - 2) - (queuedNs() - queuedBefore) / 1000000;
                if (unexplained >= PauseMs) {
                    std::lock_guard lock(m_pausesMutex);
                    m_pauses.append({{from, to}, unexplained});
                }
                ++m_probeRounds;
            }
        });
    }
    m_longestBusy = -1;
    {
        std::lock_guard lock(m_busyCallsMutex);
        m_longestBusyCalls.clear();
    }
    const QString path = QStringLiteral("/proc/self/task/%1/syscall").arg(long(syscall(SYS_gettid)));
    m_watcher = std::make_unique<std::thread>([this, path] {
        // The busy span under way (none while the thread is seen in the event loop's wait): how long it counts,
        // and what the thread was seen in, how often.
        bool inSpan = false;
        qint64 spanMs = 0;
        QMap<QByteArray, int> calls;
        Seen before = Seen::InEventLoop;
        qint64 lastAt = nowMs();
        qint64 longest = -1;
        while (m_watching) {
            QByteArray call;
            const Seen now = seen(path, call);
            const qint64 at = nowMs();
            if (now == Seen::Unknown)
                return;
            longest = qMax<qint64>(longest, 0);
            if (now != Seen::InEventLoop && !inSpan) {
                inSpan = true;
                spanMs = 0;
                calls.clear();
            }
            if (inSpan) {
                // The time since the last look counts as what the thread was seen in then; a page fault's wait
                // for the disk is the machine's, not the program's.
                if (before == Seen::Busy)
                    spanMs += qMin(at - lastAt, UnseenMs);
                ++calls[call];
                if (spanMs > longest) {
                    longest = spanMs;
                    std::lock_guard lock(m_busyCallsMutex);
                    m_longestBusyCalls = calls;
                }
                inSpan = now != Seen::InEventLoop;
            }
            before = now;
            lastAt = at;
            m_longestBusy = longest;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
#endif
    m_last = nowMs();
    m_lastQueuedMs = queuedNs() / 1000000;
    m_tick.start();
}

void StallMeter::tick()
{
    if (!m_measuring)
        return;
    const qint64 now = nowMs();
    const qint64 queued = queuedNs() / 1000000;
    const qint64 gap = now - m_last;
    m_longestOnTheWall = qMax(m_longestOnTheWall, gap);
    if (gap <= ShortGapMs)
        m_longestShortGap = qMax(m_longestShortGap, gap - (queued - m_lastQueuedMs));
    else
        m_gaps.append({{m_last, now}, queued - m_lastQueuedMs});
    m_last = now;
    m_lastQueuedMs = queued;
}

qint64 StallMeter::pausedWithin(const Span& gap) const
{
    std::lock_guard lock(m_pausesMutex);
    qint64 paused = 0;
    // The round may also hold the probe's own wait for the processor after the pause: a gap that shares only
    // part of the round has at most the shared part left out.
    for (const Pause& pause : m_pauses)
        paused +=
            qMin(pause.pausedMs, qMax<qint64>(0, qMin(gap.to, pause.round.to) - qMax(gap.from, pause.round.from)));
    return paused;
}

qint64 StallMeter::longest()
{
    if (!m_measuring)
        return m_result;
    tick();
    // A pause that ended the last gap is noted by the probe once it runs again: two more of its rounds.
    if (m_probe) {
        const qint64 rounds = m_probeRounds;
        QElapsedTimer waited;
        waited.start();
        while (m_probeRounds < rounds + 2 && !waited.hasExpired(1000))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    qint64 longestTick = m_longestShortGap;
    for (const Gap& gap : std::as_const(m_gaps))
        longestTick = qMax(longestTick, gap.span.to - gap.span.from - gap.queuedMs - pausedWithin(gap.span));
    {
        std::lock_guard lock(m_pausesMutex);
        for (const Pause& pause : std::as_const(m_pauses))
            m_paused += pause.pausedMs;
    }
    // A real stall shows in both: the timer cannot fire, and the thread is not in the event loop's wait. Each
    // alone also sees what is none: the timer a late wake-up, the watcher a test's own wait (qWait sleeps
    // between its rounds of events).
    const qint64 busy = m_longestBusy;
    m_result = busy >= 0 ? qMin(busy, longestTick) : longestTick;
    stop();
    return m_result;
}

void StallMeter::stop()
{
    m_tick.stop();
    m_measuring = false;
    m_watching = false;
    if (m_watcher)
        m_watcher->join();
    if (m_probe)
        m_probe->join();
    m_watcher.reset();
    m_probe.reset();
#ifdef Q_OS_LINUX
    if (!m_savedAffinity.isEmpty())
        sched_setaffinity(0, size_t(m_savedAffinity.size()),
                          reinterpret_cast<const cpu_set_t*>(m_savedAffinity.constData()));
#endif
    m_savedAffinity.clear();
}

QString StallMeter::longestBusyCalls() const
{
    std::lock_guard lock(m_busyCallsMutex);
    QStringList seen;
    for (auto it = m_longestBusyCalls.cbegin(); it != m_longestBusyCalls.cend(); ++it)
        seen.append(QStringLiteral("%1 ×%2").arg(QString::fromLatin1(it.key())).arg(it.value()));
    return seen.join(QStringLiteral(", "));
}
