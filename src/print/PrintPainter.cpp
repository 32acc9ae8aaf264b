#include "print/PrintPainter.h"

#include "settings/PrintSettings.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>

namespace {
constexpr double MillimetresPerInch = 25.4;
constexpr double PointsPerInch = 72;
constexpr double TwipsPerPoint = 20;
} // namespace

QFont PrintPainter::printFont(const QFont& deviceFont, const QString& family, const QString& sizeText)
{
    QFont font = deviceFont;
    font.setFamily(family);
    const auto size = printNumber(sizeText);
    if (size && *size > 0)
        font.setPointSizeF(*size);
    return font;
}

PrintPainter::PrintPainter(QPagedPaintDevice& device) : m_device(device) {}

bool PrintPainter::begin(const QString& fontName, const QString& fontSize)
{
    if (!m_painter.begin(&m_device))
        return false;
    m_painter.setFont(printFont(m_painter.font(), fontName, fontSize));
    return true;
}

PrintMetrics PrintPainter::metrics() const
{
    const QFontMetricsF fontMetrics(m_painter.font(), &m_device);
    const QPageLayout layout = m_device.pageLayout();
    const QRectF page = layout.fullRectPoints();
    // Lines that would run past the printable area go to the next page.
    const QRectF printable = layout.paintRectPoints();

    PrintMetrics metrics;
    metrics.lineHeight = toMillimetres(fontMetrics.lineSpacing());
    metrics.pageWidth = page.width() * TwipsPerPoint / TwipsPerMillimetre;
    metrics.pageHeight = printable.height() * MillimetresPerInch / PointsPerInch;
    const double dpiX = m_device.logicalDpiX();
    metrics.textWidth = [fontMetrics, dpiX](const QString& text) {
        return fontMetrics.horizontalAdvance(text) * MillimetresPerInch / dpiX;
    };
    return metrics;
}

void PrintPainter::draw(const QList<PrintPage>& pages)
{
    const double ascent = QFontMetricsF(m_painter.font(), &m_device).ascent();
    bool first = true;
    for (const PrintPage& page : pages) {
        if (!first)
            m_device.newPage();
        first = false;
        // The layout's y is the top of the line; text is drawn on its baseline.
        for (const PrintText& text : page.texts)
            m_painter.drawText(QPointF(toDeviceX(text.x), toDeviceY(text.y) + ascent), text.text);
        for (const PrintRule& rule : page.rules)
            m_painter.drawLine(QPointF(toDeviceX(rule.x1), toDeviceY(rule.y)),
                               QPointF(toDeviceX(rule.x2), toDeviceY(rule.y)));
    }
}

bool PrintPainter::end()
{
    return m_painter.end();
}

double PrintPainter::toMillimetres(double deviceUnits) const
{
    return deviceUnits * MillimetresPerInch / m_device.logicalDpiY();
}

double PrintPainter::toDeviceX(double millimetres) const
{
    return millimetres * m_device.logicalDpiX() / MillimetresPerInch;
}

double PrintPainter::toDeviceY(double millimetres) const
{
    return millimetres * m_device.logicalDpiY() / MillimetresPerInch;
}

bool paintPrintout(QPagedPaintDevice& device, const PrintSettings& settings, const QString& dayName,
                   const QList<const DayViewModel*>& columns)
{
    PrintPainter painter(device);
    if (!painter.begin(settings.fontName, settings.fontSize))
        return false;
    const PrintLayout layout(dayName, columns, painter.metrics(), settings.horOffset, settings.vertOffset);
    painter.draw(layout.pages());
    return painter.end();
}
