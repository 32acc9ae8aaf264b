#include "commands/SharedChanges.h"

#include "commands/DayEditorWindow.h"
#include "commands/DayNameDialog.h"
#include "editing/DayStatus.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

#include <QApplication>
#include <QTime>

namespace {
QString clockNow()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm"));
}
} // namespace

SharedChanges::SharedChanges(DayEditorWindow& window, OpenDay& day, DayStatus& status, LunarisState& state,
                             AppServices& services)
    : m_window(window), m_day(day), m_status(status), m_state(state), m_services(services)
{
}

void SharedChanges::follow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* names = qobject_cast<DayNameDialog*>(window); names && names->isVisible())
            names->refreshList();
    // A modal window of this program (an editor) has the tables in hand; its own saves are followed when it closes.
    if (QApplication::activeModalWidget())
        return;
    m_window.followTreatmentTable();
    followChairNames();
    m_window.followPracticeContents();
    if (!m_state.DayOpen || m_state.CurrentIdealtag.isEmpty())
        return;
    followDay();
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

void SharedChanges::followChairNames()
{
    QStringList names;
    if (!runStep([&] { names = ChairTable(m_services.database).names(); }))
        return;
    bool renamed = false;
    for (int i = 0; i < m_state.ChairCount && i < names.size(); ++i)
        renamed = m_day.followChairName(i, names[i]) || renamed;
    if (renamed)
        m_window.repaintChairs();
}

void SharedChanges::followDay()
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
        }
    }
    if (shown.day == m_state.CurrentIdealtag && shown.complete && now.listed == shown.listed &&
        sameStoredRows(now.blocks, shown.stored)) {
        m_window.repaintChairs();
        return;
    }
    if (!m_state.modified()) {
        m_window.reloadInPlace();
        m_status.setReloaded(QStringLiteral("Von einem anderen Arbeitsplatz geändert – neu geladen ") + clockNow());
        m_window.showStatus();
        return;
    }
    m_window.showChangedNotice(
        QStringLiteral("„%1“ wurde an einem anderen Arbeitsplatz geändert.").arg(m_state.CurrentIdealtag));
    return;
}
