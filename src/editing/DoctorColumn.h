#pragma once

#include "store/Tables.h"

#include <QColor>
#include <QHash>
#include <QList>

#include <array>
#include <functional>

class DayViewModel;

// The doctor's demand per row: a fixed table of 101 cells (rows 0 to 100). A row outside it is
// failure 9, as is a window that reaches past row 100.
class DoctorDemand {
public:
    static constexpr int Cells = 101;

    explicit DoctorDemand(int slotMinutes) : m_slotMinutes(slotMinutes) {}

    // Spreads a window of `minutes` from row `row` on: whole rows first, the remainder into the next row.
    void spread(int row, int minutes);
    int at(int row) const;

private:
    int& cell(int row);

    int m_slotMinutes;
    std::array<int, Cells> m_cells{};
};

// What the blocks of a day demand of the doctor, row by row, and what they earn, in cents: the exact
// sum of the blocks' fees, whatever their order.
struct DoctorLoad {
    DoctorDemand demand;
    qint64 feeCents = 0;
    QList<qint64> chairFeeCents; // the same sum for each chair alone, in the order of the chairs
};

// Rebuilds the doctor column from the blocks of the chair columns and sums the day's fee.
class DoctorColumn {
public:
    static inline const QString Caption = QStringLiteral("Dr.-Zeit");
    static inline const QColor Green = QColor(0, 255, 0);
    static inline const QColor Red = QColor(255, 0, 0);

    // The first row of each code, as a look-up by block text.
    static QHash<QString, Treatment> byCode(const QList<Treatment>& treatments);

    // A fee field's value in cents, exactly as its decimal digits say (a third decimal rounds half to
    // even). Beyond 2^53 whole units it is failure 6 (overflow).
    static qint64 centsOf(double fee);
    // Cents as whole units for the fee box and every whole-unit fee shown: halves away from zero.
    static qint64 wholeUnits(qint64 cents);

    // Clears the doctor column and fills it row by row; returns the fee total in whole units. Throws LunarisError on
    // a failure other than a refusal of a day view; what was added to the doctor column up to then stays.
    static qint64 rebuild(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                          const QHash<QString, Treatment>& treatments);
    // The same, returning what the column was filled from, so that the day's analysis need not sum again.
    static DoctorLoad redraw(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                             const QHash<QString, Treatment>& treatments);

    // The same with any look-up of a block's treatment: null when the code is not in the table; the
    // treatment only has to stay valid until the next look-up.
    using TreatmentLookup = std::function<const Treatment*(const QString& code)>;
    // A look-up in a table made by byCode; the table must outlive the look-up.
    static TreatmentLookup lookupIn(const QHash<QString, Treatment>& treatments);
    static qint64 rebuild(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                          const TreatmentLookup& lookup);

    // The demand per row of `rows` (a column with the day's hours and slot) and the fee total, without
    // drawing: the one place where a day's fee is summed. Throws as rebuild does, and failure 6 when the
    // exact total passes 2^53 whole units.
    static DoctorLoad compute(const QList<const DayViewModel*>& chairs, const DayViewModel& rows,
                              const TreatmentLookup& lookup);

private:
    // sameAnswers: the look-up gives the same treatment for a code every time, so each code's
    // numbers are read once.
    static DoctorLoad redraw(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                             const TreatmentLookup& lookup, bool sameAnswers);
    static DoctorLoad compute(const QList<const DayViewModel*>& chairs, const DayViewModel& rows,
                              const TreatmentLookup& lookup, bool sameAnswers);
};
