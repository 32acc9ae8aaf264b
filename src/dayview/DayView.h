#pragma once

#include "dayview/CachedTextPainter.h"
#include "dayview/DayViewModel.h"

#include <QWidget>

#include <functional>

class QScrollBar;

// How a block is drawn, decided by its text (the treatment code).
struct BlockLook {
    QColor fill; // invalid: the block's own colour
    QColor text = Qt::black;
    bool missing = false; // the treatment no longer exists: hatched grey, with a tooltip saying so
};

// One column of the main window: a bold header with the caption, the rows of the time range with
// their start times in a small font, and the blocks as filled rectangles over their rows.
// Every operation that changes the contents repaints; refused requests throw LunarisError 32096.
class DayView : public QWidget {
    Q_OBJECT
public:
    explicit DayView(int index, QWidget* parent = nullptr);

    int index() const { return m_index; }
    DayViewModel& model() { return m_model; }
    const DayViewModel& model() const { return m_model; }

    void setSlotSize(int code);
    void setDayEnd(const QString& time);
    void setDayStart(const QString& time);
    int rowCount() const { return m_model.rowCount(); }
    int rowOfTime(const QString& time) const { return m_model.rowOfTime(time); }
    QString timeOfRow(int row) const { return m_model.timeOfRow(row); }

    QString caption() const { return m_model.caption(); }
    void setCaption(const QString& caption);
    void setColumnBackColor(const QColor& color);
    QColor columnBackColor() const { return m_backColor; }

    int firstRow() const { return m_firstRow; }
    // Scrolls so that the row is the first visible one; raises firstRowChange only when it changes.
    void setFirstRow(int row);

    // Start time of the row under a point of the widget; empty off the rows (header, below the last row).
    QString timeAt(int x, int y) const;
    // The point at the middle of a row's area, for a click on that row (nothing when the row is not visible).
    QPoint pointOfRow(int row) const;

    int count() const { return m_model.count(); }
    const DayBlock& item(int index) const { return m_model.item(index); }
    void add(const QString& startTime, const QString& endTime, const QString& text, const QColor& color);
    void remove(int index);
    void clear();

    // Decides the look of each block; without one every block shows its own colour.
    void setBlockLook(std::function<BlockLook(const QString& code)> look);
    // The tooltip of a missing treatment's block.
    static QString missingTip(const QString& code);

    // The header's font: the widget's font, bold, 9.75 points.
    QFont captionFont() const;
    int headerHeight() const;
    int rowHeight() const;

signals:
    // A mouse button was pressed on the column; button 1 left, 2 right.
    void columnClick(int index, int button, int shift, int x, int y);
    void firstRowChange(int index, int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollRange();
    int visibleRows() const;
    int timeGutterWidth() const;

    int m_index;
    DayViewModel m_model;
    QColor m_backColor = Qt::white;
    int m_firstRow = 0;
    // Wheel movement not yet worth a whole notch, in eighths of a degree.
    int m_wheelDelta = 0;
    QScrollBar* m_scrollBar;
    // The row times and block texts, in the small font.
    CachedTextPainter m_smallTexts;
    std::function<BlockLook(const QString& code)> m_look;
    // Where the last paint drew blocks of missing treatments, for their tooltips.
    QList<QPair<QRectF, QString>> m_missingAreas;
};
