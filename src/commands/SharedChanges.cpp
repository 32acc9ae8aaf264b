#include "commands/SharedChanges.h"

#include "commands/DayEditorWindow.h"
#include "commands/DayNameDialog.h"
#include "editing/DayStatus.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/DayVersions.h"
#include "store/Tables.h"
#include "ui/AfterModalWindows.h"
#include "ui/MessageService.h"

#include <QApplication>
#include <QTime>

namespace {
QString clockNow()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm"));
}

QString joined(const QString& first, const QString& second)
{
    return second.isEmpty() ? first : first + QLatin1Char(' ') + second;
}
} // namespace

SharedChanges::SharedChanges(DayEditorWindow& window, OpenDay& day, DayStatus& status, LunarisState& state,
                             AppServices& services)
    : m_window(window), m_day(day), m_status(status), m_state(state), m_services(services)
{
}

void SharedChanges::follow(SharedTables tables, const std::function<void()>& again)
{
    if (tables & SharedTable::Idealtag)
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* names = qobject_cast<DayNameDialog*>(window); names && names->isVisible())
                names->refreshList();
    // A modal window of this program (an editor, a question) has the tables in hand: the change is followed once
    // it has closed, after the window has followed the modal window's own saves.
    if (QApplication::activeModalWidget()) {
        afterModalWindows(*m_window.editorWindow(), again);
        return;
    }
    if (tables & SharedTable::Behand)
        m_window.followTreatmentTable();
    const QString chairsNotice = tables & SharedTable::Stuhl ? m_window.followChairsElsewhere() : QString();
    if (tables & (SharedTable::Behand | SharedTable::Stuhl))
        m_window.followPracticeContents();
    // The blocks are drawn with the treatments' looks as they are now.
    if (!(tables & (SharedTable::Template | SharedTable::Idealtag | SharedTable::Stuhl))) {
        m_window.repaintChairs();
        return;
    }
    if (!m_state.DayOpen)
        return;
    if (m_state.CurrentIdealtag.isEmpty()) {
        if (!chairsNotice.isEmpty())
            m_window.showChangedNotice(chairsNotice);
        return;
    }
    followDay(chairsNotice);
}

bool SharedChanges::reloadWanted()
{
    return !m_state.modified() ||
           m_services.messages.askYesNo(m_window.editorWindow(),
                                        QStringLiteral("Ihre ungespeicherten Änderungen an „%1“ gehen verloren.\r"
                                                       "Möchten Sie den Idealtag trotzdem neu laden?")
                                            .arg(m_state.CurrentIdealtag),
                                        QStringLiteral("Lunaris"), QMessageBox::No);
}

void SharedChanges::followDay(const QString& chairsNotice)
{
    DayInStore now;
    if (!runStep([&] { now = IdealDayStore(m_services.database).storedDay(m_state.CurrentIdealtag); }))
        return;
    const RowsOnScreen& shown = m_day.rowsOnScreen();
    // Gone from its name: renamed elsewhere, the window follows it to the new one, edits and all.
    if (!now.listed && now.blocks.isEmpty() && shown.day == m_state.CurrentIdealtag) {
        std::optional<QString> renamed;
        if (!runStep([&] { renamed = IdealDayStore(m_services.database).renamedAs(shown); }))
            return;
        if (renamed) {
            m_window.followRename(*renamed);
            m_status.setReloaded(QStringLiteral("An einem anderen Arbeitsplatz umbenannt in „%1“ ").arg(*renamed) +
                                 clockNow());
            m_window.showStatus();
            if (!runStep([&] { now = IdealDayStore(m_services.database).storedDay(*renamed); }))
                return;
        } else if (shown.listed) {
            // Deleted elsewhere: the day stays on screen as it is, and the next save asks before it stores the
            // day anew. An empty reload would let that save create it again without a word.
            m_window.showChangedNotice(joined(
                QStringLiteral("„%1“ wurde an einem anderen Arbeitsplatz gelöscht.").arg(m_state.CurrentIdealtag),
                chairsNotice));
            return;
        }
    }
    if (shown.day == m_state.CurrentIdealtag && shown.complete && now.listed == shown.listed &&
        sameStoredRows(now.blocks, shown.stored)) {
        m_window.repaintChairs();
        if (!chairsNotice.isEmpty())
            m_window.showChangedNotice(chairsNotice);
        return;
    }
    const QString overwritten = overwrittenNotice(shown);
    // Unmodified, the day is shown as stored now: blocks of a deleted chair that are still stored are counted
    // in the status as unshown entries.
    if (!m_state.modified()) {
        m_window.reloadInPlace();
        m_status.setReloaded(overwritten.isEmpty()
                                 ? QStringLiteral("Von einem anderen Arbeitsplatz geändert – neu geladen ") + clockNow()
                                 : overwritten);
        m_window.showStatus();
        return;
    }
    m_window.showChangedNotice(
        joined(overwritten.isEmpty()
                   ? QStringLiteral("„%1“ wurde an einem anderen Arbeitsplatz geändert.").arg(m_state.CurrentIdealtag)
                   : overwritten,
               chairsNotice));
}

QString SharedChanges::overwrittenNotice(const RowsOnScreen& shown)
{
    // Only a state this window saved is the user's own.
    if (!shown.savedAt.isValid() || shown.day != m_state.CurrentIdealtag)
        return {};
    std::optional<DayVersion> version;
    if (!runStep([&] { version = DayVersionTable(m_services.database).overwritten(shown.day, shown.stored); }) ||
        !version)
        return {};
    return QStringLiteral("Ihr Stand von %1 wurde an %2 überschrieben – unter Datei → Versionen erhalten")
        .arg(shown.savedAt.toString(QStringLiteral("HH:mm")), version->host);
}
