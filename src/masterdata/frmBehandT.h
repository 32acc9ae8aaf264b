#pragma once

#include "masterdata/RecordEditor.h"

// The treatment editor: one row of table Behand at a time (code, text, duration, the two times the
// doctor is needed, fee), and the colour of its blocks. Enter and Esc close it.
class frmBehandT : public RecordEditor {
    Q_OBJECT
public:
    frmBehandT(LunarisState& state, AppServices& services, QWidget* parent = nullptr);

protected:
    bool confirmDelete() override;

private:
    // Lets the user choose the colour of the current code's blocks (kept in the settings).
    void cmdFarbe_Click();
};
