#include "editing/BlockRules.h"

#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "store/Tables.h"

#include <QRegularExpression>

namespace BlockRules {

int blockAt(const DayViewModel& column, const QString& t, int ignore)
{
    for (int i = 0; i < column.count(); ++i) {
        if (i == ignore)
            continue;
        const DayBlock& block = column.item(i);
        if (block.startTime.trimmed() <= t && t < block.endTime.trimmed())
            return i;
    }
    return -1;
}

std::optional<QString> endOfPlacement(const QString& t, int minutes)
{
    const auto start = ClockTime::minutesOf(t);
    // A negative length (from a table another program filled) gives no block, nor an overlap.
    if (!start || minutes < 0 || *start + minutes >= 24 * 60)
        return std::nullopt;
    return ClockTime::fromMinutes(*start + minutes);
}

int overlapping(const DayViewModel& column, const QString& t, const QString& e, int ignore)
{
    for (int i = 0; i < column.count(); ++i) {
        if (i == ignore)
            continue;
        const QString s = column.item(i).startTime.trimmed();
        const QString end = column.item(i).endTime.trimmed();
        if ((s < e && e <= end) || (t < s && e > end))
            return i;
    }
    return -1;
}

namespace {
// Minutes of a stored time, also of "8:00" (which the day view refuses to show).
std::optional<int> storedMinutes(const QVariant& field)
{
    static const QRegularExpression clock(QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})\\s*$"));
    if (field.isNull())
        return std::nullopt;
    const auto match = clock.match(field.toString());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt() * 60 + match.captured(2).toInt();
}
} // namespace

bool overlapsUnshown(const QList<StoredBlock>& unshown, const QString& chair, const QString& t, const QString& e)
{
    const auto start = ClockTime::minutesOf(t);
    const auto end = ClockTime::minutesOf(e);
    if (!start || !end)
        return false;
    for (const StoredBlock& block : unshown) {
        if (block.row.chair != chair)
            continue;
        const auto s = storedMinutes(block.row.startTime);
        const auto blockEnd = storedMinutes(block.row.endTime);
        if (!s || !blockEnd)
            continue;
        if ((*s <= *start && *start < *blockEnd) || (*s < *end && *end <= *blockEnd) || (*start<*s&& * end> * blockEnd))
            return true;
    }
    return false;
}

int countOf(const QList<const DayViewModel*>& chairs, const QString& text)
{
    int count = 0;
    for (const DayViewModel* chair : chairs)
        for (const DayBlock& block : chair->blocks())
            if (block.text == text)
                ++count;
    return count;
}

QString infoText(const QString& text, int minutes, int count)
{
    return text + QStringLiteral(" dauert ") + QString::number(minutes) + QStringLiteral(" min.") + QLatin1Char('\r') +
           QStringLiteral("Anzahl = ") + QString::number(count);
}

} // namespace BlockRules
