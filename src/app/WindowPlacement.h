#pragma once

#include <QMargins>
#include <QRect>

class QWidget;
class SettingsStore;

// Where the main window lies: its outer bounds (frame and title bar included) are stored in twips at the
// close and restored at the start, fitted into the screen the stored corner lies on.
class WindowPlacement {
public:
    WindowPlacement(QWidget& window, SettingsStore& settings);

    // Reads the stored bounds and places the window by them; nonsense and sizes too small to work in give
    // the first start's size.
    void restore();
    // The window was shown or moved: once the window system tells the frame, it comes off the size.
    void followFrame();
    // Stores the window's outer bounds (not while it is minimized).
    void store();

private:
    void apply();

    QWidget& m_window;
    SettingsStore& m_settings;
    // Outer bounds in pixels, and the frame taken off the size so far; pending until the window system has
    // told the frame.
    QRect m_outer;
    QMargins m_appliedFrame;
    bool m_pending = false;
};
