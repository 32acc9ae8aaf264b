#include "commands/DemoPracticeCommand.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "store/DemoPractice.h"
#include "ui/MessageService.h"

namespace {
const QString Title = QStringLiteral("Beispielpraxis laden");
}

DemoPracticeCommand::DemoPracticeCommand(AppServices& services, QWidget* parent, std::function<bool()> databaseWritable)
    : m_services(services), m_parent(parent), m_databaseWritable(std::move(databaseWritable))
{
}

bool DemoPracticeCommand::run()
{
    try {
        // Said before the question: there is nothing to decide then.
        if (!PracticeContents::of(m_services.database).isEmpty()) {
            refuse();
            return false;
        }
        // A workstation that may not write says so before it asks anything.
        if (!m_databaseWritable() ||
            !m_services.messages.askYesNo(m_parent,
                                          QStringLiteral("Die Beispielpraxis bringt vier Stühle, zwölf Behandlungen "
                                                         "und zwei Idealtage zum Ausprobieren in die leere "
                                                         "Datenbank.\rMöchten Sie sie laden?"),
                                          Title))
            return false;
        // Another workstation may have begun meanwhile: the load looks again, in its own transaction.
        if (!DemoPractice::load(m_services.database)) {
            refuse();
            return false;
        }
    } catch (const LunarisError& e) {
        m_services.messages.inform(
            m_parent, QStringLiteral("Die Beispielpraxis konnte nicht geladen werden.\r") + e.description(), Title,
            QMessageBox::Critical);
        return false;
    }
    return true;
}

void DemoPracticeCommand::refuse()
{
    m_services.messages.inform(m_parent,
                               QStringLiteral("Die Beispielpraxis kann nur in eine leere Datenbank geladen werden. "
                                              "Diese Datenbank enthält schon Idealtage, Stühle oder Behandlungen."),
                               Title, QMessageBox::Information);
}
