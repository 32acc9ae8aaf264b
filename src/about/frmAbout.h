#pragma once

#include <QCoreApplication>
#include <QDialog>

// The about box: the program's icon, name, version, a short description and the other makers' components it
// ships (read from the program folder). The main window owns it and shows it modally; OK, Enter and Esc close it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent, const QString& programFolder = QCoreApplication::applicationDirPath());
};
