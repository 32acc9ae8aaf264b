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

void requireFee(BenchSession& s)
{
    QStringList codes;
    for (const DayViewModel* chair : s.window().chairColumns())
        for (const DayBlock& block : chair->blocks())
            codes.append(block.text);
    require(s.feeText() == QString::number(BenchPractice::feeTotal(codes)), "the fee total is wrong");
}

void requireFullDay(BenchSession& s)
{
    require(s.chairBlocks() == BenchPractice::BlocksPerDay, "the day lost blocks");
    require(s.doctorBlocks() == BenchPractice::Rows, "the doctor column is not complete");
    requireFee(s);
}
