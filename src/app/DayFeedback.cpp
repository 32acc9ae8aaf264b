#include "app/DayFeedback.h"

#include "app/AnalysisDock.h"
#include "app/ColumnLayout.h"
#include "app/DayColumns.h"
#include "dayview/DayView.h"
#include "editing/DayStatus.h"
#include "editing/EditAnnouncements.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "store/Database.h"
#include "ui/CaptionText.h"
#include "ui/NoticeBar.h"

#include <QLabel>
#include <QTime>

#include <algorithm>
#include <utility>

DayFeedback::DayFeedback(Parts parts, OpenDay& day, LunarisState& state, AppServices& services)
    : m_parts(parts), m_day(day), m_state(state), m_services(services)
{
    QObject::connect(&day, &OpenDay::blocksChanged, &m_parts.window,
                     [this](const QList<int>& chairs) { followSteps(chairs); });
    QObject::connect(&day, &OpenDay::dayReplaced, &m_parts.window,
                     [this](DayReplacement reason, const QString& notice) { followReplacement(reason, notice); });
}

void DayFeedback::followSteps(const QList<int>& chairs)
{
    // Every change of the blocks is drawn, and the doctor column and the fee follow it. Only the rows
    // that changed, in the chairs that changed, are drawn: a frame of every column costs several times
    // a step's own work. A drag under way (Ctrl+Z while the button is held) would drop a block by a
    // stale index.
    m_parts.layout.cancelDrags();
    for (const int chair : chairs)
        m_parts.layout.column(chair)->showChangedBlocks();
    // A replacement undone or made again brings other unshown rows; what the last command said is past.
    m_parts.status.stepMade();
    m_parts.screen.readUnshownEntries();
    showStatus();
    m_parts.screen.drawDoctorColumn();
}

void DayFeedback::followReplacement(DayReplacement reason, const QString& notice)
{
    m_parts.layout.cancelDrags();
    m_parts.screen.showAllChairs();
    showStatus();
    m_parts.screen.drawDoctorColumn();
    // A load names its unshown rows by their count; every other replacement names them.
    if (!notice.isEmpty() && reason != DayReplacement::Opened && reason != DayReplacement::Reloaded)
        m_announcements->announcer().announce(notice);
}

void DayFeedback::showStatus()
{
    m_parts.statusPanel.setText(m_parts.status.text(m_services.database.readOnlyReason()));
}

void DayFeedback::setStatusText(const QString& text, DayStatus::Topic topic)
{
    m_parts.status.setNotice(text, topic);
    showStatus();
}

void DayFeedback::noticeSettled(DayStatus::Topic topic)
{
    m_parts.status.succeeded(topic);
    showStatus();
}

void DayFeedback::followRestoredDays(const QStringList& days)
{
    if (!m_state.DayOpen || !days.contains(m_state.CurrentIdealtag))
        return;
    // Unsaved edits are not given up unasked: "Neu laden" on the bar asks first.
    if (m_day.isModified()) {
        m_parts.changedBar.showText(
            QStringLiteral("„%1“ wurde aus der Datensicherung zurückgeholt.").arg(m_state.CurrentIdealtag));
        return;
    }
    reloadInPlace();
    m_parts.status.setReloaded(QStringLiteral("Aus der Datensicherung zurückgeholt ") +
                               QTime::currentTime().toString(QStringLiteral("HH:mm")));
    showStatus();
}

void DayFeedback::load()
{
    // A failed load must not leave its reason to the next one.
    const DayReplacement reason = std::exchange(m_loadReason, DayReplacement::Opened);
    // What is loaded is the day as stored now: a notice about another state of it is over.
    m_parts.changedBar.hide();
    m_parts.status.dayLoaded();
    if (m_state.DayOpen)
        m_parts.window.setWindowTitle(QStringLiteral("Template: ") + captionText(m_state.CurrentIdealtag));
    if (m_parts.screen.load(reason))
        m_announcements->dayLoaded();
}

void DayFeedback::reloadInPlace()
{
    // The user keeps looking at the same hours.
    DayView* first = m_parts.layout.column(0);
    const int firstRow = first->firstRow();
    m_loadReason = DayReplacement::Reloaded;
    load();
    m_day.markSaved();
    first->setFirstRow(std::clamp(firstRow, 0, std::max(0, first->rowCount() - 1)));
    showStatus();
}

void DayFeedback::tellCancelled(const QString& command)
{
    // Enter and Esc both cancel a name dialog: the user hears that its command was not done.
    m_parts.status.setStepNotice(QStringLiteral("„%1“ abgebrochen").arg(command));
    showStatus();
    m_announcements->announcer().announce(m_parts.statusPanel.text());
}

bool DayFeedback::followSave(DaySave::Outcome outcome)
{
    switch (outcome) {
    case DaySave::Outcome::Saved:
        break;
    case DaySave::Outcome::NameCancelled:
        tellCancelled(QStringLiteral("Speichern unter"));
        return false;
    case DaySave::Outcome::SavedAs:
        return !m_state.modified();
    case DaySave::Outcome::NotSaved:
        return false;
    }
    m_parts.status.daySaved(QTime::currentTime());
    m_parts.changedBar.hide(); // the day as this window saved it is the stored one now
    // Save As may have replaced another day's rows: the panel's warnings are those of the day now stored.
    m_parts.screen.readUnshownEntries();
    showStatus();
    if (m_parts.analysis.isShown())
        m_parts.screen.drawDoctorColumn();
    m_announcements->daySaved();
    return true;
}
