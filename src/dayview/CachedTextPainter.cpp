#include "dayview/CachedTextPainter.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {
// A day view draws its row times and the few texts of its blocks; more than this means the texts
// keep changing, and the cache starts afresh rather than grow.
constexpr qsizetype MaxTexts = 1000;
} // namespace

const CachedTextPainter::LaidOut& CachedTextPainter::laidOut(QPainter& painter, const QString& text)
{
    if (painter.font() != m_font || m_texts.size() > MaxTexts) {
        m_texts.clear();
        m_font = painter.font();
        const QFontMetricsF metrics(m_font, painter.device());
        m_height = metrics.ascent() + metrics.descent();
        m_ascent = metrics.ascent();
    }
    auto found = m_texts.find(text);
    if (found == m_texts.end()) {
        // One line, as drawText makes it: line breaks become blanks.
        QString line = text;
        line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        QStaticText laidOut(line);
        laidOut.setTextFormat(Qt::PlainText);
        const QFontMetricsF metrics(m_font, painter.device());
        found = m_texts.insert(text, {laidOut, metrics.horizontalAdvance(line), metrics.boundingRect(line)});
    }
    return *found;
}

qreal CachedTextPainter::topOf(const QRectF& rect, Qt::Alignment vertical) const
{
    return vertical.testFlag(Qt::AlignVCenter) ? rect.top() + (rect.height() - m_height) / 2 : rect.top();
}

void CachedTextPainter::draw(QPainter& painter, const QRectF& rect, Qt::Alignment vertical, const QString& text)
{
    const LaidOut& text_ = laidOut(painter, text);
    const qreal top = topOf(rect, vertical);
    // drawText clips only a text that does not fit its rectangle.
    const bool clip = !rect.contains(QRectF(rect.left(), top, text_.width, m_height));
    if (clip) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    painter.drawStaticText(QPointF(rect.left(), top), text_.text);
    if (clip)
        painter.restore();
}

bool CachedTextPainter::staysInside(QPainter& painter, const QRectF& rect, Qt::Alignment vertical, const QString& text,
                                    const QRectF& inside)
{
    const LaidOut& text_ = laidOut(painter, text);
    const qreal top = topOf(rect, vertical);
    // Filling a rectangle covers the pixels between its rounded edges.
    const QRectF filled(QPointF(qRound(inside.left()), qRound(inside.top())),
                        QPointF(qRound(inside.right()), qRound(inside.bottom())));
    if (!rect.contains(QRectF(rect.left(), top, text_.width, m_height)))
        return filled.contains(QRectF(rect.toAlignedRect())); // the clip, at its widest
    // The font's bounding rectangle covers every pixel the glyphs touch, smoothing included.
    return filled.contains(text_.ink.translated(rect.left(), top + m_ascent));
}
