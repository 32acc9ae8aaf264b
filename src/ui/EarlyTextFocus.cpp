#include "ui/EarlyTextFocus.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>

bool EarlyTextFocus::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FocusIn || !QAccessible::isActive() || !qobject_cast<QLineEdit*>(watched) ||
        watched == m_passing)
        return QObject::eventFilter(watched, event);
    QPointer<QWidget> field = static_cast<QWidget*>(watched);
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    QMetaObject::invokeMethod(
        this,
        [this, field, reason] {
            // The focus may have moved on meanwhile: then the field never had it.
            if (!field || !field->hasFocus())
                return;
            m_passing = field;
            QFocusEvent focusIn(QEvent::FocusIn, reason);
            QCoreApplication::sendEvent(field, &focusIn);
            m_passing = nullptr;
        },
        Qt::QueuedConnection);
    return true;
}
