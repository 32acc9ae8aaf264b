#include "AccessibleEvents.h"

// Headless, no screen reader asks: Qt sends no accessibility event until its platform part is told
// that one listens (as Qt's own accessibility tests do).
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {
AccessibleEvents* recorder = nullptr;
}

AccessibleEvents::AccessibleEvents()
{
    recorder = this;
    QAccessible::installUpdateHandler(&AccessibleEvents::record);
    if (QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility())
        platform->setActive(true);
}

AccessibleEvents::~AccessibleEvents()
{
    QAccessible::installUpdateHandler(nullptr);
    recorder = nullptr;
}

void AccessibleEvents::record(QAccessibleEvent* event)
{
    if (!recorder)
        return;
    QAccessibleInterface* iface = event->accessibleInterface();
    if (!iface)
        return;
    recorder->m_events.append(
        {event->type(), iface->role(), iface->text(QAccessible::Name), iface->text(QAccessible::Description)});
}

QStringList AccessibleEvents::announcements() const
{
    QStringList texts;
    for (const Event& event : m_events)
        if (event.type == QAccessible::ObjectShow && event.role == QAccessible::Notification)
            texts.append(event.name);
    return texts;
}

QString AccessibleEvents::lastFocus() const
{
    for (auto it = m_events.crbegin(); it != m_events.crend(); ++it)
        if (it->type == QAccessible::Focus)
            return it->name;
    return {};
}
