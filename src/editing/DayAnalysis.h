#pragma once

#include "editing/DoctorColumn.h"

#include <QList>
#include <QString>

class DayViewModel;

// The practice's hours and row length, as the columns are set up.
struct DayHours {
    QString openTime = QStringLiteral("08:00");
    QString closeTime = QStringLiteral("18:00");
    int slotSetting = 1; // 1 = 10-minute rows, 2 = 15-minute rows
};

// A stored row of the open day that no column shows.
struct UnshownEntry {
    QString chair;
    QString startTime;
    QString code;
    bool stored = true; // false: an unsaved block kept aside (a save writes it)
};

struct ChairFigures {
    QString chair;
    int blocks = 0;
    // Minutes booked inside the opening hours; what runs past the closing time is not opening time.
    int bookedMinutes = 0;
    double utilisation = 0; // percent of the opening minutes
    qint64 feeCents = 0;

    bool operator==(const ChairFigures& other) const = default;
};

struct DemandRow {
    QString time;
    int minutes = 0;

    bool operator==(const DemandRow& other) const = default;
};

struct AnalysisWarning {
    QString chair;
    QString time;
    QString text; // the whole German sentence, naming chair and time
};

// What a day yields, computed from its blocks, the treatments and the hours alone (no widget, no
// database), so that any holder of the day can feed it. Fees and doctor time are summed by the
// doctor column's own computation: the total is always the one "Honorar:" shows.
struct DayAnalysis {
    QList<ChairFigures> chairs;
    int slotMinutes = 10;
    int openingMinutes = 0;
    qint64 totalFeeCents = 0; // the exact sum; "Honorar:" shows it rounded to whole units
    double feePerOpeningHour = 0;
    int doctorMinutesDemanded = 0;
    int doctorMinutesAvailable = 0;
    int overloadedRows = 0;
    int overloadMinutes = 0; // demand above the row length, summed over the rows
    int peakMinutes = 0;
    QString peakTime;        // the first row with the peak; empty when nothing is demanded
    QList<DemandRow> demand; // every row of the day
    QList<AnalysisWarning> warnings;
    // Set when the treatment data do not allow the fee and doctor figures (they stay 0 then).
    QString failure;

    // `load`: what the doctor column was just filled from for the same chairs and hours; summed here
    // when not given.
    static DayAnalysis of(const QList<const DayViewModel*>& chairs, const DayHours& hours,
                          const DoctorColumn::TreatmentLookup& lookup, const QList<UnshownEntry>& unshown = {},
                          const DoctorLoad* load = nullptr);
};
