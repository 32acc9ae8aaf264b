#include "commands/IdealDayCommands.h"

#include "commands/DayEditorWindow.h"
#include "commands/frmOpen.h"
#include "commands/frmUmbenennen.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "store/Database.h"
#include "store/Tables.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

namespace {
const QString kTitle = QStringLiteral("Lunaris");
}

IdealDayCommands::IdealDayCommands(DayEditorWindow& window, LunarisState& state, AppServices& services)
    : m_window(window), m_state(state), m_services(services)
{
}

bool IdealDayCommands::saveQuestion(const QString& text)
{
    // A workstation that may only read has nothing to offer: its edits are for looking and printing.
    if (!m_state.modified() || !m_services.database.readOnlyReason().isEmpty())
        return true;
    MessageRequest question{text,
                            kTitle,
                            QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                            QMessageBox::Yes,
                            m_window.editorWindow()};
    switch (m_services.messages.show(question)) {
    case QMessageBox::Yes:
        return m_window.Speichern();
    case QMessageBox::No:
        return true;
    default: // Abbrechen or Esc: the command stops, nothing saved or discarded
        return false;
    }
}

void IdealDayCommands::newDay()
{
    newDayAfter(true);
}

void IdealDayCommands::newDayAfter(bool askToSave)
{
    if (askToSave && !saveQuestion())
        return;
    m_state.DayOpen = true;
    m_state.CurrentIdealtag.clear();
    m_window.Termin_load();
    m_window.switchOn(false);
    QWidget* window = m_window.editorWindow();
    window->setWindowTitle(window->windowTitle() + QStringLiteral(" [ Unbenannt ]"));
}

void IdealDayCommands::open()
{
    if (!saveQuestion())
        return;
    frmOpen dialog(m_state, m_services, m_window.editorWindow());
    // A cancelled dialog leaves the editor exactly as it was, unsaved edits included.
    if (m_services.modals.run(dialog) != QDialog::Accepted) {
        if (!dialog.nameBox()->text().isEmpty())
            m_window.tellCancelled(QStringLiteral("Öffnen"));
        return;
    }
    if (m_state.CurrentIdealtag.isEmpty())
        return;
    m_state.DayOpen = true;
    m_window.Termin_load();
    m_window.switchOn(true);
}

void IdealDayCommands::openStored(const QString& name)
{
    if (name.isEmpty() || !saveQuestion())
        return;
    m_state.CurrentIdealtag = name;
    m_state.DayOpen = true;
    m_window.Termin_load();
    m_window.switchOn(true);
}

void IdealDayCommands::save()
{
    m_window.Speichern();
}

void IdealDayCommands::saveAs()
{
    const QString formerName = m_state.CurrentIdealtag;
    m_state.CurrentIdealtag.clear();
    m_window.saveEvenUnmodified();
    // A cancelled name dialog leaves the day its name (still in the caption), so that Save and
    // Delete keep working on it, and its history with the saved state where it was.
    if (m_state.CurrentIdealtag.isEmpty())
        m_state.CurrentIdealtag = formerName;
}

void IdealDayCommands::rename()
{
    // An unnamed day has nothing stored to rename: Save As names it.
    const QString former = m_state.CurrentIdealtag;
    if (!m_state.DayOpen || former.isEmpty() || !m_window.databaseWritable())
        return;
    frmUmbenennen dialog(m_state, m_services, former, m_window.editorWindow());
    if (m_services.modals.run(dialog) != QDialog::Accepted) {
        if (dialog.nameBox()->text() != former)
            m_window.tellCancelled(QStringLiteral("Umbenennen"));
        return;
    }
    if (dialog.renamedTo().isEmpty())
        return;
    m_window.followRename(dialog.renamedTo());
}

void IdealDayCommands::deleteDay()
{
    const QString name = m_state.CurrentIdealtag;
    if (name.isEmpty())
        return;
    const QString title = QStringLiteral("Idealtag löschen");
    if (!m_services.messages.askYesNo(m_window.editorWindow(),
                                      QStringLiteral("Möchten Sie den ") + name + QStringLiteral(" löschen?"), title)) {
        newDayAfter(true);
        return;
    }
    if (!m_window.databaseWritable())
        return;
    try {
        const bool deleted = IdealDayStore(m_services.database).deleteDay(name, m_window.rowsOnScreen(), [&] {
            return m_services.messages.askYesNo(
                m_window.editorWindow(),
                QStringLiteral("Der Idealtag „%1“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
                               "Möchten Sie ihn trotzdem löschen?")
                    .arg(name),
                title, QMessageBox::No);
        });
        // Kept: the day stays in the editor as it is.
        if (!deleted)
            return;
    } catch (const LunarisError& e) {
        // Nothing was deleted (one transaction); the day stays in the editor.
        m_services.messages.inform(m_window.editorWindow(),
                                   QStringLiteral("Der Idealtag konnte nicht gelöscht werden.\r") + e.description(),
                                   title, QMessageBox::Critical);
        return;
    }
    // The deleted day's edits are not offered for saving (they would bring the day back): the new,
    // empty day has a history of its own.
    newDayAfter(false);
}
