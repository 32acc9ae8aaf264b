#pragma once

#include "store/Tables.h"

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

// What became of the chairs `before` in table Stuhl `now`, by their identities: a chair whose name differs was
// renamed (its days' rows are taken to have followed it), one that is gone was deleted (its rows stay as they
// were). In table order, each change's row counted after the ones before it, as the editor writes them.
ChairChanges chairChangesBetween(const QList<ChairRow>& before, const QList<ChairRow>& now);
