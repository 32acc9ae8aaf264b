#include "ui/Announcer.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {
// How many notifications stay readable after they appeared.
constexpr int KeptNotifications = 8;
// How long the focus must stay put before a text that waited for it appears.
constexpr int SettleMilliseconds = 400;

// The focus left a window: a dialog closed, or the user went to another window.
bool leftAWindow(const QWidget* before, const QWidget* now)
{
    return before && (!now || before->window() != now->window());
}

// A text that appears in a window, for screen readers only.
class NotificationAccessible : public QAccessibleInterface {
public:
    NotificationAccessible(QWidget* window, const QString& text) : m_window(window), m_text(text) {}

    bool isValid() const override { return !m_window.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_window ? m_window->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_window.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? m_text : QString(); }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return {}; }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }

private:
    QPointer<QWidget> m_window;
    QString m_text;
};
} // namespace

Announcer::Announcer(QObject* parent) : QObject(parent)
{
    // A text that waits goes out once the focus has settled in a window. A closing dialog hands the focus
    // on several times in a row (the window, then the widget that had it), and the screen reader drops a
    // notification that such a focus change overtakes.
    m_settling.setSingleShot(true);
    m_settling.setInterval(SettleMilliseconds);
    connect(&m_settling, &QTimer::timeout, this, &Announcer::deliver);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* before, QWidget* now) {
        if (leftAWindow(before, now))
            m_sinceWindowChange.start();
        if (now && !m_pending.isEmpty())
            m_settling.start();
    });
}

Announcer::~Announcer()
{
    for (const unsigned id : std::as_const(m_shown))
        QAccessible::deleteAccessibleInterface(id);
}

void Announcer::announce(const QString& text)
{
    if (text.isEmpty())
        return;
    m_pending.append(text);
    if (m_sinceWindowChange.isValid() && m_sinceWindowChange.elapsed() < SettleMilliseconds) {
        if (!m_settling.isActive())
            m_settling.start(SettleMilliseconds - int(m_sinceWindowChange.elapsed()));
        return;
    }
    deliver();
}

void Announcer::deliver()
{
    QWidget* focus = QApplication::focusWidget();
    const QWidget* modal = QApplication::activeModalWidget();
    if (m_pending.isEmpty() || !focus || !focus->isVisible() || !focus->isActiveWindow() ||
        (modal && modal != focus->window()))
        return;
    const QStringList texts = std::exchange(m_pending, {});
    if (!QAccessible::isActive())
        return;
    for (const QString& text : texts) {
        auto* notification = new NotificationAccessible(focus->window(), text);
        m_shown.append(QAccessible::registerAccessibleInterface(notification));
        QAccessibleEvent shown(notification, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
    while (m_shown.size() > KeptNotifications)
        QAccessible::deleteAccessibleInterface(m_shown.takeFirst());
}
