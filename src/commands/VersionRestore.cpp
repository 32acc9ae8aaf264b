#include "commands/VersionRestore.h"

#include "commands/DayEditorWindow.h"
#include "commands/IdealDayCommands.h"
#include "commands/frmVersionen.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "ui/ModalRunner.h"

VersionRestore::VersionRestore(DayEditorWindow& window, OpenDay& day, IdealDayCommands& commands, LunarisState& state,
                               AppServices& services)
    : m_window(window), m_day(day), m_commands(commands), m_state(state), m_services(services)
{
}

void VersionRestore::run()
{
    frmVersionen dialog(m_services, m_state.DayOpen ? m_state.CurrentIdealtag : QString(), m_window.editorWindow());
    if (m_services.modals.run(dialog) != QDialog::Accepted || !dialog.chosen())
        return;
    const DayVersion version = *dialog.chosen();
    if (!m_state.DayOpen || version.day != m_state.CurrentIdealtag) {
        // A deleted day comes back as a new day of its name, stored only by Speichern.
        if (!m_commands.saveQuestion())
            return;
        m_state.DayOpen = true;
        m_state.CurrentIdealtag = version.day;
        m_window.Termin_load();
        m_day.markSaved();
        m_window.switchOn(false);
    }
    restore(version);
}

void VersionRestore::restore(const DayVersion& version)
{
    QList<StoredBlock> rows;
    for (const TemplateRow& row : version.rows)
        rows.append({0, row});
    m_day.replace(rows, DayReplacement::Version, true,
                  QStringLiteral("Version vom %1 wiederhergestellt").arg(frmVersionen::timeText(version.time)));
}
