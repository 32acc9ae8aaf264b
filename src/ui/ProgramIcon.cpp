#include "ui/ProgramIcon.h"

QIcon programIcon()
{
    // The SVG is drawn by Qt's SVG icon engine at every size asked for.
    return QIcon(QStringLiteral(":/icons/lunaris.svg"));
}
