#include "ui/WindowFocus.h"

#include <QWidget>

void returnFocusTo(QWidget* owner)
{
    if (!owner)
        return;
    QWidget* window = owner->window();
    if (window->isVisible() && !window->isMinimized())
        window->activateWindow();
}
