#include "ui/ProgramIcon.h"

QIcon programIcon()
{
#ifdef LUNARIS_PNG_ICON
    // This Qt has no SVG icon engine: the SVG was rendered at the usual icon sizes when the program was built.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/lunaris-%1.png").arg(size), QSize(size, size));
    return icon;
#else
    // The SVG is drawn by Qt's SVG icon engine at every size asked for.
    return QIcon(QStringLiteral(":/icons/lunaris.svg"));
#endif
}
