#include "editing/OpenDay.h"

#include "editing/BlockEdits.h"
#include "editing/BlockRules.h"
#include "editing/DoctorColumn.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace {
const QColor kBlockColor(0, 255, 0);
}

OpenDay::OpenDay(LunarisState& state, QObject* parent) : QObject(parent), m_state(state)
{
    // The shared state's `modified()` reads this history's clean state: the day in the editor is this one.
    m_state.m_dayHistory = &m_history;
    // Every step on the history (made, undone, redone) is one change of the blocks.
    connect(&m_history, &QUndoStack::indexChanged, this, &OpenDay::followHistory);
}

OpenDay::~OpenDay()
{
    // The history empties itself on the way out; that is no edit anybody should follow.
    m_history.disconnect();
    // A later window on the same state may have taken its place already.
    if (m_state.m_dayHistory == &m_history)
        m_state.m_dayHistory = nullptr;
}

void OpenDay::followHistory()
{
    if (m_forgetting)
        return;
    emit blocksChanged(std::exchange(m_changedChairs, {}));
}

const QString& OpenDay::name() const
{
    return m_state.CurrentIdealtag;
}

bool OpenDay::isModified() const
{
    return !m_history.isClean();
}

void OpenDay::touch()
{
    markUnsaved();
    emit blocksChanged({});
}

void OpenDay::markUnsaved()
{
    m_history.resetClean();
}

void OpenDay::markSaved()
{
    m_history.setClean();
}

void OpenDay::forgetHistory()
{
    m_forgetting = true;
    m_history.clear();
    // Also after resetClean on an empty history, which clear() leaves as it is.
    m_history.setClean();
    m_forgetting = false;
    m_changedChairs.clear();
    // The day now in the editor is the stored one (or a new, empty one): unmodified.
    emit historyReset();
}

namespace {
bool sameTimeText(const QVariant& a, const QString& b)
{
    return a.toString().trimmed() == b.trimmed();
}
} // namespace

QList<StoredBlock> OpenDay::allRows() const
{
    QList<StoredBlock> rows;
    QSet<qint64> used;
    for (const DayViewModel* chair : chairs())
        for (const DayBlock& block : chair->blocks()) {
            StoredBlock row{0, {chair->caption(), block.text, block.startTime, block.endTime}};
            // The stored row it shows, each one once: a save need not write it anew.
            for (const StoredBlock& stored : m_rowsOnScreen.stored)
                if (m_rowsOnScreen.rowIds.contains(stored.rowId) && !used.contains(stored.rowId) &&
                    stored.row.chair == chair->caption() && stored.row.code.toString() == block.text &&
                    sameTimeText(stored.row.startTime, block.startTime) &&
                    sameTimeText(stored.row.endTime, block.endTime)) {
                    row = stored;
                    used.insert(stored.rowId);
                    break;
                }
            rows.append(row);
        }
    return rows + m_rowsOnScreen.unshown + m_unsavedUnshown;
}

QString OpenDay::replace(const QList<StoredBlock>& rows, DayReplacement reason, bool undoable, const QString& step)
{
    const DayPlacement::Result placed = DayPlacement::place(chairs(), rows);
    m_replaceNotice = DayPlacement::notice(placed.unshown);
    // Every stored row the window knows of is now either shown or among the unshown ones below; a save
    // replaces all but the stored unshown ones.
    auto replaceStoredUnshown = [this] {
        for (const StoredBlock& block : std::as_const(m_rowsOnScreen.unshown))
            m_rowsOnScreen.rowIds.insert(block.rowId);
        m_rowsOnScreen.unshown.clear();
    };
    if (undoable) {
        // Undo may come after a save that wrote other rows: what is not shown is kept as unsaved rows,
        // which every save writes again, so no row id is remembered on the history.
        QList<StoredBlock> unshown = placed.unshown;
        for (StoredBlock& block : unshown)
            block.rowId = 0;
        auto* edit =
            new ReplaceDayEdit(*this, placed.shown, unshown, step.isEmpty() ? DayPlacement::stepName(reason) : step);
        replaceStoredUnshown();
        m_history.push(edit);
        emit dayReplaced(reason, m_replaceNotice);
        return m_replaceNotice;
    }
    replaceStoredUnshown();
    QList<StoredBlock> unsaved;
    for (const StoredBlock& block : placed.unshown) {
        if (block.rowId > 0) {
            m_rowsOnScreen.rowIds.remove(block.rowId);
            m_rowsOnScreen.unshown.append(block);
        } else {
            unsaved.append(block);
        }
    }
    bool changed = false;
    for (int chair = 0; chair < chairCount(); ++chair) {
        DayViewModel& column = m_columns[chair];
        const QList<DayBlock> after = placed.shown.value(chair);
        changed = changed || column.blocks() != after;
        column.clear();
        for (const DayBlock& block : after)
            column.insert(column.count(), block);
    }
    m_unsavedUnshown = unsaved;
    if (reason == DayReplacement::Opened || reason == DayReplacement::Reloaded) {
        forgetHistory();
    } else if (changed) {
        // The steps on the history name blocks by their place in the column.
        const bool wasModified = isModified();
        forgetHistory();
        if (wasModified || !m_unsavedUnshown.isEmpty())
            markUnsaved();
    }
    emit dayReplaced(reason, m_replaceNotice);
    return m_replaceNotice;
}

