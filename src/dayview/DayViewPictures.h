#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>

class QPainter;
class QPaintDevice;

// Pictures of what a day-view column paints frame after frame: the empty column (background, header,
// rows with their times) and each look of a block. Copying a picture costs a fraction of painting its
// lines and glyphs again. It gives the same pixels because the picture is painted by the same code, in
// the same coordinates up to whole pixels, on an image of the device's own format, resolution and
// pixel ratio.
class DayViewPictures {
public:
    // What the empty column shows; when any of it changes, its picture is painted anew.
    struct GridKey {
        QSize size;
        int firstRow = 0;
        int rows = 0;
        QString dayStart;
        int slotMinutes = 0;
        QString caption;
        bool enabled = false;
        QColor back;
        QBrush header;
        QColor headerText;
        QColor headerLine;
        QColor border;
        QFont font;
        bool operator==(const GridKey&) const = default;
    };
    using PaintGrid = std::function<void(QPainter&)>;
    // Paints a block over the area it is given.
    using PaintBlock = std::function<void(QPainter&, const QRectF&)>;

    // Whether pictures can stand in for painting with this painter on the widget: a raster image of
    // 32 bits per pixel, a whole-number pixel ratio, moved by whole pixels only. Pictures of another
    // device are dropped.
    bool prepare(QPainter& painter, const QPaintDevice& widget);
    // Copies the part `dirty` of the empty column, painting its picture first when the key changed.
    void drawGrid(QPainter& painter, const QRect& dirty, const GridKey& key, const PaintGrid& paint);
    // Copies a part of the picture drawGrid last used (pixels drawn over since come back).
    void copyGrid(QPainter& painter, const QRect& part);
    // Draws a block that leaves no pixel outside `area` (rounded), with an opaque fill.
    void drawBlock(QPainter& painter, const QRectF& area, const QColor& fill, const QColor& text, const QString& code,
                   const PaintBlock& paint);

private:
    struct BlockKey {
        QRectF area; // within its picture
        QColor fill;
        QColor text;
        QString code;
        bool operator==(const BlockKey&) const = default;
    };
    friend size_t qHash(const BlockKey& key, size_t seed);

    QImage newImage(QSize size, QImage::Format format) const;
    void copyState(const QPainter& from, QPainter& to, QPoint shift) const;

    QImage::Format m_format = QImage::Format_Invalid;
    qreal m_ratio = 1;
    int m_dpiX = 0;
    int m_dpiY = 0;
    bool m_sameResolution = false;
    GridKey m_gridKey;
    QImage m_grid;
    QHash<BlockKey, QImage> m_blocks;
};
