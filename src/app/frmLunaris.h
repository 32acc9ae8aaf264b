#pragma once

#include <QMainWindow>

struct LunarisState;
struct AppServices;

// The program's main window.
class frmLunaris : public QMainWindow {
    Q_OBJECT
public:
    frmLunaris(LunarisState& state, AppServices& services, QWidget* parent = nullptr);

private:
    LunarisState& m_state;
    AppServices& m_services;
};
