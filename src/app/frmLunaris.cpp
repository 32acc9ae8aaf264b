#include "app/frmLunaris.h"

#include "app/AppServices.h"
#include "app/LunarisState.h"

frmLunaris::frmLunaris(LunarisState& state, AppServices& services, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_services(services)
{
    setObjectName(QStringLiteral("frmLunaris"));
    setWindowTitle(QStringLiteral("Lunaris"));
}
