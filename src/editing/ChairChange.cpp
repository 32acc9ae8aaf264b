#include "editing/ChairChange.h"

#include <QHash>
#include <QSet>

ChairChanges chairChangesBetween(const QList<ChairRow>& before, const QList<ChairRow>& now)
{
    QHash<qint64, QString> names;
    for (const ChairRow& chair : now)
        names.insert(chair.id, chair.name);
    QSet<QString> formerNames;
    for (const ChairRow& chair : before)
        formerNames.insert(chair.name);
    ChairChanges changes;
    ChairChanges afterwards;
    int row = 0; // the chair's place once the changes before it are made
    for (const ChairRow& chair : before) {
        const auto found = names.constFind(chair.id);
        if (found == names.cend()) {
            changes.append({chair.name, QString(), false, row});
            continue;
        }
        if (*found != chair.name) {
            // A name another chair had (two names swapped) is reached by way of one no chair has, or the
            // rows of both would end under one name.
            if (formerNames.contains(*found)) {
                const QString via = QChar(1) + QString::number(chair.id);
                changes.append({chair.name, via, true, row});
                afterwards.append({via, *found, true, row});
            } else {
                changes.append({chair.name, *found, true, row});
            }
        }
        ++row;
    }
    return changes + afterwards;
}
