#include "editing/BlockEdits.h"

#include "editing/OpenDay.h"

namespace {
// The menu shows the step's text after "Rückgängig: "; an ampersand in a code is no access key.
QString stepText(const QString& code, const QString& preposition, const QString& chair, const QString& time,
                 const QString& verb = QString())
{
    QString text = code + QLatin1Char(' ') + preposition + QLatin1Char(' ') + chair + QStringLiteral(" um ") + time;
    if (!verb.isEmpty())
        text += QLatin1Char(' ') + verb;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

PlaceBlockEdit::PlaceBlockEdit(OpenDay& day, int chair, const DayBlock& block, const QString& text)
    : m_day(day), m_chair(chair), m_block(block)
{
    setText(text.isEmpty()
                ? stepText(block.text, QStringLiteral("in"), day.column(chair).caption(), block.startTime.trimmed())
                : text);
}

void PlaceBlockEdit::redo()
{
    m_index = m_day.column(m_chair).count();
    m_day.insertBlock(m_chair, m_index, m_block);
}

void PlaceBlockEdit::undo()
{
    m_day.takeBlock(m_chair, m_index);
}

RemoveBlockEdit::RemoveBlockEdit(OpenDay& day, int chair, int index)
    : m_day(day), m_chair(chair), m_index(index), m_block(day.column(chair).item(index))
{
    setText(stepText(m_block.text, QStringLiteral("in"), day.column(chair).caption(), m_block.startTime.trimmed(),
                     QStringLiteral("entfernt")));
}

void RemoveBlockEdit::redo()
{
    m_block = m_day.takeBlock(m_chair, m_index);
}

void RemoveBlockEdit::undo()
{
    m_day.insertBlock(m_chair, m_index, m_block);
}

MoveBlockEdit::MoveBlockEdit(OpenDay& day, int from, int index, int to, const QString& start, const QString& end)
    : m_day(day), m_from(from), m_index(index), m_to(to), m_start(start), m_end(end),
      m_former(day.column(from).item(index))
{
    setText(
        stepText(m_former.text, QStringLiteral("nach"), day.column(to).caption(), start, QStringLiteral("verschoben")));
}

void MoveBlockEdit::redo()
{
    m_former = m_day.takeBlock(m_from, m_index);
    DayBlock moved = m_former;
    moved.startTime = m_start;
    moved.endTime = m_end;
    m_placedAt = m_day.column(m_to).count();
    m_day.insertBlock(m_to, m_placedAt, moved);
}

void MoveBlockEdit::undo()
{
    m_day.takeBlock(m_to, m_placedAt);
    m_day.insertBlock(m_from, m_index, m_former);
}

ReplaceDayEdit::ReplaceDayEdit(OpenDay& day, const QList<QList<DayBlock>>& after,
                               const QList<StoredBlock>& unshownAfter, const QString& text)
    : m_day(day), m_after(after), m_unshownBefore(day.unsavedUnshown()), m_unshownAfter(unshownAfter)
{
    for (int chair = 0; chair < day.chairCount(); ++chair)
        m_before.append(day.column(chair).blocks());
    // Stored rows that were not shown are replaced by the step: undone, they come back as unsaved rows.
    for (StoredBlock block : day.rowsOnScreen().unshown) {
        block.rowId = 0;
        m_unshownBefore.append(block);
    }
    setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

void ReplaceDayEdit::redo()
{
    show(m_after, m_unshownAfter);
}

void ReplaceDayEdit::undo()
{
    show(m_before, m_unshownBefore);
}

void ReplaceDayEdit::show(const QList<QList<DayBlock>>& blocks, const QList<StoredBlock>& unshown)
{
    m_day.setUnsavedUnshown(unshown);
    for (int chair = 0; chair < m_day.chairCount(); ++chair) {
        for (int i = m_day.column(chair).count() - 1; i >= 0; --i)
            m_day.takeBlock(chair, i);
        const QList<DayBlock> chairBlocks = blocks.value(chair);
        for (int i = 0; i < chairBlocks.size(); ++i)
            m_day.insertBlock(chair, i, chairBlocks[i]);
    }
}
