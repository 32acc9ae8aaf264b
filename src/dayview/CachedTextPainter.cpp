#include "dayview/CachedTextPainter.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {
// A day view draws its row times and the few texts of its blocks; more than this means the texts
// keep changing, and the cache starts afresh rather than grow.
constexpr qsizetype MaxTexts = 1000;
} // namespace

void CachedTextPainter::draw(QPainter& painter, const QRectF& rect, Qt::Alignment vertical, const QString& text)
{
    if (painter.font() != m_font || m_texts.size() > MaxTexts) {
        m_texts.clear();
        m_font = painter.font();
        const QFontMetricsF metrics(m_font, painter.device());
        m_height = metrics.ascent() + metrics.descent();
    }
    auto found = m_texts.find(text);
    if (found == m_texts.end()) {
        // One line, as drawText makes it: line breaks become blanks.
        QString line = text;
        line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        QStaticText laidOut(line);
        laidOut.setTextFormat(Qt::PlainText);
        found = m_texts.insert(text, {laidOut, QFontMetricsF(m_font, painter.device()).horizontalAdvance(line)});
    }
    const qreal top = vertical.testFlag(Qt::AlignVCenter) ? rect.top() + (rect.height() - m_height) / 2 : rect.top();
    // drawText clips only a text that does not fit its rectangle.
    const bool clip = !rect.contains(QRectF(rect.left(), top, found->width, m_height));
    if (clip) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    painter.drawStaticText(QPointF(rect.left(), top), found->text);
    if (clip)
        painter.restore();
}
