#include "dayview/DayView.h"

#include "dayview/ClockTime.h"
#include "dayview/DayViewAccessible.h"
#include "kernel/LunarisError.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>

namespace {
QFont headerFont(const QFont& base)
{
    QFont font = base;
    font.setBold(true);
    font.setPointSizeF(9.75);
    return font;
}

QFont smallFont(const QFont& base)
{
    QFont font = base;
    font.setPointSizeF(6.75);
    return font;
}
} // namespace

DayView::DayView(int index, QWidget* parent)
    : QWidget(parent), m_index(index), m_ownModel(std::make_unique<DayViewModel>()), m_model(*m_ownModel),
      m_scrollBar(new QScrollBar(this))
{
    init();
}

DayView::DayView(int index, DayViewModel& model, QWidget* parent)
    : QWidget(parent), m_index(index), m_model(model), m_scrollBar(new QScrollBar(this))
{
    init();
}

void DayView::init()
{
    // Idempotent: the factory is only added once per process.
    static const bool accessible = [] {
        QAccessible::installFactory(&DayViewAccessible::factory);
        return true;
    }();
    Q_UNUSED(accessible)
    m_scrollBar->setOrientation(Qt::Vertical);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) { setFirstRow(value); });
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateScrollRange();
}

void DayView::setSlotSize(int code)
{
    m_model.setSlotSize(code);
    updateScrollRange();
    update();
}

void DayView::setDayEnd(const QString& time)
{
    m_model.setDayEnd(time);
    updateScrollRange();
    update();
}

void DayView::setDayStart(const QString& time)
{
    m_model.setDayStart(time);
    updateScrollRange();
    update();
}

void DayView::setCaption(const QString& caption)
{
    m_model.setCaption(caption);
    update();
}

void DayView::setColumnBackColor(const QColor& color)
{
    m_backColor = color;
    update();
}

void DayView::setFirstRow(int row)
{
    if (row < 0 || row > std::max(0, rowCount() - 1))
        throw LunarisError(LunarisError::DayViewRefused, QStringLiteral("Die Zeile %1 gibt es nicht.").arg(row));
    if (row == m_firstRow)
        return;
    m_firstRow = row;
    {
        const QSignalBlocker blocker(m_scrollBar);
        m_scrollBar->setValue(row);
    }
    update();
    emit firstRowChange(m_index, row);
}

QFont DayView::captionFont() const
{
    return headerFont(font());
}

int DayView::headerHeight() const
{
    return QFontMetrics(captionFont()).height() + 6;
}

int DayView::rowHeight() const
{
    return QFontMetrics(smallFont(font())).height() + 4;
}

int DayView::timeGutterWidth() const
{
    return QFontMetrics(smallFont(font())).horizontalAdvance(QStringLiteral("00:00")) + 4;
}

int DayView::visibleRows() const
{
    return std::max(1, (height() - headerHeight()) / rowHeight());
}

void DayView::updateScrollRange()
{
    const QSignalBlocker blocker(m_scrollBar);
    m_scrollBar->setRange(0, std::max(0, rowCount() - 1));
    m_scrollBar->setPageStep(visibleRows());
    m_scrollBar->setValue(m_firstRow);
    if (m_firstRow > std::max(0, rowCount() - 1)) {
        m_firstRow = 0;
        m_scrollBar->setValue(0);
    }
}

void DayView::resizeEvent(QResizeEvent*)
{
    const int width = m_scrollBar->sizeHint().width();
    m_scrollBar->setGeometry(this->width() - width, headerHeight(), width, height() - headerHeight());
    updateScrollRange();
}

QString DayView::timeAt(int x, int y) const
{
    if (x < 0 || x >= width() - m_scrollBar->width() || y < headerHeight() || y >= height())
        return {};
    const int row = m_firstRow + (y - headerHeight()) / rowHeight();
    if (row >= rowCount())
        return {};
    return timeOfRow(row);
}

