#include "commands/DayClose.h"

#include "commands/IdealDayCommands.h"
#include "editing/RecoveryKeeper.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "store/Database.h"
#include "ui/MessageService.h"

DayClose::DayClose(QWidget* window, IdealDayCommands& commands, RecoveryKeeper* recovery, const LunarisState& state,
                   AppServices& services)
    : m_window(window), m_commands(commands), m_recovery(recovery), m_state(state), m_services(services)
{
}

bool DayClose::mayClose()
{
    if (keepsUnsavedCopy()) {
        m_services.messages.inform(
            m_window,
            QStringLiteral("Die Änderungen an „%1“ können nicht gespeichert werden, weil die Datenbank nur gelesen "
                           "werden darf. Sie bleiben als Wiederherstellungskopie erhalten und werden beim nächsten "
                           "Start angeboten.")
                .arg(m_state.CurrentIdealtag.isEmpty() ? QStringLiteral("Unbenannt") : m_state.CurrentIdealtag),
            QStringLiteral("Lunaris"), QMessageBox::Information);
        return true;
    }
    return m_commands.saveQuestion(QStringLiteral("Möchten Sie noch Speichern?"));
}

void DayClose::settleRecoveryCopy()
{
    if (!m_recovery)
        return;
    if (keepsUnsavedCopy())
        m_recovery->flush();
    else
        m_recovery->discard();
}

bool DayClose::keepsUnsavedCopy() const
{
    return m_recovery && m_state.DayOpen && m_state.modified() && !m_services.database.readOnlyReason().isEmpty();
}
