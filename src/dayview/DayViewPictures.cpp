#include "dayview/DayViewPictures.h"

#include <QPaintEngine>
#include <QPainter>

#include <cmath>

namespace {
// A column shows a few dozen kinds of block; more means the looks keep changing, and the pictures
// start afresh rather than grow (each is a few kilobytes).
constexpr qsizetype MaxBlockPictures = 500;
// Room around a block's area for the pixels of its outline, whatever their rounding.
constexpr int BlockMargin = 2;
} // namespace

size_t qHash(const DayViewPictures::BlockKey& key, size_t seed)
{
    return qHashMulti(seed, key.area.x(), key.area.y(), key.area.width(), key.area.height(), key.fill.rgba(),
                      key.text.rgba(), key.code);
}

bool DayViewPictures::prepare(QPainter& painter, const QPaintDevice& widget)
{
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!engine || engine->type() != QPaintEngine::Raster || !device || device->devType() != QInternal::Image)
        return false;
    const auto& image = *static_cast<const QImage*>(device);
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const qreal ratio = image.devicePixelRatio();
    const QTransform shift = painter.deviceTransform();
    if (ratio != std::round(ratio) || shift.type() > QTransform::TxTranslate || shift.dx() != std::round(shift.dx()) ||
        shift.dy() != std::round(shift.dy()) || !painter.worldTransform().isIdentity())
        return false;
    if (image.format() != m_format || ratio != m_ratio || widget.logicalDpiX() != m_dpiX ||
        widget.logicalDpiY() != m_dpiY) {
        m_format = image.format();
        m_ratio = ratio;
        m_dpiX = widget.logicalDpiX();
        m_dpiY = widget.logicalDpiY();
        m_grid = QImage();
        m_blocks.clear();
        // Texts are laid out for the widget's resolution; the pictures must have the same.
        const QImage probe = newImage(QSize(1, 1), m_format);
        m_sameResolution = probe.logicalDpiX() == m_dpiX && probe.logicalDpiY() == m_dpiY;
    }
    return m_sameResolution;
}

QImage DayViewPictures::newImage(QSize size, QImage::Format format) const
{
    QImage image(size * m_ratio, format);
    image.setDevicePixelRatio(m_ratio);
    // Dots per metre that give back the widget's dots per inch when rounded.
    image.setDotsPerMeterX(qRound(m_dpiX / 0.0254));
    image.setDotsPerMeterY(qRound(m_dpiY / 0.0254));
    return image;
}

void DayViewPictures::copyState(const QPainter& from, QPainter& to, QPoint shift) const
{
    to.setRenderHints(from.renderHints());
    to.setLayoutDirection(from.layoutDirection());
    to.setFont(from.font());
    to.setPen(from.pen());
    to.setBrush(from.brush());
    to.setBrushOrigin(from.brushOrigin() - shift);
    to.setBackground(from.background());
    to.setBackgroundMode(from.backgroundMode());
}

void DayViewPictures::drawGrid(QPainter& painter, const QRect& dirty, const GridKey& key, const PaintGrid& paint)
{
    // No picture can be made of a column without area (a painter on a null image paints nothing and
    // warns at every step): it is painted directly, as without pictures.
    if (key.size.isEmpty()) {
        m_grid = QImage();
        paint(painter);
        return;
    }
    if (m_grid.isNull() || !(key == m_gridKey)) {
        // The blocks' texts are in a size of the column's font.
        if (key.font != m_gridKey.font)
            m_blocks.clear();
        m_gridKey = key;
        m_grid = newImage(key.size, m_format);
        if (m_grid.isNull()) { // out of memory
            paint(painter);
            return;
        }
        QPainter picture(&m_grid);
        copyState(painter, picture, QPoint());
        paint(picture);
    }
    copyGrid(painter, dirty);
}

void DayViewPictures::copyGrid(QPainter& painter, const QRect& part)
{
    if (part.isEmpty() || m_grid.isNull())
        return;
    // A copy, not a blend: the picture covers every pixel of the column.
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(part), m_grid, QRectF(QPointF(part.topLeft()) * m_ratio, QSizeF(part.size()) * m_ratio));
    painter.setCompositionMode(mode);
}

void DayViewPictures::drawBlock(QPainter& painter, const QRectF& area, const QColor& fill, const QColor& text,
                                const QString& code, const PaintBlock& paint)
{
    // An area of no number or without size has no picture (its whole pixels could not even be counted).
    const bool finite = qIsFinite(area.x()) && qIsFinite(area.y()) && qIsFinite(area.width()) &&
                        qIsFinite(area.height()) && qAbs(area.x()) < 1e6 && qAbs(area.y()) < 1e6 &&
                        area.width() < 1e6 && area.height() < 1e6;
    if (!finite || !area.isValid()) {
        paint(painter, area);
        return;
    }
    // The picture is painted at the same place up to whole pixels, so every edge and glyph rounds alike.
    const QRect bounds = area.toAlignedRect().adjusted(-BlockMargin, -BlockMargin, BlockMargin, BlockMargin);
    if (bounds.isEmpty()) {
        paint(painter, area);
        return;
    }
    const BlockKey key{area.translated(-bounds.topLeft()), fill, text, code};
    auto found = m_blocks.constFind(key);
    if (found == m_blocks.constEnd()) {
        if (m_blocks.size() >= MaxBlockPictures)
            m_blocks.clear();
        // Transparent around the block: copying it leaves the pixels there as they are.
        QImage image = newImage(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) { // out of memory
            paint(painter, area);
            return;
        }
        image.fill(Qt::transparent);
        QPainter picture(&image);
        copyState(painter, picture, bounds.topLeft());
        paint(picture, key.area);
        picture.end();
        found = m_blocks.insert(key, image);
    }
    painter.drawImage(QPointF(bounds.topLeft()), *found);
}
