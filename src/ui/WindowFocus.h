#pragma once

class QWidget;

// A modal window has closed: the window it belonged to takes the keyboard back. Without a window manager
// (and with some) the focus would stay nowhere, and the main window's shortcuts would do nothing until the
// user clicks into it.
void returnFocusTo(QWidget* owner);

// Another start of the program asked for this one: its main window comes to the front, restored when it
// was minimised, and a dialog open over it (or one shown before the main window appears) keeps the keyboard.
void bringToFront(QWidget* mainWindow);
