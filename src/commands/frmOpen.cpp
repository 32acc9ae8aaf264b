#include "commands/frmOpen.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/Tables.h"
#include "ui/CaptionText.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

frmOpen::frmOpen(LunarisState& state, AppServices& services, QWidget* mainWindow)
    : DayNameDialog(state, services, mainWindow, QStringLiteral("Template öffnen"), QStringLiteral("Dateiname:"),
                    QStringLiteral("txtIdealtag"))
{
    setObjectName(QStringLiteral("frmOpen"));
    setTabOrder(cancelButton(), okButton());
    setTabOrder(okButton(), list());
    setTabOrder(list(), nameBox());
    cancelButton()->setFocus();
}

void frmOpen::cmdOK_Click()
{
    const QString name = nameBox()->text();
    // An empty box names no day: nothing happens, as in the Save-As dialog.
    if (name.isEmpty())
        return;
    // A name that is not stored opens an empty day, which a save then stores under that name; a
    // stored one is opened as it is, whatever program stored it.
    bool acceptable = true;
    runStep([&] { acceptable = IdealtagTable(m_services.database).contains(name) || acceptNewName(name); });
    if (!acceptable)
        return;
    m_state.CurrentIdealtag = name;
    if (m_mainWindow)
        m_mainWindow->setWindowTitle(m_mainWindow->windowTitle() + QStringLiteral(" [ ") +
                                     captionText(m_state.CurrentIdealtag) + QStringLiteral(" ]"));
    accept();
}

void frmOpen::cmdAbbrechen_Click()
{
    reject();
}
