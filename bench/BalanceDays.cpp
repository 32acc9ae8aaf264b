#include "BalanceDays.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {
constexpr int DayStart = 8 * 60;
constexpr int DayEnd = 18 * 60;

} // namespace

namespace BalanceDays {

BalanceDay demoMonday()
{
    QFile file(QStringLiteral(LUNARIS_DEMO_SQL));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("demo.sql not readable");
    const QString sql = QString::fromUtf8(file.readAll());
    BalanceDay day;
    day.dayStart = DayStart;
    day.dayEnd = DayEnd;
    day.slotMinutes = 10;
    static const QRegularExpression treatment(
        QStringLiteral(R"(\('(\w+)', '[^']*', (\d+), (\d+), (\d+), (\d+), (\d+), ([\d.]+)\))"));
    for (auto m = treatment.globalMatch(sql); m.hasNext();) {
        const auto t = m.next();
        day.treatments.insert(t.captured(1), {t.captured(1), t.captured(2).toInt(), t.captured(3).toInt(),
                                              t.captured(4).toInt(), t.captured(5).toInt(), t.captured(6).toInt(),
                                              qint64(std::llround(t.captured(7).toDouble() * 100))});
    }
    static const QRegularExpression block(
        QStringLiteral(R"(\('Montag Standard', '([^']+)', '(\w+)', '(\d\d):(\d\d)', '(\d\d):(\d\d)'\))"));
    QStringList chairs;
    for (auto m = block.globalMatch(sql); m.hasNext();) {
        const auto b = m.next();
        if (!chairs.contains(b.captured(1)))
            chairs.append(b.captured(1));
        const int start = b.captured(3).toInt() * 60 + b.captured(4).toInt();
        const int end = b.captured(5).toInt() * 60 + b.captured(6).toInt();
        day.blocks.append({b.captured(2), int(chairs.indexOf(b.captured(1))), start, end - start});
    }
    day.chairCount = int(chairs.size());
    if (day.blocks.size() != 19 || day.treatments.size() != 12)
        throw std::runtime_error("the demo Monday was not read whole");
    return day;
}

BalanceDay generatedDay(quint32 seed)
{
    BalanceDay day = demoMonday();
    day.blocks.clear();
    day.chairCount = 4;
    QRandomGenerator random(seed);
    const int wanted = 40 + random.bounded(21);
    const QStringList codes = day.treatments.keys();
    QStringList sorted = codes;
    sorted.sort();
    for (int tries = 0; day.blocks.size() < wanted && tries < 20000; ++tries) {
        const BalanceTreatment& t = day.treatments[sorted[random.bounded(int(sorted.size()))]];
        const int chair = random.bounded(4);
        const int start = DayStart + 10 * random.bounded((DayEnd - DayStart) / 10);
        if (start + t.minutes > DayEnd)
            continue;
        const bool free = std::none_of(day.blocks.cbegin(), day.blocks.cend(), [&](const BalanceBlock& b) {
            return b.chair == chair && b.start < start + t.minutes && start < b.start + b.minutes;
        });
        if (free)
            day.blocks.append({t.code, chair, start, t.minutes});
    }
    return day;
}

BalanceDay largestDay()
{
    BalanceDay day;
    day.chairCount = 10;
    day.dayStart = DayStart;
    day.dayEnd = DayEnd;
    day.slotMinutes = 10;
    day.treatments.insert(QStringLiteral("K"), {QStringLiteral("K"), 10, 0, 5, 5, 5, 1800});
    for (int c = 0; c < 10; ++c)
        for (int s = DayStart; s < DayEnd; s += 10)
            day.blocks.append({QStringLiteral("K"), c, s, 10});
    return day;
}

} // namespace BalanceDays
