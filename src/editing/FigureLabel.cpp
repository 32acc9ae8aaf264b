#include "editing/FigureLabel.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

FigureLabel::FigureLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::StrongFocus);
}

void FigureLabel::paintEvent(QPaintEvent*)
{
    // Drawn as plain text: a focusable QLabel would lay out and paint a text document each time.
    QPainter painter(this);
    const int m = margin();
    style()->drawItemText(&painter, contentsRect().adjusted(m, m, -m, -m),
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(), isEnabled(), text(),
                          foregroundRole());
    if (!hasFocus())
        return;
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.backgroundColor = palette().color(backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

void FigureLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(text());
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void FigureLabel::focusInEvent(QFocusEvent* event)
{
    QLabel::focusInEvent(event);
    update();
}

void FigureLabel::focusOutEvent(QFocusEvent* event)
{
    QLabel::focusOutEvent(event);
    update();
}
