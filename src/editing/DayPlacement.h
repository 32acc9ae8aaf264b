#pragma once

#include "dayview/DayViewModel.h"
#include "store/Tables.h"

#include <QList>
#include <QString>

// Why the open day's rows are replaced as a whole.
enum class DayReplacement { Opened, Reloaded, Version, Backup, Recovery, ChairsChanged, HoursChanged };

// Places whole rows of a day into the chair columns: what fits is shown, the rest is kept aside, never
// dropped. A row with a row id (> 0) is a stored one; 0 marks a row not stored yet.
namespace DayPlacement {

struct Result {
    QList<QList<DayBlock>> shown; // per chair column, in the order of the rows
    QList<qint64> shownIds;       // the stored rows among them
    QList<StoredBlock> unshown;   // in the order of the rows
};

// The first column that carries a row's chair shows it. A row stays unshown when no column carries its
// chair, when the column refuses its times (a start outside the hours, a field without value) or when
// it is not stored and overlaps a block placed before it (stored rows are shown as stored, overlaps included). The
// columns' captions and hours are taken; their blocks are not.
Result place(const QList<const DayViewModel*>& chairs, const QList<StoredBlock>& rows);

// "3 Blöcke werden nicht angezeigt: KONT Stuhl 3 09:10, …"; empty for no row.
QString notice(const QList<StoredBlock>& unshown);

// The step's name on the history ("Version wiederhergestellt" and so on).
QString stepName(DayReplacement reason);

} // namespace DayPlacement
