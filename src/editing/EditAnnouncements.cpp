#include "editing/EditAnnouncements.h"

#include "editing/OpenDay.h"

#include <QUndoStack>

namespace {
bool sameTime(const QString& a, const QString& b)
{
    // Views, not trimmed copies: a step compares a chair's blocks pairwise.
    return a == b || QStringView(a).trimmed() == QStringView(b).trimmed();
}

bool sameBlock(const DayBlock& a, const DayBlock& b)
{
    return a.text == b.text && sameTime(a.startTime, b.startTime) && sameTime(a.endTime, b.endTime);
}

// The blocks of `from` that `other` lacks, counted as often as they occur.
QList<DayBlock> missingIn(const QList<DayBlock>& from, const QList<DayBlock>& before)
{
    // A step changes a block or two: the lists' common beginning and end match pair by pair, and only
    // what lies between is searched.
    qsizetype head = 0;
    while (head < from.size() && head < before.size() && sameBlock(from[head], before[head]))
        ++head;
    qsizetype fromEnd = from.size();
    qsizetype beforeEnd = before.size();
    while (fromEnd > head && beforeEnd > head && sameBlock(from[fromEnd - 1], before[beforeEnd - 1])) {
        --fromEnd;
        --beforeEnd;
    }
    QList<DayBlock> other(before.begin() + head, before.begin() + beforeEnd);
    QList<DayBlock> missing;
    for (const DayBlock& block : from.mid(head, fromEnd - head)) {
        const auto found =
            std::find_if(other.begin(), other.end(), [&](const DayBlock& b) { return sameBlock(block, b); });
        if (found == other.end())
            missing.append(block);
        else
            other.erase(found);
    }
    return missing;
}

QStringList without(const QStringList& rows, const QStringList& others)
{
    QStringList result;
    for (const QString& row : rows)
        if (!others.contains(row))
            result.append(row);
    return result;
}

struct Change {
    QString chair;
    DayBlock block;
};
} // namespace

EditAnnouncements::EditAnnouncements(OpenDay& day, std::function<QString()> fee, QObject* parent)
    : QObject(parent), m_day(day), m_fee(std::move(fee))
{
    connect(&m_day, &OpenDay::blocksChanged, this, &EditAnnouncements::stepMade);
    // Steps before a reset are no longer on the history: the next one is new, not an undo.
    connect(&m_day, &OpenDay::historyReset, this, &EditAnnouncements::takeSnapshot);
    takeSnapshot();
}

void EditAnnouncements::dayLoaded()
{
    takeSnapshot();
    qsizetype blocks = 0;
    for (const Chair& chair : std::as_const(m_chairs))
        blocks += chair.blocks.size();
    const QString count = blocks == 1 ? QStringLiteral("1 Termin") : QStringLiteral("%1 Termine").arg(blocks);
    const QString name = m_day.name();
    const bool again = !name.isEmpty() && name == std::exchange(m_loadedName, name);
    if (name.isEmpty())
        m_announcer.announce(QStringLiteral("Neuer Idealtag, %1").arg(blocks == 0 ? QStringLiteral("leer") : count));
    else
        m_announcer.announce(QStringLiteral("%1 %2, %3, Honorar %4")
                                 .arg(name, again ? QStringLiteral("neu geladen") : QStringLiteral("geöffnet"), count,
                                      m_fee ? m_fee() : QString()));
}

void EditAnnouncements::daySaved()
{
    // The day on screen is now the stored one of that name.
    m_loadedName = m_day.name();
    m_announcer.announce(QStringLiteral("Gespeichert"));
}

void EditAnnouncements::stepMade()
{
    const Kind kind = kindOfStep();
    const QList<Chair> before = m_chairs;
    const QStringList overloadedBefore = m_overloaded;
    takeSnapshot();
    m_announcer.announce(describe(kind, before, m_chairs, overloadedBefore, m_overloaded, m_fee ? m_fee() : QString()));
}

