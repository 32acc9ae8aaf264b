#include "commands/RecoveryOffer.h"

#include "commands/DayEditorWindow.h"
#include "editing/OpenDay.h"
#include "editing/RecoveryKeeper.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

#include <QDir>
#include <QFile>
#include <QWidget>

namespace {
const QString kTitle = QStringLiteral("Lunaris");
}

RecoveryOffer::RecoveryOffer(DayEditorWindow& window, OpenDay& day, RecoveryKeeper& keeper, LunarisState& state,
                             AppServices& services, StatusText status)
    : m_window(window), m_day(day), m_keeper(keeper), m_state(state), m_services(services), m_status(std::move(status))
{
}

void RecoveryOffer::offer()
{
    for (const RecoveryFile& file : m_keeper.file().offered())
        if (offerCopy(file))
            return;
}

bool RecoveryOffer::offerCopy(const RecoveryFile& file)
{
    std::optional<RecoveryCopy> copy;
    try {
        copy = file.read();
    } catch (const LunarisError&) {
        const QString aside = file.setAside(QDateTime::currentDateTime());
        m_services.messages.inform(
            m_window.editorWindow(),
            QStringLiteral("Die Kopie ungespeicherter Änderungen vom letzten Mal kann nicht gelesen werden. Sie "
                           "wurde unverändert beiseitegelegt:\r%1")
                .arg(QDir::toNativeSeparators(aside.isEmpty() ? file.path() : aside)),
            kTitle, QMessageBox::Warning);
        return false;
    }
    // Another practice database's copy waits for a start on that database.
    if (!copy || (!copy->database.isEmpty() && copy->database != RecoveryKeeper::databaseOf(m_state)))
        return false;
    // A day renamed elsewhere meanwhile is recovered under its name now, not made a second time.
    if (!copy->day.isEmpty() && copy->onScreen.day == copy->day)
        runStep([&] {
            const IdealDayStore store(m_services.database);
            if (store.storedDay(copy->day).listed)
                return;
            if (const std::optional<QString> renamed = store.renamedAs(copy->onScreen)) {
                copy->day = *renamed;
                copy->onScreen.day = *renamed;
            }
        });
    MessageRequest box;
    box.text = QStringLiteral("Beim letzten Mal wurde Lunaris nicht ordnungsgemäß beendet. Ungespeicherte Änderungen "
                              "an „%1“ (Stand %2) wiederherstellen?")
                   .arg(copy->day.isEmpty() ? QStringLiteral("Unbenannt") : copy->day,
                        copy->time.toString(QStringLiteral("HH:mm")));
    box.title = kTitle;
    box.icon = QMessageBox::Question;
    box.parent = m_window.editorWindow();
    // "Später" is the way out (Esc, the close box): nothing is lost by a key pressed in haste.
    box.choices = {QStringLiteral("Wiederherstellen"), QStringLiteral("Verwerfen"), QStringLiteral("Später")};
    const bool current = file.path() == m_keeper.file().path();
    switch (m_services.messages.choose(box)) {
    case 0:
        break;
    case 1:
        file.remove();
        return false;
    default:
        // This run's copies would replace the current one; one put off earlier stays where it is.
        if (current && !file.postpone(QDateTime::currentDateTime()))
            m_status(QStringLiteral("Wiederherstellungskopie nicht beiseitegelegt: ") +
                     QDir::toNativeSeparators(file.path()));
        return false;
    }
    // The day as stored now, then the unsaved blocks on it as one step; the save compares with the rows
    // the lost session had read, so a change made elsewhere meanwhile is asked about, not overwritten.
    m_state.DayOpen = true;
    m_state.CurrentIdealtag = copy->day;
    m_state.CurrentBeh = copy->treatment;
    m_window.Termin_load();
    m_window.switchOn(copy->onScreen.listed);
    QWidget* window = m_window.editorWindow();
    if (copy->day.isEmpty())
        window->setWindowTitle(window->windowTitle() + QStringLiteral(" [ Unbenannt ]"));
    m_day.rowsOnScreen() = copy->onScreen;
    // The copy's blocks and the stored rows that day did not show are the whole day.
    QList<StoredBlock> rows;
    for (const TemplateRow& row : copy->blocks)
        rows.append({0, row});
    m_day.replace(rows + copy->onScreen.unshown, DayReplacement::Recovery, true);
    // Loading the stored day removed the copy: it is written again at once, not a moment later.
    m_keeper.flush();
    // A copy put off earlier is now kept as this run's (unless that could not be written).
    if (!current && (!m_day.isModified() || QFile::exists(m_keeper.file().path())))
        file.remove();
    return true;
}
