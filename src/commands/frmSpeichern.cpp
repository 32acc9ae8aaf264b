#include "commands/frmSpeichern.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/Tables.h"
#include "ui/CaptionText.h"
#include "ui/MessageService.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

frmSpeichern::frmSpeichern(LunarisState& state, AppServices& services, QWidget* mainWindow)
    : DayNameDialog(state, services, mainWindow, QStringLiteral("Idealtag speichern unter..."), QStringLiteral("Name:"),
                    QStringLiteral("txtName"))
{
    setObjectName(QStringLiteral("frmSpeichern"));
    nameBox()->setToolTip(QStringLiteral("Neuer Idealtag eingeben"));
    setTabOrder(nameBox(), cancelButton());
    setTabOrder(cancelButton(), okButton());
    setTabOrder(okButton(), list());
    nameBox()->setFocus();
}

void frmSpeichern::cmdOK_Click()
{
    const QString name = nameBox()->text();
    if (name.isEmpty())
        return;
    // A failing step ends the click quietly; the dialog stays open.
    runStep([&] {
        const IdealtagTable names(m_services.database);
        if (!names.contains(name)) {
            if (!acceptNewName(name))
                return;
            names.add(name);
        } else if (!m_services.messages.askYesNo(this, QStringLiteral("Idealtag überschreiben?"),
                                                 QStringLiteral("Speichern unter.."))) {
            nameBox()->clear();
            return;
        }
        m_state.CurrentIdealtag = name;
        if (m_mainWindow)
            m_mainWindow->setWindowTitle(QStringLiteral("Template für [ ") + captionText(name) + QStringLiteral(" ]"));
        accept();
    });
}

void frmSpeichern::cmdAbbrechen_Click()
{
    reject();
}

void frmSpeichern::reject()
{
    // Esc and the close box have the effect of Abbrechen.
    m_state.CurrentIdealtag.clear();
    DayNameDialog::reject();
}
