#pragma once

#include "dayview/CachedTextPainter.h"
#include "dayview/DayViewModel.h"
#include "dayview/DayViewPictures.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QScrollBar;

// How a block is drawn, decided by its text (the treatment code).
struct BlockLook {
    QColor fill; // invalid: the block's own colour
    QColor text = Qt::black;
    bool missing = false; // the treatment no longer exists: hatched grey, with a tooltip saying so
};

// One column of the main window: a bold header with the caption, the rows of the time range with
// their start times in a small font, and the blocks as filled rectangles over their rows.
// The blocks are the model's (the open day's column): they change through the day's steps, and the
// view is told to show them; the view itself only draws them and forwards the user's input.
class DayView : public QWidget {
    Q_OBJECT
public:
    explicit DayView(int index, QWidget* parent = nullptr);
    // A view of a column that lives elsewhere (the open day's); the model must outlive the view.
    DayView(int index, DayViewModel& model, QWidget* parent = nullptr);

    int index() const { return m_index; }
    // Read only: the blocks change through their owner (the open day's steps), never through the view.
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
    // The model's blocks were changed directly: repaint the whole column, or only the rows of the
    // blocks that differ from what the column last showed (an edit of a few blocks).
    void showAllBlocks();
    void showChangedBlocks();
    // Paints the empty column and the blocks from pictures kept between frames (on by default); off,
    // every frame paints everything anew. The pixels are the same either way.
    void setPaintPictures(bool on);

    // The keyboard's row in this column (shown as a focus frame while the column has the focus).
    int cursorRow() const { return m_cursorRow; }
    // Moves the cursor to the row (kept inside the day) and scrolls it into view.
    void setCursorRow(int row);

    // Blocks of this column can be dragged (chair columns): a left press on a block waits for the
    // release (the click) or for a movement beyond the drag distance (a drag).
    void setDragEnabled(bool enabled) { m_dragEnabled = enabled; }
    // Forgets a pressed or dragged block (its index is stale once the blocks changed); the release
    // that follows is neither a click nor a drop.
    void cancelDrag();
    // The place a dragged block would land: `rows` rows from `row`, red when it would be refused.
    void showDropOutline(int row, int rows, bool refused);
    void clearDropOutline();
    bool hasDropOutline() const { return m_outlineRows > 0; }

    // The column's blocks are minute counts of a demand (the doctor column): screen readers hear
    // "08:10 20 Minuten", with "überlastet" for a red one.
    void setDemandColumn(bool demand) { m_demandColumn = demand; }
    // What a screen reader says for a row: its time and what takes it ("09:10 frei", "09:10 KONT
    // Kontrolle bis 09:30, 20 Minuten", "09:20 belegt durch KONT seit 09:10", "09:20 Arzt 25 Minuten,
    // überlastet um 15").
    QString accessibleRowText(int row) const;
    // What a screen reader adds to a row: the column's caption, which "where am I" then names.
    QString accessibleRowDescription(int row) const;
    // The treatment's name for a code ("Kontrolle"); empty when unknown.
    void setTreatmentNames(std::function<QString(const QString& code)> names) { m_treatmentNames = std::move(names); }

    // The row's area in the widget; invalid when it is not in view.
    QRect rowRect(int row) const;

    // Editing keys on the cursor row, given to the editor with the columnKey signal.
    enum Key { PlaceKey, RemoveKey, InfoKey, CopyKey, PasteKey, LeftKey, RightKey };

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
    // A block is dragged: the point (global) is where its top edge is now; copy while Ctrl is held.
    void blockDragMove(int index, int block, QPoint topEdge, bool copy);
    void blockDrop(int index, int block, QPoint topEdge, bool copy);
    void blockDragCancel(int index);
    // An editing key (Key) was pressed while the cursor was on the row.
    void columnKey(int index, int key, int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Where things are, fixed for one frame.
    struct Layout {
        int header = 0;
        int rowHeight = 0;
        int gutter = 0;
        int contentWidth = 0;
        int rows = 0;
        int dayStart = 0; // minutes
        double pixelsPerMinute = 0;
    };
    Layout layout() const;
    // The area a block is drawn over; nothing when it is not drawn (no clock times, out of view).
    std::optional<QRectF> blockArea(const Layout& at, const DayBlock& block) const;
    // The pixels a block may touch, its text's included.
    QRect blockPixels(const Layout& at, const DayBlock& block) const;
    // Background, header, rows with their times: the column without its blocks and border.
    void paintGrid(QPainter& painter, const Layout& at);
    void paintBlock(QPainter& painter, const QRectF& area, const BlockLook& look, const QString& text);
    // The frame around the whole column, drawn over the blocks.
    void paintBorder(QPainter& painter);
    DayViewPictures::GridKey gridKey() const;
    void init();
    void paintCursor(QPainter& painter);
    void updateCursorRow();
    // Tells screen readers that the cursor row has the focus.
    void announceCursor();

    void paintDropOutline(QPainter& painter);
    // Where the drop outline is drawn (its pen stays inside); empty without one.
    QRect outlineArea() const;
    // Index of the block under a time of this column, or -1.
    int blockAtTime(const QString& t) const;
    void emitClick(QMouseEvent* event, const QPoint& p);
    QPoint dragTopEdge(const QPoint& cursor) const;
    void updateScrollRange();
    int visibleRows() const;
    int timeGutterWidth() const;

    int m_index;
    // Set only when the view has no model given to it.
    std::unique_ptr<DayViewModel> m_ownModel;
    DayViewModel& m_model;
    QColor m_backColor = Qt::white;
    int m_firstRow = 0;
    int m_cursorRow = 0;
    bool m_dragEnabled = false;
    bool m_demandColumn = false;
    // A left press on a block: which one, where, and how far below the block's top edge; -1: none.
    int m_pressedBlock = -1;
    QPoint m_pressPoint;
    int m_grabOffset = 0;
    bool m_dragging = false;
    int m_outlineRow = 0;
    int m_outlineRows = 0;
    bool m_outlineRefused = false;
    // Wheel movement not yet worth a whole notch, in eighths of a degree.
    int m_wheelDelta = 0;
    QScrollBar* m_scrollBar;
    // The row times and block texts, in the small font.
    CachedTextPainter m_smallTexts;
    std::function<BlockLook(const QString& code)> m_look;
    // Where the last paint drew blocks of missing treatments, for their tooltips.
    QList<QPair<QRectF, QString>> m_missingAreas;
    std::function<QString(const QString& code)> m_treatmentNames;

    // The blocks as the column last showed them, to find the rows an edit changed.
    QList<DayBlock> m_shownBlocks;
    QString m_shownCaption;
    DayViewPictures m_pictures;
    bool m_paintPictures = true;
};
