#include "dayview/DayViewAccessible.h"

#include "dayview/DayView.h"

#include <QPointer>
#include <QWindow>

namespace {
// One time row of a column.
class DayRowAccessible : public QAccessibleInterface {
public:
    DayRowAccessible(DayView* view, int row) : m_view(view), m_row(row) {}

    bool isValid() const override { return m_view && m_row < m_view->rowCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return m_view->accessibleRowText(m_row);
        if (t == QAccessible::Description)
            return m_view->accessibleRowDescription(m_row);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_view->rowRect(m_row);
        return local.isValid() ? QRect(m_view->mapToGlobal(local.topLeft()), local.size()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.focusable = m_view->focusPolicy() != Qt::NoFocus;
        s.focused = m_view->hasFocus() && m_view->cursorRow() == m_row;
        s.offscreen = !m_view->rowRect(m_row).isValid();
        return s;
    }

private:
    QPointer<DayView> m_view;
    int m_row;
};
} // namespace

DayViewAccessible::DayViewAccessible(DayView* view) : QAccessibleWidget(view, QAccessible::List) {}

DayViewAccessible::~DayViewAccessible()
{
    for (const QAccessible::Id id : std::as_const(m_rows))
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* DayViewAccessible::factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("DayView") && object && object->isWidgetType())
        return new DayViewAccessible(static_cast<DayView*>(object));
    return nullptr;
}

DayView* DayViewAccessible::view() const
{
    return static_cast<DayView*>(widget());
}

QString DayViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return view()->caption();
    // The tooltip is for the mouse ("2) Eintragen durch Anklicken"); the keys are in the help.
    if (t == QAccessible::Description)
        return {};
    return QAccessibleWidget::text(t);
}

int DayViewAccessible::childCount() const
{
    return view()->rowCount();
}

QAccessibleInterface* DayViewAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto found = m_rows.constFind(index);
    if (found != m_rows.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto* row = new DayRowAccessible(view(), index);
    m_rows.insert(index, QAccessible::registerAccessibleInterface(row));
    return row;
}

int DayViewAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    return m_rows.key(id, -1);
}

QAccessibleInterface* DayViewAccessible::focusChild() const
{
    return view()->hasFocus() ? child(view()->cursorRow()) : nullptr;
}

QAccessibleInterface* DayViewAccessible::childAt(int x, int y) const
{
    const QPoint local = view()->mapFromGlobal(QPoint(x, y));
    const QString t = view()->timeAt(local.x(), local.y());
    return t.isEmpty() ? nullptr : child(view()->rowOfTime(t));
}