QPoint DayView::pointOfRow(int row) const
{
    const int visible = row - m_firstRow;
    if (visible < 0 || visible >= visibleRows())
        return {-1, -1};
    return {(width() - m_scrollBar->width()) / 2, headerHeight() + visible * rowHeight() + rowHeight() / 2};
}

void DayView::setBlockLook(std::function<BlockLook(const QString& code)> look)
{
    m_look = std::move(look);
    update();
}

QString DayView::missingTip(const QString& code)
{
    return QStringLiteral("Die Behandlung „%1“ gibt es nicht mehr.").arg(code);
}

DayView::Layout DayView::layout() const
{
    Layout at;
    at.header = headerHeight();
    at.rowHeight = rowHeight();
    at.gutter = timeGutterWidth();
    at.contentWidth = width() - m_scrollBar->width();
    at.rows = rowCount();
    at.dayStart = ClockTime::minutesOf(m_model.dayStart()).value_or(0);
    at.pixelsPerMinute = double(at.rowHeight) / m_model.slotMinutes();
    return at;
}

std::optional<QRectF> DayView::blockArea(const Layout& at, const DayBlock& block) const
{
    const auto start = ClockTime::minutesOf(block.startTime.trimmed());
    const auto end = ClockTime::minutesOf(block.endTime.trimmed());
    if (!start || !end)
        return std::nullopt;
    const double top = at.header + (*start - at.dayStart) * at.pixelsPerMinute - m_firstRow * at.rowHeight;
    const double bottom = at.header + (*end - at.dayStart) * at.pixelsPerMinute - m_firstRow * at.rowHeight;
    if (bottom < at.header || top >= height())
        return std::nullopt;
    // A block shorter than a row still gets a row's height, so its text stays legible.
    const double clippedBottom =
        std::min(std::max(bottom, top + at.rowHeight - 1), at.header + (at.rows - m_firstRow) * double(at.rowHeight));
    return QRectF(at.gutter + 1, std::max<double>(top, at.header), at.contentWidth - at.gutter - 2,
                  std::max(2.0, clippedBottom - std::max<double>(top, at.header)));
}

QRect DayView::blockPixels(const Layout& at, const DayBlock& block) const
{
    const auto area = blockArea(at, block);
    if (!area)
        return {};
    // A text that fits is not clipped, and its glyphs may reach a little past its area.
    const QFontMetricsF metrics(smallFont(font()), this);
    QString line = block.text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QRectF ink = metrics.boundingRect(line).translated(area->left() + 3, area->top() + metrics.ascent());
    return area->united(ink).toAlignedRect().adjusted(-2, -2, 2, 2);
}

void DayView::showAllBlocks()
{
    const bool captionChanged = caption() != m_shownCaption;
    m_shownBlocks = m_model.blocks();
    m_shownCaption = caption();
    // Blocks lie left of the scroll bar, which repaints itself when its range or value changes. One
    // rectangle, not the column less the scroll bar: the raster engine copies the kept pictures into
    // a rectangle directly, into any other shape on its fill threads, and waits for them.
    if (captionChanged || m_scrollBar->isHidden())
        update();
    else
        update(0, 0, width() - m_scrollBar->width(), height());
}

void DayView::showChangedBlocks()
{
    if (caption() != m_shownCaption)
        return showAllBlocks();
    const QList<DayBlock>& now = m_model.blocks();
    const QList<DayBlock>& shown = m_shownBlocks;
    // Blocks are drawn in list order. Outside the blocks between the common beginning and the common
    // end of both lists, the same blocks are drawn in the same order, so those pixels stay.
    qsizetype head = 0;
    while (head < now.size() && head < shown.size() && now[head] == shown[head])
        ++head;
    qsizetype tail = 0;
    while (tail < now.size() - head && tail < shown.size() - head &&
           now[now.size() - 1 - tail] == shown[shown.size() - 1 - tail])
        ++tail;
    const Layout at = layout();
    QRect changed;
    for (const QList<DayBlock>* list : {&now, &shown})
        for (qsizetype i = head; i < list->size() - tail; ++i)
            changed |= blockPixels(at, list->at(i));
    m_shownBlocks = now;
    changed &= QRect(0, 0, at.contentWidth, height());
    if (!changed.isEmpty())
        update(changed);
}

