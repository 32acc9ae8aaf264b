#include "editing/DoctorColumn.h"

#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
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

// The rows of a column in minutes, read once for all windows of a rebuild.
struct RowGrid {
    explicit RowGrid(const DayViewModel& rows)
        : dayStart(ClockTime::minutesOf(rows.dayStart()).value_or(0)), slotMinutes(rows.slotMinutes()),
          rowCount(rows.rowCount())
    {
    }
    int dayStart;
    int slotMinutes;
    int rowCount;
};

// Adds one doctor window of a block that starts at `blockStart` (minutes): `start` minutes after it,
// `length` minutes long.
void addWindow(DoctorDemand& demand, const RowGrid& grid, int blockStart, int start, int length)
{
    if (length <= 0)
        return; // nothing demanded; a negative length from foreign data must not hide other chairs' demand
    const int windowStart = blockStart + start;
    if (windowStart >= 24 * 60 || windowStart < 0)
        return;
    // A window outside the day's rows adds nothing.
    if (windowStart < grid.dayStart)
        return;
    const int row = (windowStart - grid.dayStart) / grid.slotMinutes;
    if (row >= grid.rowCount)
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
    // The table answers the same for a code every time: its numbers are read once per code.
    return rebuild(chairs, doctor, lookupIn(treatments), true);
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
    return rebuild(chairs, doctor, lookup, false);
}

qint64 DoctorColumn::rebuild(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                             const TreatmentLookup& lookup, bool sameAnswers)
{
    const int slotMinutes = doctor.slotMinutes();
    doctor.setCaption(Caption);
    doctor.clear();
    const DoctorLoad load = compute(chairs, doctor, lookup, sameAnswers);

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
    return compute(chairs, rows, lookup, false);
}

DoctorLoad DoctorColumn::compute(const QList<const DayViewModel*>& chairs, const DayViewModel& rows,
                                 const TreatmentLookup& lookup, bool sameAnswers)
{
    // A treatment's numbers as read for its first block; nothing: the code is not in the table.
    struct Numbers {
        double hon;
        int drStart, drDauer, drStart2, drDauer2;
    };
    QHash<QString, std::optional<Numbers>> known;
    DoctorLoad load{DoctorDemand(rows.slotMinutes()), 0, {}};
    const RowGrid grid(rows);
    for (const DayViewModel* chair : chairs) {
        qint64& chairFee = load.chairFees.emplace_back(0);
        for (const DayBlock& block : chair->blocks()) {
            // A block without a clock time demands nothing (it still costs its fee).
            const auto blockStart = ClockTime::minutesOf(block.startTime.trimmed());
            const auto addWindow = [&](int start, int length) {
                if (blockStart)
                    ::addWindow(load.demand, grid, *blockStart, start, length);
            };
            if (const auto read = sameAnswers ? known.constFind(block.text) : known.constEnd();
                read != known.constEnd()) {
                if (!*read)
                    continue;
                load.fee = addFee(load.fee, (*read)->hon);
                chairFee = addFee(chairFee, (*read)->hon);
                addWindow((*read)->drStart, (*read)->drDauer);
                addWindow((*read)->drStart2, (*read)->drDauer2);
                continue;
            }
            const Treatment* found = lookup(block.text);
            if (!found) {
                if (sameAnswers)
                    known.insert(block.text, std::nullopt);
                continue; // a code no longer in the treatment table demands nothing and costs nothing
            }
            const Treatment& t = *found;
            Numbers n{};
            n.hon = number(t.hon);
            load.fee = addFee(load.fee, n.hon);
            chairFee = addFee(chairFee, n.hon);
            // One field after the other, so that of two bad fields the same one is always reported.
            n.drStart = wholeNumber(t.drStart);
            n.drDauer = wholeNumber(t.drDauer);
            addWindow(n.drStart, n.drDauer);
            n.drStart2 = wholeNumber(t.drStart2);
            n.drDauer2 = wholeNumber(t.drDauer2);
            addWindow(n.drStart2, n.drDauer2);
            if (sameAnswers)
                known.insert(block.text, n);
        }
    }
    return load;
}
