#pragma once

#include "commands/DayNameDialog.h"

// Gives the open, named day another name: the Save-As layout with the current name in the box. OK
// renames the stored day at once; a name that is taken or has outer blanks is refused, and the dialog
// stays open to correct it.
class frmUmbenennen : public DayNameDialog {
    Q_OBJECT
public:
    frmUmbenennen(LunarisState& state, AppServices& services, const QString& former, QWidget* mainWindow);

    // The new name once the day was renamed; empty otherwise (cancelled, or the name left as it was).
    const QString& renamedTo() const { return m_renamedTo; }

protected:
    void cmdOK_Click() override;
    void cmdAbbrechen_Click() override;

private:
    QString m_former;
    QString m_renamedTo;
};
