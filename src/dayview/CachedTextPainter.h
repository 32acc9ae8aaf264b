#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>

class QPainter;
class QRectF;

// Draws single-line texts exactly as QPainter::drawText(rect, Qt::AlignLeft | vertical |
// Qt::TextSingleLine, text) does, but lays each text out only once. A day view paints the same row
// times and block texts frame after frame, and laying them out again was most of a frame's work.
class CachedTextPainter {
public:
    // vertical: Qt::AlignTop or Qt::AlignVCenter. The text is clipped to rect when it does not fit.
    void draw(QPainter& painter, const QRectF& rect, Qt::Alignment vertical, const QString& text);
    // Whether every pixel draw() would touch lies inside the pixels that filling `inside` covers.
    bool staysInside(QPainter& painter, const QRectF& rect, Qt::Alignment vertical, const QString& text,
                     const QRectF& inside);

private:
    struct LaidOut {
        QStaticText text;
        qreal width = 0;
        QRectF ink; // the pixels the glyphs may cover, from the left end of the baseline
    };

    const LaidOut& laidOut(QPainter& painter, const QString& text);
    qreal topOf(const QRectF& rect, Qt::Alignment vertical) const;

    QHash<QString, LaidOut> m_texts;
    QFont m_font; // the font the texts were laid out in
    qreal m_height = 0;
    qreal m_ascent = 0;
};
