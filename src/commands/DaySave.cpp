#include "commands/DaySave.h"

#include "commands/DayEditorWindow.h"
#include "commands/frmSpeichern.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "store/Database.h"
#include "store/Tables.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

DaySave::DaySave(DayEditorWindow& window, OpenDay& day, LunarisState& state, AppServices& services)
    : m_window(window), m_day(day), m_state(state), m_services(services)
{
}

DaySave::Outcome DaySave::save(const std::function<void()>& saveAs)
{
    if (!m_window.databaseWritable())
        return Outcome::NotSaved;
    QWidget* parent = m_window.editorWindow();
    const bool named = !m_state.CurrentIdealtag.isEmpty();
    if (!named) {
        frmSpeichern dialog(m_state, m_services, parent);
        m_services.modals.run(dialog);
        if (m_state.CurrentIdealtag.isEmpty())
            return Outcome::NameCancelled;
    }
    // A day whose stored rows could not be read: saving over it could delete rows nobody has seen.
    const RowsOnScreen& onScreen = m_day.rowsOnScreen();
    if (!onScreen.complete && onScreen.day == m_state.CurrentIdealtag) {
        const QString text =
            QStringLiteral("Der Idealtag „%1“ konnte nicht vollständig gelesen werden. Damit keine gespeicherten "
                           "Blöcke verloren gehen, kann er erst nach erneutem Öffnen unter diesem Namen gespeichert "
                           "werden.")
                .arg(m_state.CurrentIdealtag);
        if (!named) {
            m_services.messages.inform(parent, text, QStringLiteral("Speichern"), QMessageBox::Warning);
            return Outcome::NotSaved;
        }
        if (m_services.messages.askYesNo(parent,
                                         text + QStringLiteral("\rMöchten Sie ihn unter einem anderen Namen "
                                                               "speichern?"),
                                         QStringLiteral("Speichern")))
            saveAs();
        return Outcome::SavedAs;
    }
    QList<TemplateRow> rows;
    for (const DayViewModel* column : m_day.chairs())
        for (const DayBlock& block : column->blocks())
            rows.append({column->caption(), block.text, block.startTime.trimmed(), block.endTime.trimmed()});
    // Blocks kept aside (a chair gone, outside the hours) are stored again with the others.
    for (const StoredBlock& block : m_day.unsavedUnshown())
        rows.append(block.row);
    try {
        // One transaction: a failure leaves the stored day exactly as it was.
        const QString day = m_state.CurrentIdealtag;
        const std::optional<RowsOnScreen> written =
            IdealDayStore(m_services.database)
                .saveDay(
                    day, rows, m_day.rowsOnScreen(),
                    [&] {
                        return m_services.messages.askYesNo(
                            parent,
                            QStringLiteral(
                                "Der Idealtag „%1“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
                                "Möchten Sie ihn trotzdem überschreiben?")
                                .arg(day),
                            QStringLiteral("Lunaris"), QMessageBox::No);
                    },
                    [&] {
                        return m_services.messages.askYesNo(
                            parent,
                            QStringLiteral(
                                "Der Idealtag „%1“ wurde inzwischen an einem anderen Arbeitsplatz gelöscht.\r"
                                "Möchten Sie ihn wieder anlegen?")
                                .arg(day),
                            QStringLiteral("Lunaris"));
                    });
        // Not overwritten: the edits stay on screen, unsaved, for Save As another name.
        if (!written)
            return Outcome::NotSaved;
        m_day.rowsOnScreen() = *written;
    } catch (const LunarisError& e) {
        QString text = QStringLiteral("Daten konnten nicht gespeichert werden");
        // A database server that cannot be reached is worth naming: the user can wait for it and save again.
        if (e.number() == Database::ServerUnreachable)
            text += QLatin1Char('\r') + e.description();
        // Tried again in the background meanwhile: nothing is lost by waiting.
        if (m_services.database.connectionLost())
            text += QStringLiteral("\rIhre Änderungen bleiben erhalten. Bitte speichern Sie erneut, sobald der "
                                   "Server wieder erreichbar ist.");
        m_services.messages.inform(parent, text, QStringLiteral("Speichern"), QMessageBox::Critical);
        return Outcome::NotSaved;
    }
    m_day.markSaved();
    return Outcome::Saved;
}
