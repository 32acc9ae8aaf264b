#pragma once

#include <QIcon>

// The program's icon (a day grid under a crescent), for the windows and the about box.
// Compiled into the program, so it is there wherever the program was started from.
QIcon programIcon();
