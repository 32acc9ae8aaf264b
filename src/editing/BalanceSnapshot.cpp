#include "editing/BalanceSnapshot.h"

#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "store/Tables.h"

namespace {
const QColor NewBlockColor(0, 255, 0);

BalanceTreatment treatmentOf(const Treatment& t)
{
    BalanceTreatment b;
    b.code = t.code;
    b.minutes = t.dauer.isNull() ? 0 : wholeNumber(t.dauer);
    b.drStart = wholeNumber(t.drStart);
    b.drMinutes = wholeNumber(t.drDauer);
    b.drStart2 = wholeNumber(t.drStart2);
    b.drMinutes2 = wholeNumber(t.drDauer2);
    b.feeCents = t.hon.isNull() ? 0 : DoctorColumn::centsOf(number(t.hon));
    return b;
}
} // namespace

BalanceSnapshot::BalanceSnapshot(const QList<const DayViewModel*>& chairs, const DoctorColumn::TreatmentLookup& lookup,
                                 const QList<StoredBlock>& unshown)
{
    m_day.chairCount = int(chairs.size());
    if (!chairs.isEmpty()) {
        const DayViewModel& first = *chairs.first();
        m_day.dayStart = ClockTime::minutesOf(first.dayStart()).value_or(0);
        m_day.slotMinutes = first.slotMinutes();
        // The end of the last whole row, as the columns cut the day.
        m_day.dayEnd = m_day.dayStart + first.rowCount() * m_day.slotMinutes;
    }
    for (int c = 0; c < chairs.size(); ++c) {
        m_names.append(chairs[c]->caption());
        m_before.append(chairs[c]->blocks());
        for (int i = 0; i < chairs[c]->count(); ++i) {
            const DayBlock& block = chairs[c]->item(i);
            const auto start = ClockTime::minutesOf(block.startTime.trimmed());
            if (!start)
                continue; // no clock time: it stays where it is, outside the balancing
            if (!m_day.treatments.contains(block.text))
                if (const Treatment* t = lookup(block.text))
                    m_day.treatments.insert(block.text, treatmentOf(*t));
            m_day.blocks.append({block.text, c, *start, std::max(0, block.minutes())});
            m_origin.append({c, i});
        }
    }
    for (const StoredBlock& row : unshown) {
        const int chair = int(m_names.indexOf(row.row.chair.trimmed()));
        const auto start = ClockTime::minutesOf(row.row.startTime.toString().trimmed());
        const auto end = ClockTime::minutesOf(row.row.endTime.toString().trimmed());
        if (chair >= 0 && start && end && *end > *start)
            m_day.busy.append({row.row.code.toString(), chair, *start, *end - *start});
    }
}

void BalanceSnapshot::includeTreatments(const QList<Treatment>& table)
{
    for (const Treatment& t : table)
        if (!m_day.treatments.contains(t.code))
            m_day.treatments.insert(t.code, treatmentOf(t));
}

QList<QList<DayBlock>> BalanceSnapshot::blocksAfter(const BalanceResult& result) const
{
    QList<QList<DayBlock>> after(m_before.size());
    QSet<QPair<int, int>> balanced(m_origin.cbegin(), m_origin.cend());
    // Blocks outside the balancing keep their place in their chair.
    for (int c = 0; c < m_before.size(); ++c)
        for (int i = 0; i < m_before[c].size(); ++i)
            if (!balanced.contains({c, i}))
                after[c].append(m_before[c][i]);
    for (int b = 0; b < m_origin.size() && b < result.blocks.size(); ++b) {
        const auto [chair, index] = m_origin[b];
        const BalanceBlock& now = result.blocks[b];
        DayBlock block = m_before[chair][index];
        if (now.start != m_day.blocks[b].start) {
            block.startTime = ClockTime::fromMinutes(now.start);
            block.endTime = ClockTime::fromMinutes(now.start + now.minutes);
        }
        after[now.chair].append(block);
    }
    for (const BalanceBlock& added : result.added)
        after[added.chair].append({ClockTime::fromMinutes(added.start),
                                   ClockTime::fromMinutes(added.start + added.minutes), added.code, NewBlockColor});
    return after;
}

QString BalanceSnapshot::moveText(const BalanceMove& move) const
{
    const QString from = ClockTime::fromMinutes(move.fromStart);
    const QString to = ClockTime::fromMinutes(move.toStart);
    if (move.fromChair == move.toChair)
        return QStringLiteral("%1 %2 %3 → %4").arg(move.code, m_names.value(move.fromChair), from, to);
    return QStringLiteral("%1 %2 %3 → %4 %5")
        .arg(move.code, m_names.value(move.fromChair), from, m_names.value(move.toChair), to);
}

QString BalanceSnapshot::addedText(const BalanceBlock& block) const
{
    return QStringLiteral("%1 %2 %3").arg(block.code, m_names.value(block.chair), ClockTime::fromMinutes(block.start));
}
