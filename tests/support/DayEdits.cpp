#include "DayEdits.h"

#include "app/frmLunaris.h"
#include "dayview/ClockTime.h"
#include "editing/BlockEdits.h"
#include "editing/OpenDay.h"

bool placeBlock(frmLunaris& window, int chair, const QString& start, const QString& end, const QString& code)
{
    const int minutes = ClockTime::minutesOf(end).value_or(0) - ClockTime::minutesOf(start).value_or(0);
    return window.openDay().place(chair, start, code, minutes) == OpenDay::Refusal::None;
}

void replaceBlocks(frmLunaris& window, const QList<QList<DayBlock>>& blocks)
{
    OpenDay& day = window.openDay();
    day.history().push(new ReplaceDayEdit(day, blocks, day.unsavedUnshown(), QStringLiteral("Ersetzt")));
}