namespace {
// The chairs of the columns, by column, as the changes leave them: each column's chair under its
// name now, in its place now; -1 for a column whose chair was deleted.
QList<int> placesAfter(const QStringList& captions, const ChairChanges& changes, QStringList& names)
{
    names = captions;
    QList<int> columnAt; // the column each table row came from
    for (int i = 0; i < captions.size(); ++i)
        columnAt.append(i);
    for (const ChairChange& change : changes) {
        // The change's own place; without one (or a stale one), the first chair of its name.
        int row = change.row >= 0 && change.row < names.size() && names[change.row] == change.from
                      ? change.row
                      : int(names.indexOf(change.from));
        if (row < 0)
            continue;
        if (change.to.isEmpty()) {
            names.removeAt(row);
            columnAt.removeAt(row);
        } else {
            names[row] = change.to;
        }
    }
    QList<int> places(captions.size(), -1);
    for (int row = 0; row < columnAt.size(); ++row)
        places[columnAt[row]] = row;
    return places;
}
} // namespace

bool OpenDay::followChairs(const ChairChanges& changes, const QStringList& chairs)
{
    const int oldCount = chairCount();
    QStringList captions;
    for (int i = 0; i < oldCount; ++i)
        captions.append(m_columns[i].caption());
    QStringList namesAfter;
    const QList<int> places = placesAfter(captions, changes, namesAfter);
    QList<QList<DayBlock>> blocksOf;
    for (int i = 0; i < oldCount; ++i)
        blocksOf.append(m_columns[i].blocks());

    // The remembered rows follow what the editor wrote to the table: renamed or deleted with the chair.
    // Rows left under a deleted chair's name stay stored and are no longer shown.
    auto followRow = [&](StoredBlock& block) {
        for (const ChairChange& change : changes)
            if (block.row.chair == change.from && change.storedRowsFollow)
                block.row.chair = change.to;
    };
    for (StoredBlock& block : m_rowsOnScreen.stored)
        followRow(block);
    for (StoredBlock& block : m_rowsOnScreen.unshown)
        followRow(block);
    // Unsaved rows are the user's work: they follow every rename of their chair, and go only with a chair
    // deleted together with its entries.
    auto deletedWithEntries = [&](const QString& chair) {
        return std::any_of(changes.cbegin(), changes.cend(), [&](const ChairChange& change) {
            return change.from == chair && change.to.isEmpty() && change.storedRowsFollow;
        });
    };
    m_unsavedUnshown.removeIf([&](const StoredBlock& block) { return deletedWithEntries(block.row.chair); });
    for (StoredBlock& block : m_unsavedUnshown)
        for (const ChairChange& change : changes)
            if (block.row.chair == change.from && !change.to.isEmpty())
                block.row.chair = change.to;
    auto deletedWithChair = [&](const StoredBlock& block) { return block.row.chair.isEmpty(); };
    for (const StoredBlock& block : std::as_const(m_rowsOnScreen.stored))
        if (deletedWithChair(block))
            m_rowsOnScreen.rowIds.remove(block.rowId);
    m_rowsOnScreen.stored.removeIf(deletedWithChair);
    m_rowsOnScreen.unshown.removeIf(deletedWithChair);

    const int newCount = std::min(int(chairs.size()), m_state.MaxChairs);
    QSet<QString> shownChairs;
    bool moved = newCount != oldCount;
    bool renamedOnly = true; // the screen now differs from the stored rows only where a rename did not follow
    for (int i = 0; i < Columns; ++i) {
        DayViewModel& column = m_columns[i];
        column.clear();
        column.setCaption(i < newCount ? chairs[i] : QString());
    }
    for (int from = 0; from < oldCount; ++from) {
        const int to = places[from];
        // A deleted chair, one beyond the columns now, or a row that is another chair now: its blocks go.
        if (to < 0 || to >= newCount || namesAfter.value(to) != chairs[to]) {
            moved = moved || !blocksOf[from].isEmpty();
            // Unsaved blocks stay with the day as unshown rows under their chair's name now; stored ones
            // are dealt with below.
            const QString chair = to < 0 ? captions[from] : namesAfter.value(to, captions[from]);
            for (const DayBlock& block : std::as_const(blocksOf[from])) {
                const bool stored = std::any_of(
                    m_rowsOnScreen.stored.cbegin(), m_rowsOnScreen.stored.cend(), [&](const StoredBlock& row) {
                        return m_rowsOnScreen.rowIds.contains(row.rowId) &&
                               (row.row.chair == captions[from] || row.row.chair == chair) &&
                               row.row.code.toString() == block.text &&
                               sameTimeText(row.row.startTime, block.startTime) &&
                               sameTimeText(row.row.endTime, block.endTime);
                    });
                if (!stored && !deletedWithEntries(captions[from]))
                    m_unsavedUnshown.append({0, {chair, block.text, block.startTime, block.endTime}});
            }
            continue;
        }
        moved = moved || to != from;
        shownChairs.insert(chairs[to]);
        for (const DayBlock& block : std::as_const(blocksOf[from]))
            m_columns[to].insert(m_columns[to].count(), block);
    }
    m_state.ChairCount = newCount;
    // A save replaces rows of the chairs with a column only.
    m_rowsOnScreen.chairs = QSet<QString>(chairs.cbegin(), chairs.cbegin() + newCount);
    // Stored rows whose chair has no column now are kept, unshown, by the next save.
    for (const StoredBlock& block : std::as_const(m_rowsOnScreen.stored))
        if (m_rowsOnScreen.rowIds.contains(block.rowId) && !shownChairs.contains(block.row.chair)) {
            bool renamedOnScreen = false;
            for (const ChairChange& change : changes)
                if (!change.storedRowsFollow && !change.to.isEmpty() && block.row.chair == change.from)
                    renamedOnScreen = shownChairs.contains(change.to);
            if (renamedOnScreen) {
                // Shown under the new name; the next save writes it there.
                renamedOnly = false;
                continue;
            }
            m_rowsOnScreen.rowIds.remove(block.rowId);
            m_rowsOnScreen.unshown.append(block);
        }
    const bool wasModified = isModified();
    if (moved)
        forgetHistory();
    if (wasModified || !renamedOnly || !m_unsavedUnshown.isEmpty())
        markUnsaved();
    // Rows kept aside come back where their chair has a column again; a new column has the day's hours.
    for (int i = 1; i < Columns; ++i) {
        m_columns[i].setSlotSize(m_columns[0].slotSize());
        m_columns[i].setDayEnd(m_columns[0].dayEnd());
        m_columns[i].setDayStart(m_columns[0].dayStart());
    }
    replace(allRows(), DayReplacement::ChairsChanged, false);
    return moved;
}

