#include "app/WindowPlacement.h"

#include "kernel/Steps.h"
#include "settings/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {
constexpr int TwipsPerPixel = 15;
constexpr double DefaultWidthTwips = 12000;
constexpr double DefaultHeightTwips = 8700;
const QString kSection = QStringLiteral("Settings");

int px(double twips)
{
    return qRound(twips / TwipsPerPixel);
}

// A window value in twips; text that is no number, or no finite one, gives the default. Values
// are bounded so that no arithmetic on them can overflow; the screen bounds them further.
double twipsSetting(const SettingsStore& settings, const QString& key, double defaultTwips)
{
    constexpr double Bound = 1e7;
    bool ok = false;
    const double value =
        settings.getSetting(SettingsStore::ProgramApp, kSection, key, QString::number(defaultTwips)).toDouble(&ok);
    return ok && std::isfinite(value) ? std::clamp(value, -Bound, Bound) : defaultTwips;
}
} // namespace

WindowPlacement::WindowPlacement(QWidget& window, SettingsStore& settings) : m_window(window), m_settings(settings) {}

void WindowPlacement::restore()
{
    const double left = twipsSetting(m_settings, QStringLiteral("MainLeft"), 0);
    const double top = twipsSetting(m_settings, QStringLiteral("MainTop"), 0);
    const double width = twipsSetting(m_settings, QStringLiteral("MainWidth"), DefaultWidthTwips);
    const double height = twipsSetting(m_settings, QStringLiteral("MainHeight"), DefaultHeightTwips);
    // The values may come from another screen, or be nonsense: a window too small to work in gets
    // the first-start size, and the window is fitted into the screen its corner lies on.
    QSize size(px(width < DefaultWidthTwips / 2 ? DefaultWidthTwips : width),
               px(height < DefaultHeightTwips / 2 ? DefaultHeightTwips : height));
    QPoint corner(px(left), px(top));
    const QScreen* target = QGuiApplication::screenAt(corner);
    if (!target)
        target = QGuiApplication::primaryScreen();
    if (target) {
        const QRect area = target->availableGeometry();
        size = size.boundedTo(area.size());
        corner.setX(std::clamp(corner.x(), area.left(), area.left() + area.width() - size.width()));
        corner.setY(std::clamp(corner.y(), area.top(), area.top() + area.height() - size.height()));
    }
    m_outer = QRect(corner, size);
    m_pending = true;
    apply();
}

void WindowPlacement::apply()
{
    // The stored values are the window's outer bounds, frame and title bar included. Qt places a
    // window by its frame but sizes it by its inside, so the frame comes off the size once the
    // window system has told it (at the latest when the window is shown; with some window managers
    // only after the first move).
    const QWindow* handle = m_window.windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    m_window.move(m_outer.topLeft());
    m_window.resize(m_outer.size().shrunkBy(frame));
    m_appliedFrame = frame;
    if (!frame.isNull())
        m_pending = false;
}

void WindowPlacement::followFrame()
{
    if (m_pending && m_window.windowHandle() && m_window.windowHandle()->frameMargins() != m_appliedFrame)
        apply();
}

void WindowPlacement::store()
{
    if (m_window.isMinimized())
        return;
    // The outer bounds, frame and title bar included, as the window is placed by them at the next start.
    const QRect frame = m_window.frameGeometry();
    runStep([&] {
        m_settings.saveSetting(SettingsStore::ProgramApp, kSection, QStringLiteral("MainLeft"),
                               QString::number(frame.x() * TwipsPerPixel));
        m_settings.saveSetting(SettingsStore::ProgramApp, kSection, QStringLiteral("MainTop"),
                               QString::number(frame.y() * TwipsPerPixel));
        m_settings.saveSetting(SettingsStore::ProgramApp, kSection, QStringLiteral("MainWidth"),
                               QString::number(frame.width() * TwipsPerPixel));
        m_settings.saveSetting(SettingsStore::ProgramApp, kSection, QStringLiteral("MainHeight"),
                               QString::number(frame.height() * TwipsPerPixel));
    });
}
