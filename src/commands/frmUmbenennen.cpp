#include "commands/frmUmbenennen.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

frmUmbenennen::frmUmbenennen(LunarisState& state, AppServices& services, const QString& former, QWidget* mainWindow)
    : DayNameDialog(state, services, mainWindow, QStringLiteral("Idealtag umbenennen"), QStringLiteral("Name:"),
                    QStringLiteral("txtName")),
      m_former(former)
{
    setObjectName(QStringLiteral("frmUmbenennen"));
    nameBox()->setToolTip(QStringLiteral("Neuer Name des Idealtags"));
    nameBox()->setText(former);
    // Typing replaces the whole name; the arrow keys keep it for a small correction.
    nameBox()->selectAll();
    setTabOrder(nameBox(), cancelButton());
    setTabOrder(cancelButton(), okButton());
    setTabOrder(okButton(), list());
    nameBox()->setFocus();
}

void frmUmbenennen::cmdOK_Click()
{
    const QString name = nameBox()->text();
    if (name.isEmpty())
        return;
    if (name == m_former) {
        accept();
        return;
    }
    if (!acceptNewName(name))
        return;
    try {
        switch (IdealDayStore(m_services.database).renameDay(m_former, name)) {
        case IdealDayStore::Renaming::Renamed:
            break;
        case IdealDayStore::Renaming::NameTaken:
            m_services.messages.inform(this, QStringLiteral("Ein Idealtag mit diesem Namen ist bereits vorhanden."),
                                       windowTitle(), QMessageBox::Warning);
            return;
        case IdealDayStore::Renaming::Missing:
            // Nothing to rename; the blocks on screen are still there to be stored under a name.
            m_services.messages.inform(
                this,
                QStringLiteral("Der Idealtag „%1“ wurde inzwischen an einem anderen Arbeitsplatz gelöscht und "
                               "wurde nicht umbenannt.\rMit „Speichern unter...“ legen Sie ihn wieder an.")
                    .arg(m_former),
                windowTitle(), QMessageBox::Warning);
            // Closed as done: the user was told what happened, and renamedTo() stays empty.
            accept();
            return;
        }
    } catch (const LunarisError& e) {
        // One transaction: nothing was renamed. The dialog stays, to try again or cancel.
        m_services.messages.inform(this,
                                   QStringLiteral("Der Idealtag konnte nicht umbenannt werden.\r") + e.description(),
                                   windowTitle(), QMessageBox::Critical);
        return;
    }
    m_renamedTo = name;
    accept();
}

void frmUmbenennen::cmdAbbrechen_Click()
{
    reject();
}
