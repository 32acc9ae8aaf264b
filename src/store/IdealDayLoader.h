#pragma once

#include <QColor>
#include <QList>
#include <QString>

class Database;
class DayViewModel;

// Draws a stored ideal day into the chair columns, chair by chair.
class IdealDayLoader {
public:
    static inline const QColor BlockColor = QColor(0, 255, 0);

    // Each chair column is cleared, gets its chair's name as caption and the day's blocks of that chair.
    // A block a column refuses is left out; any other failure ends the load at once (and is thrown):
    // the columns already loaded keep their blocks, the others keep what they showed.
    static void load(const Database& database, const QList<DayViewModel*>& chairColumns, const QString& day);
};
