#include "editing/DoctorLoadChart.h"

#include "editing/DoctorColumn.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

DoctorLoadChart::DoctorLoadChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chartArztzeit"));
    setAccessibleName(QStringLiteral("Arztzeit je Zeile"));
    // It paints every pixel: nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DoctorLoadChart::setDemand(const QList<DemandRow>& rows, int slotMinutes)
{
    if (!m_rows.isEmpty() && rows == m_rows && slotMinutes == m_slotMinutes)
        return;
    // Same rows and scale: only the bars that changed are painted again, not the axis and its texts.
    QRect changed;
    if (rows.size() == m_rows.size() && slotMinutes == m_slotMinutes && scaleTop(rows) == scaleTop(m_rows)) {
        const QRect plot = plotArea();
        const double barWidth = double(plot.width()) / rows.size();
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].minutes != m_rows[i].minutes)
                changed |= QRect(plot.left() + int(i * barWidth), 0, int(barWidth) + 2, plot.bottom() + 1);
    } else {
        changed = rect();
    }
    m_rows = rows;
    m_slotMinutes = slotMinutes;
    int overloaded = 0;
    for (const DemandRow& row : rows)
        overloaded += row.minutes > slotMinutes ? 1 : 0;
    setAccessibleDescription(QStringLiteral("Balken je Zeile gegen %1 Minuten Zeilenlänge; %2 Zeilen darüber")
                                 .arg(slotMinutes)
                                 .arg(overloaded));
    update(changed);
}

void DoctorLoadChart::setScaleMinutes(int minutes)
{
    if (minutes == m_scaleMinutes)
        return;
    m_scaleMinutes = minutes;
    update();
}

int DoctorLoadChart::scaleTop(const QList<DemandRow>& rows) const
{
    int top = std::max(m_slotMinutes, m_scaleMinutes);
    for (const DemandRow& row : rows)
        top = std::max(top, row.minutes);
    return top + top / 10 + 1; // room above the highest bar
}

QRect DoctorLoadChart::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const int axisHeight = metrics.height() + 4;
    const int scaleWidth = metrics.horizontalAdvance(QStringLiteral("000")) + 6;
    return {scaleWidth, 4, std::max(1, width() - scaleWidth - 4), std::max(1, height() - axisHeight - 8)};
}

QSize DoctorLoadChart::minimumSizeHint() const
{
    return {160, 90};
}

QSize DoctorLoadChart::sizeHint() const
{
    return {420, 140};
}

void DoctorLoadChart::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().base());
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect plot = plotArea();
    const int scaleWidth = plot.left();
    if (m_rows.isEmpty())
        return;

    const int top = scaleTop(m_rows);
    const double perMinute = double(plot.height()) / top;
    const double barWidth = double(plot.width()) / m_rows.size();

    // Whole pixels: the raster engine fills aligned rectangles several times faster.
    const int gap = barWidth > 3 ? 1 : 0;
    for (int i = 0; i < m_rows.size(); ++i) {
        const int minutes = m_rows[i].minutes;
        if (minutes <= 0)
            continue;
        const int left = plot.left() + int(i * barWidth);
        const int right = std::max(left + 1, plot.left() + int((i + 1) * barWidth) - gap);
        const int height = std::max(1, int(minutes * perMinute + 0.5));
        painter.fillRect(QRect(left, plot.bottom() + 1 - height, right - left, height),
                         minutes > m_slotMinutes ? DoctorColumn::Red : DoctorColumn::Green);
    }

    // The row length: what the doctor can give in one row.
    const double lineY = plot.bottom() + 1 - m_slotMinutes * perMinute;
    painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), lineY), QPointF(plot.right(), lineY));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    // The texts only where they are painted again: laying them out costs more than every bar.
    if (event->rect().left() < scaleWidth)
        painter.drawText(QRect(0, int(lineY) - metrics.height() / 2, scaleWidth - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(m_slotMinutes));
    if (event->rect().bottom() <= plot.bottom())
        return;

    // Full hours on the axis, as far as their labels do not collide.
    int lastRight = -1;
    // Every label is a full hour; digits are equally wide, so one measure serves them all.
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00:00"));
    for (int i = 0; i < m_rows.size(); ++i) {
        const QString& time = m_rows[i].time;
        if (!time.endsWith(QLatin1String(":00")))
            continue;
        const int x = int(plot.left() + i * barWidth);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 3);
        if (x <= lastRight + 4 || x + labelWidth > width())
            continue;
        painter.drawText(QPoint(x, plot.bottom() + 4 + metrics.ascent()), time);
        lastRight = x + labelWidth;
    }
}
