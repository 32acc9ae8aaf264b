#pragma once

#include "commands/DayNameDialog.h"

// Chooses a stored day for Open. OK hands the name box's text back in CurrentIdealtag (an empty box
// does nothing); Abbrechen leaves CurrentIdealtag alone.
class frmOpen : public DayNameDialog {
    Q_OBJECT
public:
    frmOpen(LunarisState& state, AppServices& services, QWidget* mainWindow);

protected:
    void cmdOK_Click() override;
    void cmdAbbrechen_Click() override;
};
