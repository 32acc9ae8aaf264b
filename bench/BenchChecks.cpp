#include "BenchChecks.h"

#include "BenchPractice.h"
#include "BenchSession.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"

#include <stdexcept>

void require(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(what);
}

namespace {
void requireFee(const QList<const DayViewModel*>& chairs, const QString& fee)
{
    QStringList codes;
    for (const DayViewModel* chair : chairs)
        for (const DayBlock& block : chair->blocks())
            codes.append(block.text);
    require(fee == QString::number(BenchPractice::feeTotal(codes)), "the fee total is wrong");
}
} // namespace

void requireFee(BenchSession& s)
{
    requireFee(s.window().chairColumns(), s.feeText());
}

void requireFullDay(BenchSession& s)
{
    require(s.chairBlocks() == BenchPractice::BlocksPerDay, "the day lost blocks");
    require(s.doctorBlocks() == BenchPractice::Rows, "the doctor column is not complete");
    requireFee(s);
}

void requireFullDay(const QList<const DayViewModel*>& chairs, const DayViewModel& doctor, const QString& fee)
{
    int blocks = 0;
    for (const DayViewModel* chair : chairs)
        blocks += chair->count();
    require(blocks == BenchPractice::BlocksPerDay, "the day lost blocks");
    require(doctor.count() == BenchPractice::Rows, "the doctor column is not complete");
    requireFee(chairs, fee);
}
