#include "commands/frmOpen.h"

#include "app/LunarisState.h"

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
    m_state.CurrentIdealtag = nameBox()->text();
    if (m_mainWindow)
        m_mainWindow->setWindowTitle(m_mainWindow->windowTitle() + QStringLiteral(" [ ") + m_state.CurrentIdealtag +
                                     QStringLiteral(" ]"));
    accept();
}

void frmOpen::cmdAbbrechen_Click()
{
    reject();
}
