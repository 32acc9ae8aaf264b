#include "editing/DoctorColumn.h"

#include "app/LunarisError.h"
#include "app/Steps.h"
#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {
[[noreturn]] void outOfRange()
{
    throw LunarisError(LunarisError::OutOfRange, QStringLiteral("Index außerhalb des gültigen Bereichs"));
}

// The doctor column's rows, read once per rebuild: the row of a minute of the day is counted, not
// looked up through its clock text (a rebuild of a full day places a thousand windows).
struct Rows {
    explicit Rows(const DayViewModel& doctor)
        : first(ClockTime::minutesOf(doctor.dayStart())), slotMinutes(doctor.slotMinutes()), count(doctor.rowCount())
    {
    }
    // The row the minute lies in (as the column's rowOfTime counts it), or -1 outside the day's rows.
    int of(int minutes) const
    {
        if (!first || minutes < *first)
            return -1;
        const int row = (minutes - *first) / slotMinutes;
        return row < count ? row : -1;
    }
    std::optional<int> first;
    int slotMinutes;
    int count;
};

// Adds one doctor window of a block: `start` minutes after the block's start, `length` minutes long.
void addWindow(DoctorDemand& demand, const Rows& rows, const QString& blockStart, int start, int length)
{
    if (length <= 0)
        return; // nothing demanded; a negative length from foreign data must not hide other chairs' demand
    const auto blockMinutes = ClockTime::minutesOf(blockStart.trimmed());
    if (!blockMinutes)
        return;
    if (*blockMinutes + start >= 24 * 60 || *blockMinutes + start < 0)
        return;
    // A window outside the day's rows adds nothing.
    const int row = rows.of(*blockMinutes + start);
    if (row < 0)
        return;
    demand.spread(row, length);
}

// Adds one fee to the total and rounds the sum to whole units (halves to the even neighbour), so
// 45 then 62.5 make 108. A total beyond what is counted exactly is an overflow.
qint64 addFee(qint64 total, double fee)
{
    constexpr double ExactLimit = 9007199254740992.0; // 2^53
    const double sum = std::nearbyint(double(total) + fee);
    if (!(std::abs(sum) <= ExactLimit))
        throw LunarisError(LunarisError::Overflow, QStringLiteral("Überlauf"));
    return static_cast<qint64>(sum);
}
} // namespace

int& DoctorDemand::cell(int row)
{
    if (row < 0 || row >= Cells)
        outOfRange();
    return m_cells[row];
}

int DoctorDemand::at(int row) const
{
    if (row < 0 || row >= Cells)
        outOfRange();
    return m_cells[row];
}

void DoctorDemand::spread(int row, int minutes)
{
    const int rows = minutes / m_slotMinutes + 1;
    const int rest = minutes - m_slotMinutes * (rows - 1);
    auto add = [this](int r, int value) {
        int& c = cell(r);
        if (c > std::numeric_limits<qint16>::max() - value)
            throw LunarisError(LunarisError::Overflow, QStringLiteral("Überlauf"));
        c += value;
    };
    if (rows == 1) {
        add(row, rest);
        return;
    }
    add(row, m_slotMinutes);
    add(row + rows - 1, rest);
    for (int r = row + 1; r <= row + rows - 2; ++r)
        add(r, m_slotMinutes);
}

QHash<QString, Treatment> DoctorColumn::byCode(const QList<Treatment>& treatments)
{
    QHash<QString, Treatment> result;
    for (const Treatment& t : treatments)
        if (!result.contains(t.code))
            result.insert(t.code, t);
    return result;
}

qint64 DoctorColumn::rebuild(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                             const QHash<QString, Treatment>& treatments)
{
    return rebuild(chairs, doctor, lookupIn(treatments));
}

DoctorColumn::TreatmentLookup DoctorColumn::lookupIn(const QHash<QString, Treatment>& treatments)
{
    return [&treatments](const QString& code) -> const Treatment* {
        const auto found = treatments.constFind(code);
        return found == treatments.constEnd() ? nullptr : &*found;
    };
}

qint64 DoctorColumn::rebuild(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                             const TreatmentLookup& lookup)
{
    const int slotMinutes = doctor.slotMinutes();
    doctor.setCaption(Caption);
    doctor.clear();
    const DoctorLoad load = compute(chairs, doctor, lookup);

    const int rows = doctor.rowCount();
    for (int r = 0; r < rows; ++r) {
        const int minutes = load.demand.at(r);
        if (minutes <= 0)
            continue;
        runStepSkippingRefusal([&] {
            const QString start = doctor.timeOfRow(r);
            doctor.add(start, ClockTime::addMinutes(start, 5), QString::number(minutes),
                       minutes > slotMinutes ? Red : Green);
        });
    }
    return load.fee;
}

DoctorLoad DoctorColumn::compute(const QList<const DayViewModel*>& chairs, const DayViewModel& rows,
                                 const TreatmentLookup& lookup)
{
    DoctorLoad load{DoctorDemand(rows.slotMinutes()), 0, {}};
    const Rows grid(rows);
    for (const DayViewModel* chair : chairs) {
        qint64& chairFee = load.chairFees.emplace_back(0);
        for (const DayBlock& block : chair->blocks()) {
            const Treatment* found = lookup(block.text);
            if (!found)
                continue; // a code no longer in the treatment table demands nothing and costs nothing
            const Treatment& t = *found;
            const double hon = number(t.hon);
            load.fee = addFee(load.fee, hon);
            chairFee = addFee(chairFee, hon);
            // One field after the other, so that of two bad fields the same one is always reported.
            const int drStart = wholeNumber(t.drStart);
            const int drDauer = wholeNumber(t.drDauer);
            addWindow(load.demand, grid, block.startTime, drStart, drDauer);
            const int drStart2 = wholeNumber(t.drStart2);
            const int drDauer2 = wholeNumber(t.drDauer2);
            addWindow(load.demand, grid, block.startTime, drStart2, drDauer2);
        }
    }
    return load;
}
