#pragma once

#include <QColor>
#include <QList>
#include <QString>

class Database;
class DayViewModel;
struct RowsOnScreen;

// Draws a stored ideal day into the chair columns, chair by chair.
class IdealDayLoader {
public:
    static inline const QColor BlockColor = QColor(0, 255, 0);

    // Every chair column is cleared; each gets its chair's name as caption and the day's blocks of
    // that chair. A row that cannot be shown (a field without a value, a block the column refuses) is
    // left out and the load goes on; the number of the first such failure other than a refusal is
    // returned (0: none), so the caller reports it once. A failure that is not about one row (the
    // chair table) ends the load at once and is thrown: the columns already loaded keep their blocks
    // and the others stay empty, so that no other day's blocks can be saved under this day's name.
    // shown is right also after such a failure: the stored rows now on screen, which are all that a
    // save of this day may replace, and every other stored row of the day.
    static int load(const Database& database, const QList<DayViewModel*>& chairColumns, const QString& day,
                    RowsOnScreen& shown);
};
