#include "commands/BalanceCommands.h"

#include "commands/frmAusgleichen.h"
#include "editing/BlockEdits.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "store/Database.h"
#include "store/Tables.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QAction>
#include <QMenu>

BalanceCommands::BalanceCommands(OpenDay& day, LunarisState& state, AppServices& services, QWidget* window,
                                 std::function<void(const QString&)> announce)
    : QObject(window), m_day(day), m_state(state), m_services(services), m_window(window),
      m_announce(std::move(announce))
{
}

void BalanceCommands::addTo(QMenu* menu, QAction* before)
{
    m_balance = new QAction(QStringLiteral("Arztzeit &ausgleichen..."), menu);
    m_balance->setObjectName(QStringLiteral("mnuEditAusgleichen"));
    m_fill = new QAction(QStringLiteral("Tag &füllen..."), menu);
    m_fill->setObjectName(QStringLiteral("mnuEditFuellen"));
    menu->insertAction(before, m_balance);
    menu->insertAction(before, m_fill);
    connect(m_balance, &QAction::triggered, this, &BalanceCommands::mnuEditAusgleichen_Click);
    connect(m_fill, &QAction::triggered, this, &BalanceCommands::mnuEditFuellen_Click);
    connect(menu, &QMenu::aboutToShow, this, &BalanceCommands::followState);
    followState();
}

void BalanceCommands::followState()
{
    const bool enabled = m_state.DayOpen && m_services.database.readOnlyReason().isEmpty();
    for (QAction* action : {m_balance, m_fill})
        if (action)
            action->setEnabled(enabled);
}

void BalanceCommands::mnuEditAusgleichen_Click()
{
    run(false);
}

void BalanceCommands::mnuEditFuellen_Click()
{
    run(true);
}

void BalanceCommands::run(bool fill)
{
    followState();
    if (!m_balance || !m_balance->isEnabled())
        return;
    std::optional<frmAusgleichen> dialog;
    try {
        const QList<Treatment> treatments = TreatmentTable(m_services.database).all();
        const QHash<QString, Treatment> byCode = DoctorColumn::byCode(treatments);
        BalanceSnapshot snapshot(m_day.chairs(), DoctorColumn::lookupIn(byCode), m_day.rowsOnScreen().unshown);
        QStringList codes;
        if (fill) {
            snapshot.includeTreatments(treatments);
            for (const Treatment& t : treatments)
                if (!codes.contains(t.code))
                    codes.append(t.code);
        }
        dialog.emplace(fill ? frmAusgleichen::Mode::Fill : frmAusgleichen::Mode::Balance, std::move(snapshot), codes,
                       m_window);
    } catch (const LunarisError& e) {
        m_services.messages.inform(m_window,
                                   QString::number(e.number()) +
                                       QStringLiteral(" Fehler: Bitte Öffnungszeit und Datenbank überprüfen"),
                                   QStringLiteral("Datenfehler"), QMessageBox::Warning);
        return;
    }
    if (m_services.modals.run(*dialog) != QDialog::Accepted || !dialog->result())
        return;
    const BalanceResult& result = *dialog->result();
    if (result.moves.isEmpty() && result.added.isEmpty())
        return;
    const QString summary = frmAusgleichen::summary(dialog->mode(), result);
    const QString step =
        fill ? QStringLiteral("Tag gefüllt: %1").arg(summary.section(QStringLiteral(", "), 0, 0))
             : QStringLiteral("Arztzeit ausgeglichen: %1").arg(summary.section(QStringLiteral(", "), 0, 0));
    // The rows no column shows are not the solver's: they stay as they are.
    m_day.history().push(
        new ReplaceDayEdit(m_day, dialog->snapshot().blocksAfter(result), m_day.unsavedUnshown(), step));
    if (m_announce)
        m_announce(summary);
}