void DayView::setPaintPictures(bool on)
{
    m_paintPictures = on;
    m_pictures = DayViewPictures();
    update();
}

DayViewPictures::GridKey DayView::gridKey() const
{
    return {size(),
            m_firstRow,
            rowCount(),
            m_model.dayStart(),
            m_model.slotMinutes(),
            caption(),
            isEnabled(),
            m_backColor,
            palette().button(),
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText),
            palette().color(QPalette::Mid),
            palette().color(QPalette::Dark),
            font()};
}

void DayView::paintGrid(QPainter& painter, const Layout& at)
{
    const QColor lineColor(200, 200, 200);
    painter.fillRect(rect(), isEnabled() ? m_backColor : m_backColor.darker(105));

    // Header.
    painter.fillRect(QRect(0, 0, width(), at.header), palette().button());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(captionFont());
    painter.drawText(QRect(2, 0, width() - 4, at.header), Qt::AlignCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(caption(), Qt::ElideRight, width() - 4));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, at.header - 1, width(), at.header - 1);

    // Rows with their start times and thin row lines.
    painter.setFont(smallFont(font()));
    const int visible = visibleRows() + 1;
    for (int i = 0; i < visible && m_firstRow + i < at.rows; ++i) {
        const int y = at.header + i * at.rowHeight;
        painter.setPen(lineColor);
        painter.drawLine(0, y + at.rowHeight - 1, at.contentWidth, y + at.rowHeight - 1);
        painter.setPen(Qt::darkGray);
        m_smallTexts.draw(painter, QRect(2, y, at.gutter, at.rowHeight), Qt::AlignVCenter, timeOfRow(m_firstRow + i));
    }
    painter.setPen(lineColor);
    painter.drawLine(at.gutter, at.header, at.gutter, height());
}

