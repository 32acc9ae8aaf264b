#include "ui/WindowFocus.h"

#include <QApplication>
#include <QWidget>

void returnFocusTo(QWidget* owner)
{
    if (!owner)
        return;
    QWidget* window = owner->window();
    if (window->isVisible() && !window->isMinimized())
        window->activateWindow();
}

void bringToFront(QWidget* mainWindow)
{
    if (mainWindow && mainWindow->isVisible()) {
        if (mainWindow->isMinimized())
            mainWindow->setWindowState((mainWindow->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        mainWindow->raise();
        mainWindow->activateWindow();
    }
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    }
}
