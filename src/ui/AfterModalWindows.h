#pragma once

#include <QString>

#include <functional>

class QWidget;

// Runs `then` once no modal window of the program is open any more: at once when none is; otherwise when the
// last one has closed and the command that opened it has ended (the next turn of the event loop). While one is
// pending for `window` and `purpose`, a second request is the same one and is not added; requests of other
// purposes wait beside it.
void afterModalWindows(QWidget& window, const std::function<void()>& then, const QString& purpose = {});
