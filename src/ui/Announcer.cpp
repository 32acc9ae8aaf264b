#include "ui/Announcer.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

Announcer::Announcer(QObject* parent) : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &Announcer::focusChanged);
}

Announcer::~Announcer()
{
    restoreDescription();
}

void Announcer::announce(const QString& text)
{
    if (text.isEmpty())
        return;
    m_pending = text;
    deliver();
}

void Announcer::deliver()
{
    QWidget* focus = QApplication::focusWidget();
    // A dialog that is closing still holds the focus: the text goes to where the focus returns.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!focus || !focus->isVisible() || !focus->isActiveWindow() ||
        (modal && modal != focus && !modal->isAncestorOf(focus)))
        return;
    const QString text = std::exchange(m_pending, QString());
    if (auto* target = dynamic_cast<AnnouncementTarget*>(focus)) {
        target->announce(text);
        return;
    }
    if (m_described != focus) {
        restoreDescription();
        m_described = focus;
        m_descriptionBefore = focus->accessibleDescription();
    }
    // The same text again is a new announcement: the description changes twice.
    if (focus->accessibleDescription() == text)
        focus->setAccessibleDescription(QString());
    focus->setAccessibleDescription(text);
}

void Announcer::focusChanged(QWidget* old, QWidget* now)
{
    // Once the focus has left it, the widget gets its own description back (the screen reader no
    // longer listens to it).
    if (old && old == m_described)
        restoreDescription();
    // After the widget has told the screen reader that it has the focus (a day view tells its row
    // a moment later), the waiting text follows.
    if (now && !m_pending.isEmpty())
        QTimer::singleShot(0, this, [this] {
            if (!m_pending.isEmpty())
                QTimer::singleShot(0, this, &Announcer::deliver);
        });
}

void Announcer::restoreDescription()
{
    if (QWidget* widget = m_described.data())
        widget->setAccessibleDescription(m_descriptionBefore);
    m_described = nullptr;
    m_descriptionBefore.clear();
}
