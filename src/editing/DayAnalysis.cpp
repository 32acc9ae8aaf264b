#include "editing/DayAnalysis.h"

#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "kernel/LunarisError.h"

#include <algorithm>

namespace {
QString warningOf(const QString& chair, const QString& time, const QString& what)
{
    return QStringLiteral("%1, %2: %3").arg(chair, time, what);
}

void countBlocks(DayAnalysis& result, const DayViewModel& chair, int open, int close,
                 const DoctorColumn::TreatmentLookup& lookup)
{
    ChairFigures figures;
    figures.chair = chair.caption();
    // The booked spans inside the opening hours; stored blocks may overlap, and their common time
    // is booked once.
    QList<std::pair<int, int>> spans;
    spans.reserve(chair.count());
    for (const DayBlock& block : chair.blocks()) {
        ++figures.blocks;
        const QString start = block.startTime.trimmed();
        const auto from = ClockTime::minutesOf(start);
        const auto to = ClockTime::minutesOf(block.endTime.trimmed());
        if (from && to) {
            if (std::min(*to, close) > std::max(*from, open))
                spans.append({std::max(*from, open), std::min(*to, close)});
            if (*to > close)
                result.warnings.append({figures.chair, start,
                                        warningOf(figures.chair, start,
                                                  QStringLiteral("„%1“ endet um %2, nach der Schließzeit.")
                                                      .arg(block.text, block.endTime.trimmed()))});
        }
        if (!lookup(block.text))
            result.warnings.append(
                {figures.chair, start,
                 warningOf(figures.chair, start,
                           QStringLiteral("Die Behandlung „%1“ gibt es nicht mehr; sie zählt weder Honorar noch "
                                          "Arztzeit.")
                               .arg(block.text))});
    }
    std::sort(spans.begin(), spans.end());
    int coveredUntil = open;
    for (const auto& [from, to] : spans) {
        figures.bookedMinutes += std::max(0, to - std::max(from, coveredUntil));
        coveredUntil = std::max(coveredUntil, to);
    }
    const int opening = close - open;
    figures.utilisation = opening > 0 ? 100.0 * figures.bookedMinutes / opening : 0;
    result.chairs.append(figures);
}
} // namespace

DayAnalysis DayAnalysis::of(const QList<const DayViewModel*>& chairs, const DayHours& hours,
                            const DoctorColumn::TreatmentLookup& lookup, const QList<UnshownEntry>& unshown,
                            const DoctorLoad* givenLoad)
{
    DayAnalysis result;
    DayViewModel rows;
    rows.setSlotSize(hours.slotSetting);
    rows.setDayEnd(hours.closeTime);
    rows.setDayStart(hours.openTime);
    result.slotMinutes = rows.slotMinutes();
    const int open = ClockTime::minutesOf(rows.dayStart()).value_or(0);
    const int close = std::max(open, ClockTime::minutesOf(rows.dayEnd()).value_or(open));
    result.openingMinutes = close - open;
    result.doctorMinutesAvailable = result.openingMinutes;

    for (const DayViewModel* chair : chairs)
        countBlocks(result, *chair, open, close, lookup);
    for (const UnshownEntry& entry : unshown)
        result.warnings.append(
            {entry.chair, entry.startTime,
             warningOf(entry.chair, entry.startTime,
                       (entry.stored ? QStringLiteral("Der gespeicherte Eintrag „%1“ kann nicht angezeigt werden.")
                                     : QStringLiteral("Der Block „%1“ kann nicht angezeigt werden."))
                           .arg(entry.code))});

    try {
        const DoctorLoad load = givenLoad ? *givenLoad : DoctorColumn::compute(chairs, rows, lookup);
        result.totalFeeCents = load.feeCents;
        for (int c = 0; c < chairs.size(); ++c)
            result.chairs[c].feeCents = load.chairFeeCents[c];
        const int rowCount = rows.rowCount();
        for (int r = 0; r < rowCount; ++r) {
            const int minutes = load.demand.at(r);
            result.demand.append({rows.timeOfRow(r), minutes});
            result.doctorMinutesDemanded += minutes;
            if (minutes > result.slotMinutes) {
                ++result.overloadedRows;
                result.overloadMinutes += minutes - result.slotMinutes;
            }
            if (minutes > result.peakMinutes) {
                result.peakMinutes = minutes;
                result.peakTime = result.demand.last().time;
            }
        }
    } catch (const LunarisError& e) {
        // The doctor column reports the failure in its own box; the panel only says why it is empty.
        result.failure = QStringLiteral("Honorar und Arztzeit können nicht berechnet werden (Fehler %1: %2).")
                             .arg(e.number())
                             .arg(e.description());
        for (ChairFigures& figures : result.chairs)
            figures.feeCents = 0;
        result.totalFeeCents = 0;
        result.demand.clear();
        result.doctorMinutesDemanded = result.overloadedRows = result.overloadMinutes = result.peakMinutes = 0;
        result.peakTime.clear();
    }
    result.feePerOpeningHour = result.openingMinutes > 0 ? result.totalFeeCents * 0.6 / result.openingMinutes : 0;
    return result;
}
