#pragma once

#include <QDialog>

// The about box: the program's icon, name, version and a short description.
// The main window owns it and shows it modally; OK, Enter and Esc close it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent);
};