bool OpenDay::followHours(const QString& open, const QString& close, int slotSetting)
{
    const QList<StoredBlock> rows = allRows();
    const qsizetype unshownBefore = m_rowsOnScreen.unshown.size() + m_unsavedUnshown.size();
    for (int i = 0; i < Columns; ++i) {
        DayViewModel& column = m_columns[i];
        column.setSlotSize(slotSetting);
        column.setDayEnd(close);
        column.setDayStart(open);
    }
    // Blocks that no longer start inside the day are kept as unshown rows; those that fit again come back.
    replace(rows, DayReplacement::HoursChanged, false);
    return m_rowsOnScreen.unshown.size() + m_unsavedUnshown.size() > unshownBefore;
}

void OpenDay::noteChanged(int chair)
{
    if (!m_changedChairs.contains(chair))
        m_changedChairs.append(chair);
}

int OpenDay::chairCount() const
{
    return m_state.ChairCount;
}

QList<DayViewModel> OpenDay::emptyChairs() const
{
    QList<DayViewModel> columns;
    for (int i = 0; i < chairCount(); ++i) {
        columns.append(m_columns[i]);
        columns.last().clear();
    }
    return columns;
}

QString OpenDay::replaceByRead(const QList<DayViewModel>& read, const RowsOnScreen& shown, DayReplacement reason)
{
    // The placement takes the columns' captions, not their blocks.
    for (int i = 0; i < chairCount() && i < read.size(); ++i)
        m_columns[i].setCaption(read[i].caption());
    m_rowsOnScreen = shown;
    return replace(shown.stored, reason, false);
}

