#include "editing/DayPlacement.h"

#include "editing/BlockRules.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"

#include <QStringList>

namespace {
const QColor kBlockColor(0, 255, 0);
// Named one by one up to here; a longer list ends in "…".
constexpr int NamedRows = 5;
} // namespace

DayPlacement::Result DayPlacement::place(const QList<const DayViewModel*>& chairs, const QList<StoredBlock>& rows)
{
    Result result;
    QList<DayViewModel> columns;
    for (const DayViewModel* chair : chairs) {
        DayViewModel probe = *chair;
        probe.clear();
        columns.append(probe);
    }
    for (const StoredBlock& block : rows) {
        int target = -1;
        for (int i = 0; i < columns.size() && target < 0; ++i)
            if (columns[i].caption() == block.row.chair)
                target = i;
        bool placed = false;
        if (target >= 0) {
            DayViewModel& column = columns[target];
            // A field without value cannot be shown either; the row stays as it is.
            placed = runStep([&] {
                const QString start = textOf(block.row.startTime);
                const QString end = textOf(block.row.endTime);
                const QString t = start.trimmed();
                // A stored row is shown as stored, overlaps included (the planner may store them).
                if (block.rowId <= 0 &&
                    (BlockRules::blockAt(column, t) >= 0 || BlockRules::overlapping(column, t, end.trimmed()) >= 0))
                    throw LunarisError(LunarisError::DayViewRefused, QStringLiteral("Termine überlappen!"));
                column.add(start, end, textOf(block.row.code), kBlockColor);
            });
        }
        if (!placed) {
            result.unshown.append(block);
            continue;
        }
        if (block.rowId > 0)
            result.shownIds.append(block.rowId);
    }
    for (const DayViewModel& column : std::as_const(columns))
        result.shown.append(column.blocks());
    return result;
}

QString DayPlacement::notice(const QList<StoredBlock>& unshown)
{
    if (unshown.isEmpty())
        return {};
    QStringList named;
    for (const StoredBlock& block : unshown.mid(0, NamedRows))
        named.append(QStringLiteral("%1 %2 %3")
                         .arg(block.row.code.toString(), block.row.chair, block.row.startTime.toString().trimmed()));
    if (unshown.size() > NamedRows)
        named.append(QStringLiteral("…"));
    const QString head = unshown.size() == 1 ? QStringLiteral("1 Block wird nicht angezeigt: ")
                                             : QStringLiteral("%1 Blöcke werden nicht angezeigt: ").arg(unshown.size());
    return head + named.join(QStringLiteral(", "));
}

QString DayPlacement::stepName(DayReplacement reason)
{
    switch (reason) {
    case DayReplacement::Opened:
        return QStringLiteral("Geöffnet");
    case DayReplacement::Reloaded:
        return QStringLiteral("Neu geladen");
    case DayReplacement::Version:
        return QStringLiteral("Version wiederhergestellt");
    case DayReplacement::Backup:
        return QStringLiteral("Aus der Datensicherung übernommen");
    case DayReplacement::Recovery:
        return QStringLiteral("Wiederhergestellt");
    case DayReplacement::ChairsChanged:
        return QStringLiteral("Stühle geändert");
    case DayReplacement::HoursChanged:
        return QStringLiteral("Öffnungszeiten geändert");
    }
    return {};
}
