#pragma once

#include <QAccessible>
#include <QList>
#include <QStringList>

// Catches what the program tells screen readers while it lives: every accessibility event, with the
// name and description its object had when it was sent (as a screen reader reads them then).
class AccessibleEvents {
public:
    struct Event {
        QAccessible::Event type;
        QAccessible::Role role;
        QString name;
        QString description;
    };

    AccessibleEvents();
    ~AccessibleEvents();
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    const QList<Event>& events() const { return m_events; }
    // The texts of the notifications that appeared, in order: what a screen reader speaks at once.
    QStringList announcements() const;
    // The name of the object the last focus event was about.
    QString lastFocus() const;
    void clear() { m_events.clear(); }

private:
    static void record(QAccessibleEvent* event);

    QList<Event> m_events;
};