void OpenDay::keepUnfinishedRead(const QList<DayViewModel>& read, const RowsOnScreen& shown)
{
    for (int i = 0; i < chairCount() && i < read.size(); ++i) {
        DayViewModel& column = m_columns[i];
        column.setCaption(read[i].caption());
        column.clear();
        for (const DayBlock& block : read[i].blocks())
            column.insert(column.count(), block);
    }
    m_rowsOnScreen = shown;
    // The previous day's unsaved rows kept aside are not this day's: a save would write them under its name.
    m_unsavedUnshown.clear();
}

DoctorLoad OpenDay::redrawDoctor(const QHash<QString, Treatment>& treatments)
{
    return DoctorColumn::redraw(chairs(), m_columns[chairCount()], treatments);
}

QList<const DayViewModel*> OpenDay::chairs() const
{
    QList<const DayViewModel*> models;
    for (int i = 0; i < chairCount(); ++i)
        models.append(&m_columns[i]);
    return models;
}

QList<const DayViewModel*> OpenDay::columnsWithDoctor() const
{
    QList<const DayViewModel*> models = chairs();
    models.append(&m_columns[chairCount()]);
    return models;
}

int OpenDay::blockAt(int chair, const QString& t) const
{
    return BlockRules::blockAt(column(chair), t);
}

bool OpenDay::overlaps(int chair, const QString& t, const QString& e, int ignore) const
{
    const DayViewModel& blocks = column(chair);
    // Stored rows the screen does not show still occupy their time: a save keeps them.
    return BlockRules::overlapping(blocks, t, e, ignore) >= 0 ||
           BlockRules::overlapsUnshown(m_rowsOnScreen.unshown, blocks.caption(), t, e) ||
           BlockRules::overlapsUnshown(m_unsavedUnshown, blocks.caption(), t, e);
}

OpenDay::Refusal OpenDay::place(int chair, const QString& t, const QString& code, int minutes)
{
    const auto e = BlockRules::endOfPlacement(t, minutes);
    if (!e)
        return Refusal::PastMidnight;
    if (blockAt(chair, t) >= 0 || overlaps(chair, t, *e))
        return Refusal::Overlap;
    // The column refuses a start outside the day before anything is on the history.
    m_columns.at(chair).rowOfTime(t);
    m_history.push(new PlaceBlockEdit(*this, chair, DayBlock{t, *e, code, kBlockColor}, QString()));
    return Refusal::None;
}

bool OpenDay::removeAt(int chair, const QString& t)
{
    const int hit = blockAt(chair, t);
    if (hit < 0)
        return false;
    m_history.push(new RemoveBlockEdit(*this, chair, hit));
    return true;
}

OpenDay::Refusal OpenDay::moveRefusal(int from, int index, int to, const QString& t, bool copy) const
{
    const DayBlock& block = column(from).item(index);
    const auto e = BlockRules::endOfPlacement(t, block.minutes());
    if (!e)
        return Refusal::PastMidnight;
    // A block may move over the place it leaves; a copy may not.
    const int ignore = !copy && from == to ? index : -1;
    if (BlockRules::blockAt(column(to), t, ignore) >= 0 || overlaps(to, t, *e, ignore))
        return Refusal::Overlap;
    return Refusal::None;
}

OpenDay::Refusal OpenDay::moveBlock(int from, int index, int to, const QString& t, bool copy)
{
    if (copy)
        return pasteBlock(column(from).item(index), to, t);
    const Refusal refusal = moveRefusal(from, index, to, t, false);
    if (refusal != Refusal::None)
        return refusal;
    column(to).rowOfTime(t);
    const DayBlock& block = column(from).item(index);
    m_history.push(new MoveBlockEdit(*this, from, index, to, t, *BlockRules::endOfPlacement(t, block.minutes())));
    return Refusal::None;
}

OpenDay::Refusal OpenDay::pasteBlock(const DayBlock& block, int to, const QString& t)
{
    const auto e = BlockRules::endOfPlacement(t, block.minutes());
    if (!e)
        return Refusal::PastMidnight;
    if (blockAt(to, t) >= 0 || overlaps(to, t, *e))
        return Refusal::Overlap;
    column(to).rowOfTime(t);
    const QString text = QStringLiteral("%1 nach %2 um %3 kopiert")
                             .arg(block.text, column(to).caption(), t)
                             .replace(QLatin1Char('&'), QStringLiteral("&&"));
    m_history.push(new PlaceBlockEdit(*this, to, DayBlock{t, *e, block.text, kBlockColor}, text));
    return Refusal::None;
}

void OpenDay::insertBlock(int chair, int index, const DayBlock& block)
{
    m_columns.at(chair).insert(index, block);
    noteChanged(chair);
}

DayBlock OpenDay::takeBlock(int chair, int index)
{
    DayBlock block = m_columns.at(chair).item(index);
    m_columns.at(chair).remove(index);
    noteChanged(chair);
    return block;
}
