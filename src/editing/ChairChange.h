#pragma once

#include <QList>
#include <QString>

// A chair renamed or deleted in the chair editor, in the order the editor wrote it.
struct ChairChange {
    QString from;
    QString to;                    // empty: deleted
    bool storedRowsFollow = false; // the stored days' rows were renamed or deleted with it
    int row = -1;                  // its place in table Stuhl when it was changed (chairs of one name differ by it)
};
using ChairChanges = QList<ChairChange>;
