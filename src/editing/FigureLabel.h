#pragma once

#include <QLabel>

// A figure of the Auswertung: a label in the Tab order that shows its focus with a frame and copies
// its value with Ctrl+C. It paints its text itself: a focusable QLabel paints through a text
// document, which costs every changed figure several times the plain text's painting.
class FigureLabel : public QLabel {
    Q_OBJECT
public:
    explicit FigureLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
