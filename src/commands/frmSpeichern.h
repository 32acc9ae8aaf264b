#pragma once

#include "commands/DayNameDialog.h"

// Chooses the name under which the open day is saved and registers a new name in Idealtag.
// Abbrechen empties CurrentIdealtag, so the save that showed the dialog stops.
class frmSpeichern : public DayNameDialog {
    Q_OBJECT
public:
    frmSpeichern(LunarisState& state, AppServices& services, QWidget* mainWindow);

protected:
    void cmdOK_Click() override;
    void cmdAbbrechen_Click() override;
    void reject() override;
};
