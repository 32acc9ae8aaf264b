#include "editing/DoctorColumn.h"

#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"

#include <QLocale>

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

constexpr qint64 ExactUnits = qint64(1) << 53;

[[noreturn]] void overflow()
{
    throw LunarisError(LunarisError::Overflow, QStringLiteral("Überlauf"));
}

// Adds one fee to a total in cents. The sum is exact; only a total beyond what a fee box can show
// exactly is refused.
qint64 addFee(qint64 totalCents, qint64 feeCents)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(totalCents, feeCents, &sum) || sum > ExactUnits * 100 || sum < -ExactUnits * 100)
        overflow();
    return sum;
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

qint64 DoctorColumn::centsOf(double fee)
{
    if (!std::isfinite(fee) || std::abs(fee) > double(ExactUnits))
        overflow();
    // The shortest decimal text that reads back as the same double: the digits that were stored.
    const QString text = QString::number(std::abs(fee), 'f', QLocale::FloatingPointShortest);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? text : text.left(point);
    const QString decimals = point < 0 ? QString() : text.mid(point + 1);
    qint64 cents = whole.toLongLong() * 100 + decimals.left(2).leftJustified(2, QLatin1Char('0')).toLongLong();
    const QString rest = decimals.mid(2);
    if (!rest.isEmpty()) {
        // Half to the even neighbour, anything above half up. The text has no trailing zeros, so "5"
        // alone is exactly half.
        const bool exactlyHalf = rest == QLatin1String("5");
        if (rest[0] > QLatin1Char('5') || (rest[0] == QLatin1Char('5') && !exactlyHalf) ||
            (exactlyHalf && cents % 2 != 0))
            ++cents;
    }
    return fee < 0 ? -cents : cents;
}

qint64 DoctorColumn::wholeUnits(qint64 cents)
{
    // Commercial rounding: a half goes away from zero, so a total ending in 50 cents grows by exactly
    // the fee of every whole-euro block added (892,50 shows 893, one 15,00 more 908).
    qint64 units = cents / 100;
    const qint64 rest = cents % 100; // same sign as cents
    if (rest >= 50)
        ++units;
    else if (rest <= -50)
        --units;
    return units;
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
    return wholeUnits(redraw(chairs, doctor, treatments).feeCents);
}

DoctorLoad DoctorColumn::redraw(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
                                const QHash<QString, Treatment>& treatments)
{
    // The table answers the same for a code every time: its numbers are read once per code.
    return redraw(chairs, doctor, lookupIn(treatments), true);
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
    return wholeUnits(redraw(chairs, doctor, lookup, false).feeCents);
}

DoctorLoad DoctorColumn::redraw(const QList<const DayViewModel*>& chairs, DayViewModel& doctor,
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
    return load;
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
        qint64 honCents;
        int drStart, drDauer, drStart2, drDauer2;
    };
    QHash<QString, std::optional<Numbers>> known;
    DoctorLoad load{DoctorDemand(rows.slotMinutes()), 0, {}};
    const RowGrid grid(rows);
    for (const DayViewModel* chair : chairs) {
        qint64& chairFee = load.chairFeeCents.emplace_back(0);
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
                load.feeCents = addFee(load.feeCents, (*read)->honCents);
                chairFee = addFee(chairFee, (*read)->honCents);
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
            n.honCents = centsOf(number(t.hon));
            load.feeCents = addFee(load.feeCents, n.honCents);
            chairFee = addFee(chairFee, n.honCents);
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
