#include "editing/OpenDay.h"

#include "editing/BlockEdits.h"
#include "editing/BlockRules.h"
#include "kernel/LunarisState.h"

#include <utility>

namespace {
const QColor kBlockColor(0, 255, 0);
}

OpenDay::OpenDay(LunarisState& state, QObject* parent) : QObject(parent), m_state(state)
{
    // Every step on the history (made, undone, redone) is one change of the blocks.
    connect(&m_history, &QUndoStack::indexChanged, this, &OpenDay::followHistory);
}

OpenDay::~OpenDay()
{
    // The history empties itself on the way out; that is no edit anybody should follow.
    m_history.disconnect();
}

void OpenDay::followHistory()
{
    if (m_forgetting)
        return;
    // Back at the state last saved the day is unmodified again; any other state is modified.
    m_state.Modified = !m_history.isClean();
    emit blocksChanged(std::exchange(m_changedChairs, {}));
}

const QString& OpenDay::name() const
{
    return m_state.CurrentIdealtag;
}

bool OpenDay::isModified() const
{
    return m_state.Modified;
}

void OpenDay::touch()
{
    m_state.Modified = true;
    emit blocksChanged({});
}

void OpenDay::markSaved()
{
    m_history.setClean();
    m_state.Modified = false;
}

void OpenDay::forgetHistory()
{
    m_forgetting = true;
    m_history.clear();
    m_forgetting = false;
    m_changedChairs.clear();
    // A modified day whose saving was declined has no saved state to return to.
    if (m_state.Modified)
        m_history.resetClean();
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

QList<DayViewModel*> OpenDay::chairModels()
{
    QList<DayViewModel*> models;
    for (int i = 0; i < chairCount(); ++i)
        models.append(&m_columns[i]);
    return models;
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
           BlockRules::overlapsUnshown(m_rowsOnScreen.unshown, blocks.caption(), t, e);
}

OpenDay::Refusal OpenDay::place(int chair, const QString& t, const QString& code, int minutes)
{
    const auto e = BlockRules::endOfPlacement(t, minutes);
    if (!e)
        return Refusal::PastMidnight;
    if (blockAt(chair, t) >= 0 || overlaps(chair, t, *e))
        return Refusal::Overlap;
    // The column refuses a start outside the day before anything is on the history.
    column(chair).rowOfTime(t);
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
    column(chair).insert(index, block);
    noteChanged(chair);
}

DayBlock OpenDay::takeBlock(int chair, int index)
{
    DayBlock block = column(chair).item(index);
    column(chair).remove(index);
    noteChanged(chair);
    return block;
}
