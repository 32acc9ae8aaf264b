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
        if (IdealDayStore(m_services.database).renameDay(m_former, name) == IdealDayStore::Renaming::NameTaken) {
            m_services.messages.inform(this, QStringLiteral("Ein Idealtag mit diesem Namen ist bereits vorhanden."),
                                       windowTitle(), QMessageBox::Warning);
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
