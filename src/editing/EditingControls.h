#pragma once

#include <QObject>

class frmLunaris;
class QComboBox;
class QPushButton;
struct AppServices;
struct LunarisState;

// The small controls that serve editing: the treatment list sets the treatment a left click places,
// "AM<>PM" jumps between morning and afternoon, and all columns scroll together.
class EditingControls : public QObject {
    Q_OBJECT
public:
    EditingControls(frmLunaris& window, QComboBox& treatments, QPushButton& amPm, LunarisState& state,
                    AppServices& services);

    // Reads the treatment codes into the list again, keeping the chosen one.
    void refreshTreatments();
    void DBComboBeh_Change();
    void cmdZeit_Click();
    void SSDay1_FirstRowChange(int index, int row);

private:
    frmLunaris& m_window;
    QComboBox& m_treatments;
    LunarisState& m_state;
    AppServices& m_services;
};