void DayView::paintBorder(QPainter& painter)
{
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void DayView::paintBlock(QPainter& painter, const QRectF& area, const BlockLook& look, const QString& text)
{
    if (look.missing) {
        painter.fillRect(area, QColor(210, 210, 210));
        painter.fillRect(area, QBrush(QColor(120, 120, 120), Qt::BDiagPattern));
    } else {
        painter.fillRect(area, look.fill);
    }
    painter.setPen(Qt::black);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(look.text);
    m_smallTexts.draw(painter, area.adjusted(3, 0, -2, 0), Qt::AlignTop, text);
}

void DayView::paintEvent(QPaintEvent* event)
{
    m_missingAreas.clear();
    QPainter painter(this);
    const Layout at = layout();
    const QRect dirty = event->rect();
    const bool pictures = m_paintPictures && m_pictures.prepare(painter, *this);
    if (pictures)
        m_pictures.drawGrid(painter, dirty, gridKey(), [this, &at](QPainter& p) {
            paintGrid(p, at);
            paintBorder(p);
        });
    else
        paintGrid(painter, at);

    // Blocks, each over the rows it covers; those away from the repainted part are left as they are.
    painter.setFont(smallFont(font()));
    painter.setPen(QColor(200, 200, 200));
    const QRect near = dirty.adjusted(0, -at.rowHeight, 0, at.rowHeight);
    for (const DayBlock& block : m_model.blocks()) {
        const auto area = blockArea(at, block);
        if (!area)
            continue;
        BlockLook look = m_look ? m_look(block.text) : BlockLook{};
        if (!look.fill.isValid())
            look.fill = block.color;
        if (look.missing)
            m_missingAreas.append({*area, block.text});
        if (!area->intersects(near))
            continue;
        const auto paint = [&](QPainter& p, const QRectF& a) { paintBlock(p, a, look, block.text); };
        if (pictures && !look.missing && look.fill.alpha() == 255 &&
            m_smallTexts.staysInside(painter, area->adjusted(3, 0, -2, 0), Qt::AlignTop, block.text, *area))
            m_pictures.drawBlock(painter, *area, look.fill, look.text, block.text, paint);
        else
            paint(painter, *area);
    }

    // The border is in the picture; of its lines only the bottom one can lie under a block.
    if (pictures)
        m_pictures.copyGrid(painter, dirty & QRect(0, height() - 1, width(), 1));
    else
        paintBorder(painter);
    paintCursor(painter);
    paintDropOutline(painter);
}

void DayView::paintCursor(QPainter& painter)
{
    const QPoint middle = pointOfRow(m_cursorRow);
    if (!hasFocus() || middle.y() < 0)
        return;
    const int top = middle.y() - rowHeight() / 2;
    const QRect row(1, top, width() - m_scrollBar->width() - 2, rowHeight());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(row.adjusted(1, 1, -1, -1));
}

void DayView::setCursorRow(int row)
{
    // Only the old and the new frame are repainted, unless the column scrolls (then all of it is).
    updateCursorRow();
    m_cursorRow = std::clamp(row, 0, std::max(0, rowCount() - 1));
    if (m_cursorRow < m_firstRow)
        setFirstRow(m_cursorRow);
    else if (m_cursorRow >= m_firstRow + visibleRows())
        setFirstRow(std::max(0, m_cursorRow - visibleRows() + 1));
    updateCursorRow();
    announceCursor();
}

void DayView::announceCursor()
{
    if (!hasFocus() || !QAccessible::isActive())
        return;
    if (QAccessibleInterface* column = QAccessible::queryAccessibleInterface(this))
        if (QAccessibleInterface* row = column->child(m_cursorRow)) {
            QAccessibleEvent focus(row, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
}

QRect DayView::rowRect(int row) const
{
    const QPoint middle = pointOfRow(row);
    if (middle.y() < 0)
        return {};
    return QRect(0, middle.y() - rowHeight() / 2, width() - m_scrollBar->width(), rowHeight());
}

QString DayView::accessibleRowText(int row) const
{
    const QString time = timeOfRow(row);
    const QString next = timeOfRow(row + 1);
    QStringList parts;
    for (const DayBlock& block : m_model.blocks()) {
        const QString start = block.startTime.trimmed();
        const QString end = block.endTime.trimmed();
        if (start >= time && start < next) {
            if (m_demandColumn) {
                const int minutes = block.text.toInt();
                QString demand = QStringLiteral("Arzt %1 Minuten").arg(block.text);
                if (minutes > m_model.slotMinutes())
                    demand += QStringLiteral(", überlastet um %1").arg(minutes - m_model.slotMinutes());
                parts.append(demand);
                continue;
            }
            QString what = block.text;
            const QString name = m_treatmentNames ? m_treatmentNames(block.text).trimmed() : QString();
            if (!name.isEmpty())
                what += QLatin1Char(' ') + name;
            // A block that starts inside the row says when.
            if (start != time)
                what += QStringLiteral(" ab ") + start;
            parts.append(QStringLiteral("%1 bis %2, %3 Minuten").arg(what, end).arg(block.minutes()));
        } else if (!m_demandColumn && start < time && time < end) {
            parts.append(QStringLiteral("belegt durch %1 seit %2").arg(block.text, start));
        }
    }
    if (parts.isEmpty())
        parts.append(QStringLiteral("frei"));
    return time + QLatin1Char(' ') + parts.join(QStringLiteral("; "));
}

QString DayView::accessibleRowDescription(int) const
{
    return caption();
}

void DayView::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    auto editingKey = [this](Key key) { emit columnKey(m_index, key, m_cursorRow); };
    // Keys act on a row the user sees: a cursor that scrolling (wheel, AM<>PM, Open) left out of view
    // comes back into it first.
    const int key = event->key();
    const bool acts = (key >= Qt::Key_Left && key <= Qt::Key_PageDown) || key == Qt::Key_Home || key == Qt::Key_End ||
                      key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Delete ||
                      key == Qt::Key_Menu || (key == Qt::Key_F10 && shift) ||
                      ((key == Qt::Key_C || key == Qt::Key_V) && ctrl);
    if (acts && (m_cursorRow < m_firstRow || m_cursorRow >= m_firstRow + visibleRows()))
        setCursorRow(m_cursorRow);
    switch (key) {
    case Qt::Key_Escape:
        if (!m_dragging)
            return QWidget::keyPressEvent(event);
        cancelDrag();
        break;
    case Qt::Key_Up:
        setCursorRow(m_cursorRow - 1);
        break;
    case Qt::Key_Down:
        setCursorRow(m_cursorRow + 1);
        break;
    case Qt::Key_PageUp:
        setCursorRow(m_cursorRow - visibleRows());
        break;
    case Qt::Key_PageDown:
        setCursorRow(m_cursorRow + visibleRows());
        break;
    case Qt::Key_Home:
        setCursorRow(0);
        break;
    case Qt::Key_End:
        setCursorRow(rowCount() - 1);
        break;
    case Qt::Key_Left:
        editingKey(LeftKey);
        break;
    case Qt::Key_Right:
        editingKey(RightKey);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        editingKey(PlaceKey);
        break;
    case Qt::Key_Delete:
        editingKey(RemoveKey);
        break;
    case Qt::Key_Menu:
        editingKey(InfoKey);
        break;
    case Qt::Key_F10:
        if (!shift)
            return QWidget::keyPressEvent(event);
        editingKey(InfoKey);
        break;
    case Qt::Key_C:
    case Qt::Key_V:
        if (!ctrl)
            return QWidget::keyPressEvent(event);
        editingKey(event->key() == Qt::Key_C ? CopyKey : PasteKey);
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}

// QWidget's own handlers repaint the whole widget; the focus changes only the cursor row's frame.
void DayView::focusInEvent(QFocusEvent*)
{
    updateCursorRow();
    // Qt tells screen readers that the column has the focus after this handler; the row follows,
    // so the screen reader ends on it (and says the column's name on the way).
    QMetaObject::invokeMethod(this, &DayView::announceCursor, Qt::QueuedConnection);
}

void DayView::focusOutEvent(QFocusEvent*)
{
    updateCursorRow();
}

void DayView::updateCursorRow()
{
    // The focus shows only as the frame around the cursor row (its pen reaches a pixel past the row).
    const QRect row = rowRect(m_cursorRow);
    if (row.isValid())
        update(row.adjusted(0, -2, 0, 2));
}

void DayView::mousePressEvent(QMouseEvent* event)
{
    // A press whose release never came here (a dialog took the mouse) is over: this press is new.
    cancelDrag();
    const QPoint p = event->position().toPoint();
    if (m_dragEnabled && event->button() == Qt::LeftButton) {
        const QString t = timeAt(p.x(), p.y());
        const int block = t.isEmpty() ? -1 : blockAtTime(t);
        if (block >= 0) {
            // Click or drag: the release or the movement decides.
            const auto start = ClockTime::minutesOf(m_model.item(block).startTime.trimmed());
            const int dayStart = ClockTime::minutesOf(m_model.dayStart()).value_or(0);
            const double top = headerHeight() +
                               (start.value_or(dayStart) - dayStart) * double(rowHeight()) / m_model.slotMinutes() -
                               m_firstRow * rowHeight();
            m_pressedBlock = block;
            m_pressPoint = p;
            m_grabOffset = p.y() - int(top);
            m_dragging = false;
            return;
        }
    }
    emitClick(event, p);
}

void DayView::emitClick(QMouseEvent* event, const QPoint& p)
{
    int button = 0;
    if (event->button() == Qt::LeftButton)
        button = 1;
    else if (event->button() == Qt::RightButton)
        button = 2;
    else if (event->button() == Qt::MiddleButton)
        button = 4;
    int shift = 0;
    if (event->modifiers() & Qt::ShiftModifier)
        shift |= 1;
    if (event->modifiers() & Qt::ControlModifier)
        shift |= 2;
    if (event->modifiers() & Qt::AltModifier)
        shift |= 4;
    emit columnClick(m_index, button, shift, p.x(), p.y());
}

int DayView::blockAtTime(const QString& t) const
{
    for (int i = 0; i < m_model.count(); ++i) {
        const DayBlock& block = m_model.item(i);
        if (block.startTime.trimmed() <= t && t < block.endTime.trimmed())
            return i;
    }
    return -1;
}

void DayView::cancelDrag()
{
    m_pressedBlock = -1;
    if (std::exchange(m_dragging, false))
        emit blockDragCancel(m_index);
}

QPoint DayView::dragTopEdge(const QPoint& cursor) const
{
    return mapToGlobal(QPoint(cursor.x(), cursor.y() - m_grabOffset));
}

void DayView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressedBlock < 0 || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const QPoint p = event->position().toPoint();
    if (!m_dragging && (p - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    emit blockDragMove(m_index, m_pressedBlock, dragTopEdge(p), event->modifiers() & Qt::ControlModifier);
}

void DayView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressedBlock < 0 || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const int block = std::exchange(m_pressedBlock, -1);
    if (!std::exchange(m_dragging, false)) {
        // Pressed and released without a drag: the column click on the block, at the pressed point.
        emitClick(event, m_pressPoint);
        return;
    }
    emit blockDrop(m_index, block, dragTopEdge(event->position().toPoint()), event->modifiers() & Qt::ControlModifier);
}

void DayView::showDropOutline(int row, int rows, bool refused)
{
    // Only the outline's old and new places are drawn again: it follows every movement of the mouse.
    const QRect before = outlineArea();
    m_outlineRow = row;
    m_outlineRows = std::max(1, rows);
    m_outlineRefused = refused;
    update(QRegion(before) + outlineArea());
}

void DayView::clearDropOutline()
{
    if (m_outlineRows == 0)
        return;
    const QRect before = outlineArea();
    m_outlineRows = 0;
    update(before);
}

QRect DayView::outlineArea() const
{
    if (m_outlineRows == 0)
        return {};
    const int top = headerHeight() + (m_outlineRow - m_firstRow) * rowHeight();
    return QRect(timeGutterWidth() + 1, top, width() - m_scrollBar->width() - timeGutterWidth() - 2,
                 m_outlineRows * rowHeight());
}

void DayView::paintDropOutline(QPainter& painter)
{
    if (m_outlineRows == 0)
        return;
    const QRect area = outlineArea();
    painter.setPen(QPen(m_outlineRefused ? QColor(255, 0, 0) : palette().color(QPalette::Highlight), 2, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(1, 1, -1, -1));
}

void DayView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The press that began the double click was the column click; the second one is not another.
    event->accept();
}

void DayView::wheelEvent(QWheelEvent* event)
{
    // Touchpads and fine wheels send parts of a notch (120 units); they add up to whole notches.
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / 120;
    m_wheelDelta -= steps * 120;
    event->accept();
    if (steps == 0)
        return;
    const int row = std::clamp(m_firstRow - steps * 3, 0, std::max(0, rowCount() - 1));
    setFirstRow(row);
}

bool DayView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // Tooltips name treatments, texts from the data: shown as they are, never as markup.
        const auto showPlain = [event, this](const QString& tip) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                               Qt::mightBeRichText(tip) ? Qt::convertFromPlainText(tip, Qt::WhiteSpacePre) : tip, this);
            return true;
        };
        // A block whose treatment is gone says so.
        const QPoint pos = static_cast<QHelpEvent*>(event)->pos();
        for (const auto& [area, code] : std::as_const(m_missingAreas))
            if (area.contains(pos))
                return showPlain(missingTip(code));
        if (Qt::mightBeRichText(toolTip()))
            return showPlain(toolTip());
    }
    return QWidget::event(event);
}
