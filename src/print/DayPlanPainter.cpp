#include "print/DayPlanPainter.h"

#include "print/DayPlanData.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>

#include <cmath>

namespace {
constexpr double MillimetresPerInch = 25.4;
const QColor BoxGround(235, 235, 235);
const QColor RowLine(160, 160, 160);
} // namespace

DayPlanPainter::DayPlanPainter(QPagedPaintDevice& device) : m_device(device) {}

bool DayPlanPainter::begin(const QString& fontFamily)
{
    m_family = fontFamily;
    return m_painter.begin(&m_device);
}

QFont DayPlanPainter::font(PlanFont role) const
{
    QFont f = m_painter.font();
    f.setFamily(m_family);
    switch (role) {
    case PlanFont::Title:
        f.setPointSizeF(TitlePoints);
        f.setBold(true);
        break;
    case PlanFont::Text:
    case PlanFont::Bold:
        f.setPointSizeF(TextPoints);
        f.setBold(role == PlanFont::Bold);
        break;
    case PlanFont::Small:
    case PlanFont::SmallBold:
        f.setPointSizeF(SmallPoints);
        f.setBold(role == PlanFont::SmallBold);
        break;
    }
    return f;
}

PlanMetrics DayPlanPainter::metrics() const
{
    const auto line = [this](PlanFont role) {
        return QFontMetricsF(font(role), &m_device).lineSpacing() * MillimetresPerInch / m_device.logicalDpiY();
    };
    const QRectF printable = m_device.pageLayout().paintRect(QPageLayout::Millimeter);
    PlanMetrics metrics;
    metrics.pageWidth = printable.width();
    metrics.pageHeight = printable.height();
    metrics.titleLine = line(PlanFont::Title);
    metrics.textLine = line(PlanFont::Text);
    metrics.smallLine = line(PlanFont::Small);
    return metrics;
}

QPointF DayPlanPainter::toDevice(const QPointF& millimetres) const
{
    return {millimetres.x() * m_device.logicalDpiX() / MillimetresPerInch,
            millimetres.y() * m_device.logicalDpiY() / MillimetresPerInch};
}

QRectF DayPlanPainter::toDevice(const QRectF& millimetres) const
{
    return {toDevice(millimetres.topLeft()), toDevice(millimetres.bottomRight())};
}

double DayPlanPainter::penWidth(double millimetres) const
{
    return millimetres * m_device.logicalDpiX() / MillimetresPerInch;
}

void DayPlanPainter::draw(const QList<PlanPage>& pages)
{
    bool first = true;
    for (const PlanPage& page : pages) {
        if (!first)
            m_device.newPage();
        first = false;
        for (const PlanLine& line : page.lines)
            drawLine(line);
        for (const PlanBox& box : page.boxes)
            drawBox(box);
        for (const PlanText& text : page.texts)
            drawText(text);
    }
}

void DayPlanPainter::drawLine(const PlanLine& line)
{
    switch (line.kind) {
    case PlanLineKind::Row:
        m_painter.setPen(QPen(RowLine, penWidth(0.1)));
        break;
    case PlanLineKind::Hour:
        m_painter.setPen(QPen(Qt::black, penWidth(0.25)));
        break;
    case PlanLineKind::Frame:
        m_painter.setPen(QPen(Qt::black, penWidth(0.35)));
        break;
    }
    m_painter.drawLine(QLineF(toDevice(line.line.p1()), toDevice(line.line.p2())));
}

void DayPlanPainter::drawBox(const PlanBox& box)
{
    const QRectF area = toDevice(box.rect);
    m_painter.fillRect(area, box.kind == PlanBox::Kind::Treatment ? BoxGround : QColor(Qt::white));
    if (box.overloaded)
        drawHatching(area);
    m_painter.setPen(QPen(Qt::black, penWidth(box.overloaded ? 0.5 : 0.3)));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(area);
}

void DayPlanPainter::drawHatching(const QRectF& area)
{
    // Lines rather than a pattern brush: every printer driver draws lines alike.
    m_painter.save();
    m_painter.setClipRect(area);
    m_painter.setPen(QPen(Qt::black, penWidth(0.35)));
    const double step = penWidth(HatchSpacing);
    for (double x = area.left() - area.height(); x < area.right(); x += step)
        m_painter.drawLine(QPointF(x, area.bottom()), QPointF(x + area.height(), area.top()));
    m_painter.restore();
}

void DayPlanPainter::drawText(const PlanText& text)
{
    if (text.text.isEmpty() || text.rect.width() <= 0 || text.rect.height() <= 0)
        return;
    m_painter.setFont(font(text.font));
    m_painter.setPen(Qt::black);
    const QRectF area = toDevice(text.rect);
    const QFontMetricsF metrics(m_painter.font(), &m_device);
    if (text.wrap) {
        m_painter.save();
        m_painter.setClipRect(area);
        m_painter.drawText(area, int(text.alignment) | Qt::TextWordWrap, text.text);
        m_painter.restore();
        return;
    }
    QString line = text.text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    line = metrics.elidedText(line, Qt::ElideRight, area.width());
    if (text.opaque)
        m_painter.fillRect(metrics.boundingRect(area, int(text.alignment), line).adjusted(-2, 0, 2, 0), Qt::white);
    m_painter.drawText(area, int(text.alignment) | Qt::TextSingleLine, line);
}

bool DayPlanPainter::end()
{
    return m_painter.end();
}

bool paintDayPlan(QPagedPaintDevice& device, const QString& fontFamily, const DayPlanData& data)
{
    DayPlanPainter painter(device);
    if (!painter.begin(fontFamily))
        return false;
    const DayPlanLayout layout(data, painter.metrics());
    painter.draw(layout.pages());
    return painter.end();
}
