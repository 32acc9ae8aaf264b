#include "editing/DayStatus.h"

#include "dayview/ClockTime.h"
#include "editing/DayPlacement.h"
#include "editing/OpenDay.h"
#include "kernel/LunarisState.h"

#include <QStringList>

QString DayStatus::text(const QString& readOnlyReason) const
{
    QStringList notices;
    // The reload tells about the day as loaded; once it is changed or saved here, that is past.
    const QString reloaded = m_state.modified() ? QString() : m_reloaded;
    for (const QString& notice :
         {readOnlyReason, lateNotice(m_day, m_state.CloseTime), unshownCount(m_day.rowsOnScreen().unshown.size()),
          DayPlacement::notice(m_day.unsavedUnshown()), m_notice, reloaded, m_stepNotice})
        if (!notice.isEmpty())
            notices.append(notice);
    QString text = notices.join(QStringLiteral("; "));
    QString saved;
    if (m_state.modified())
        saved = QStringLiteral("Nicht gespeichert");
    else if (m_savedAt.isValid())
        saved = QStringLiteral("Gespeichert ") + m_savedAt.toString(QStringLiteral("HH:mm"));
    if (!saved.isEmpty())
        text = text.isEmpty() ? saved : saved + QStringLiteral(" – ") + text;
    if (text.isEmpty())
        text = m_state.DayOpen ? QStringLiteral("Keine ungespeicherten Änderungen")
                               : QStringLiteral("Kein Idealtag geöffnet – Datei → Neu oder Öffnen");
    return text;
}

void DayStatus::dayLoaded()
{
    m_reloaded.clear();
    m_stepNotice.clear();
    m_savedAt = QTime();
}

void DayStatus::succeeded(Topic topic)
{
    if (m_noticeTopic == topic && topic != Topic::Program)
        m_notice.clear();
}

void DayStatus::daySaved(const QTime& at)
{
    m_reloaded.clear();
    m_stepNotice.clear();
    m_savedAt = at;
}

QString DayStatus::lateNotice(const OpenDay& day, const QString& closeTime)
{
    // A block may run past the closing time (the rows end there, the block does not); the user hears it.
    const auto close = ClockTime::minutesOf(closeTime);
    if (!close)
        return {};
    for (const DayViewModel* chair : day.chairs())
        for (const DayBlock& block : chair->blocks())
            if (ClockTime::minutesOf(block.endTime.trimmed()).value_or(0) > *close)
                return QStringLiteral("Endet nach Praxisschluss (%1)").arg(closeTime);
    return {};
}

QString DayStatus::unshownCount(qsizetype count)
{
    if (count == 0)
        return {};
    if (count == 1)
        return QStringLiteral("1 gespeicherter Eintrag nicht angezeigt");
    return QStringLiteral("%1 gespeicherte Einträge nicht angezeigt").arg(count);
}
