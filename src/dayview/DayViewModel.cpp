#include "dayview/DayViewModel.h"

#include "kernel/LunarisError.h"
#include "dayview/ClockTime.h"

namespace {
[[noreturn]] void refuse(const QString& what)
{
    throw LunarisError(LunarisError::DayViewRefused, what);
}

int requireTime(const QString& time)
{
    const auto minutes = ClockTime::minutesOf(time);
    if (!minutes)
        refuse(QStringLiteral("Ungültige Uhrzeit: „%1“").arg(time));
    return *minutes;
}
} // namespace

int DayBlock::minutes() const
{
    const auto start = ClockTime::minutesOf(startTime.trimmed());
    const auto end = ClockTime::minutesOf(endTime.trimmed());
    return start && end ? *end - *start : 0;
}

void DayViewModel::setSlotSize(int code)
{
    if (code < 1)
        refuse(QStringLiteral("Ungültige Zeilenlänge: %1").arg(code));
    m_slotCode = code;
}

void DayViewModel::setDayEnd(const QString& time)
{
    requireTime(time);
    m_dayEnd = time;
}

void DayViewModel::setDayStart(const QString& time)
{
    requireTime(time);
    m_dayStart = time;
}

int DayViewModel::rowCount() const
{
    const auto start = ClockTime::minutesOf(m_dayStart);
    const auto end = ClockTime::minutesOf(m_dayEnd);
    if (!start || !end || *end <= *start)
        return 0;
    return (*end - *start) / slotMinutes();
}

int DayViewModel::rowOfTime(const QString& time) const
{
    const int minutes = requireTime(time);
    const int start = *ClockTime::minutesOf(m_dayStart);
    const int row = minutes < start ? -1 : (minutes - start) / slotMinutes();
    if (row < 0 || row >= rowCount())
        refuse(QStringLiteral("Die Uhrzeit %1 liegt außerhalb des Tages.").arg(time));
    return row;
}

QString DayViewModel::timeOfRow(int row) const
{
    if (row < 0 || row > rowCount())
        refuse(QStringLiteral("Die Zeile %1 gibt es nicht.").arg(row));
    return ClockTime::addMinutes(m_dayStart, row * slotMinutes());
}

const DayBlock& DayViewModel::item(int index) const
{
    if (index < 0 || index >= count())
        refuse(QStringLiteral("Den Block %1 gibt es nicht.").arg(index));
    return m_blocks.at(index);
}

void DayViewModel::add(const QString& startTime, const QString& endTime, const QString& text, const QColor& color)
{
    const int start = requireTime(startTime.trimmed());
    rowOfTime(startTime.trimmed());
    if (requireTime(endTime.trimmed()) < start)
        refuse(QStringLiteral("Der Block endet vor seinem Anfang: %1–%2").arg(startTime, endTime));
    m_blocks.append({startTime, endTime, text, color});
}

void DayViewModel::remove(int index)
{
    item(index);
    m_blocks.removeAt(index);
}

void DayViewModel::insert(int index, const DayBlock& block)
{
    if (index < 0 || index > count())
        refuse(QStringLiteral("Den Block %1 gibt es nicht.").arg(index));
    m_blocks.insert(index, block);
}
