#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

class BenchSession;
class DayViewModel;

// The checks that keep a figure honest: a benchmark whose check fails reports the failure, not a time.
void require(bool condition, const char* what);
// The fee box shows the fee of the blocks in their present order (the total is rounded as it runs).
void requireFee(BenchSession& s);
// The day as it was opened: every block, and the right fee.
void requireFullDay(BenchSession& s);
// The same of columns shown elsewhere (the naive way's own) and the fee box's text.
void requireFullDay(const QList<const DayViewModel*>& chairs, const DayViewModel& doctor, const QString& fee);

// Counts the paint events of a widget and the area they covered, to prove that a frame really drew the
// changed columns.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~PaintCounter() override { m_widget->removeEventFilter(this); }
    int count() const { return m_count; }
    const QRegion& painted() const { return m_painted; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++m_count;
            m_painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }

private:
    QWidget* m_widget;
    int m_count = 0;
    QRegion m_painted;
};
