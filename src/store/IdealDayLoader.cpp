#include "store/IdealDayLoader.h"

#include "dayview/DayViewModel.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
#include "store/Database.h"
#include "store/Tables.h"

#include <QSet>

namespace {
constexpr int NoCurrentRecord = 3021;

// Every stored row of the day that is not on screen, whatever ended the load.
void collectUnshown(const QList<StoredBlock>& stored, RowsOnScreen& shown)
{
    shown.stored = stored;
    shown.unshown.clear();
    for (const StoredBlock& block : stored)
        if (!shown.rowIds.contains(block.rowId))
            shown.unshown.append(block);
}
} // namespace

int IdealDayLoader::load(const Database& database, const QList<DayViewModel*>& chairColumns, const QString& day,
                         RowsOnScreen& shown)
{
    shown = RowsOnScreen();
    shown.day = day;
    // Until the stored rows are read, a save under this name could delete rows nobody saw.
    shown.complete = day.isEmpty();
    for (DayViewModel* column : chairColumns)
        column->clear();
    // Read before the rows: a commit of another program between the two then makes the stamp older than
    // the rows, never newer, so a later save compares the rows rather than take a change for seen.
    shown.stamp = database.changeStamp();
    // A day without a name has no rows.
    const DayInStore storedDay = day.isEmpty() ? DayInStore{{}, false, ChairTable(database).storedNames()}
                                               : IdealDayStore(database).storedDayWithChairs(day);
    const QVariantList& chairs = storedDay.chairs;
    const QList<StoredBlock>& stored = storedDay.blocks;
    shown.listed = storedDay.listed;
    shown.listingId = storedDay.listingId;
    shown.complete = true;

    int firstRowFailure = 0;
    QSet<QString> loadedChairs;
    try {
        for (int i = 0; i < chairColumns.size(); ++i) {
            DayViewModel& column = *chairColumns[i];
            // Chairs deleted during the run leave columns without a chair row.
            if (i >= chairs.size())
                throw LunarisError(NoCurrentRecord, QStringLiteral("Kein aktueller Datensatz."));
            const QString chair = textOf(chairs[i]);
            column.setCaption(chair);
            shown.chairs.insert(chair);
            // Two chairs of the same name: the first of their columns shows the rows. Showing them in
            // both would store them twice with every save.
            if (loadedChairs.contains(chair))
                continue;
            loadedChairs.insert(chair);
            for (const StoredBlock& block : stored) {
                if (block.row.chair != chair)
                    continue;
                // A row that cannot be shown stays unseen (and stored); the next row is read.
                try {
                    const QString start = textOf(block.row.startTime);
                    const QString end = textOf(block.row.endTime);
                    const QString code = textOf(block.row.code);
                    column.add(start, end, code, BlockColor);
                    shown.rowIds.insert(block.rowId);
                } catch (const LunarisError& e) {
                    if (e.number() != LunarisError::DayViewRefused && firstRowFailure == 0)
                        firstRowFailure = e.number();
                }
            }
        }
    } catch (...) {
        collectUnshown(stored, shown);
        throw;
    }
    collectUnshown(stored, shown);
    return firstRowFailure;
}
