#pragma once

#include <QList>
#include <QString>

#include <optional>

class DayViewModel;
struct StoredBlock;

// The rules of placing blocks in a chair column. Times are compared as clock texts with blanks removed,
// which is time order because the form is fixed.
namespace BlockRules {

// Index of the first block with start <= t < end, or -1; the block `ignore` (one being moved) does not count.
int blockAt(const DayViewModel& column, const QString& t, int ignore = -1);
// End of a block of `minutes` starting at t; nothing for a negative length or one passing midnight.
std::optional<QString> endOfPlacement(const QString& t, int minutes);
// Index of the first block the span [t, e) would run into or enclose, or -1. Touching is allowed.
int overlapping(const DayViewModel& column, const QString& t, const QString& e, int ignore = -1);
// Whether a stored row of this chair that is not on screen lies in the span [t, e) the way a block on
// screen would refuse it (t inside it, e inside it or at its end, or enclosing it). Rows without
// readable times (also "8:00") are read as clock times where possible; others occupy no time.
bool overlapsUnshown(const QList<StoredBlock>& unshown, const QString& chair, const QString& t, const QString& e);
// How often a block text occurs in the chair columns (exact, case-sensitive).
int countOf(const QList<const DayViewModel*>& chairs, const QString& text);
// The block information: "<code> dauert <n> min." CR "Anzahl = <count>".
QString infoText(const QString& text, int minutes, int count);

} // namespace BlockRules
