#pragma once

#include <QAccessibleWidget>
#include <QHash>

class DayView;

// What screen readers see of a day-view column: a list named by its caption with one item per time
// row, named by its time and the block that starts in it. The keyboard's cursor row is the focus.
class DayViewAccessible : public QAccessibleWidget {
public:
    explicit DayViewAccessible(DayView* view);
    ~DayViewAccessible() override;

    // For QAccessible::installFactory.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    DayView* view() const;

    // Row items are made when asked for and kept until the column goes.
    mutable QHash<int, QAccessible::Id> m_rows;
};