EditAnnouncements::Kind EditAnnouncements::kindOfStep() const
{
    const QUndoStack& history = m_day.history();
    const int index = history.index();
    if (index < m_index)
        return Kind::Undone;
    // The next step of the history, the same one as before: made again.
    if (index == m_index + 1 && index <= m_commands.size() && history.command(index - 1) == m_commands.at(index - 1))
        return Kind::Redone;
    return Kind::Made;
}

void EditAnnouncements::takeSnapshot()
{
    m_chairs = chairs();
    m_overloaded = overloadedRows();
    const QUndoStack& history = m_day.history();
    m_index = history.index();
    m_commands.clear();
    for (int i = 0; i < history.count(); ++i)
        m_commands.append(history.command(i));
}

QList<EditAnnouncements::Chair> EditAnnouncements::chairs() const
{
    QList<Chair> result;
    for (const DayViewModel* chair : m_day.chairs())
        result.append({chair->caption(), chair->blocks()});
    return result;
}

QStringList EditAnnouncements::overloadedRows() const
{
    QStringList rows;
    const DayViewModel& doctor = m_day.column(m_day.chairCount());
    for (const DayBlock& block : doctor.blocks())
        if (block.text.toInt() > doctor.slotMinutes())
            rows.append(block.startTime.trimmed());
    return rows;
}

QString EditAnnouncements::describe(Kind kind, const QList<Chair>& before, const QList<Chair>& after,
                                    const QStringList& overloadedBefore, const QStringList& overloadedAfter,
                                    const QString& fee)
{
    QList<Change> added;
    QList<Change> removed;
    for (qsizetype i = 0; i < after.size(); ++i) {
        const QList<DayBlock> was = i < before.size() ? before.at(i).blocks : QList<DayBlock>();
        // A chair the step did not touch still shares its blocks with the snapshot.
        if (was.constData() == after.at(i).blocks.constData() && was.size() == after.at(i).blocks.size())
            continue;
        for (const DayBlock& block : missingIn(after.at(i).blocks, was))
            added.append({after.at(i).name, block});
        for (const DayBlock& block : missingIn(was, after.at(i).blocks))
            removed.append({after.at(i).name, block});
    }

    QString text;
    if (added.size() == 1 && removed.size() == 1 && added.first().block.text == removed.first().block.text) {
        const Change& from = removed.first();
        const Change& to = added.first();
        const QString start = from.block.startTime.trimmed();
        const QString target = to.block.startTime.trimmed();
        text = from.chair == to.chair ? QStringLiteral("%1 von %2 nach %3 verschoben").arg(to.block.text, start, target)
                                      : QStringLiteral("%1 von %2 %3 nach %4 %5 verschoben")
                                            .arg(to.block.text, from.chair, start, to.chair, target);
    } else {
        QStringList steps;
        for (const Change& change : std::as_const(added))
            steps.append(QStringLiteral("%1 %2 bis %3 eingetragen")
                             .arg(change.block.text, change.block.startTime.trimmed(), change.block.endTime.trimmed()));
        for (const Change& change : std::as_const(removed))
            steps.append(QStringLiteral("%1 %2 entfernt").arg(change.block.text, change.block.startTime.trimmed()));
        text = steps.join(QStringLiteral(", "));
    }
    if (text.isEmpty())
        return QStringLiteral("Nichts entfernt");
    if (kind == Kind::Undone)
        text.prepend(QStringLiteral("Rückgängig: "));
    else if (kind == Kind::Redone)
        text.prepend(QStringLiteral("Wiederhergestellt: "));
    if (!fee.isEmpty())
        text += QStringLiteral(", Honorar ") + fee;
    const QStringList overloaded = without(overloadedAfter, overloadedBefore);
    const QStringList relieved = without(overloadedBefore, overloadedAfter);
    if (!overloaded.isEmpty())
        text += QStringLiteral(". Arzt überlastet ") + overloaded.join(QStringLiteral(", "));
    if (!relieved.isEmpty())
        text += QStringLiteral(". Arzt nicht mehr überlastet ") + relieved.join(QStringLiteral(", "));
    return text;
}
