#include "editing/DoctorLoadChart.h"

#include "editing/DoctorColumn.h"

#include <QPainter>

#include <algorithm>

DoctorLoadChart::DoctorLoadChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chartArztzeit"));
    setAccessibleName(QStringLiteral("Arztzeit je Zeile"));
}

void DoctorLoadChart::setDemand(const QList<DemandRow>& rows, int slotMinutes)
{
    if (!m_rows.isEmpty() && rows == m_rows && slotMinutes == m_slotMinutes)
        return;
    m_rows = rows;
    m_slotMinutes = slotMinutes;
    int overloaded = 0;
    for (const DemandRow& row : rows)
        overloaded += row.minutes > slotMinutes ? 1 : 0;
    setAccessibleDescription(QStringLiteral("Balken je Zeile gegen %1 Minuten Zeilenlänge; %2 Zeilen darüber")
                                 .arg(slotMinutes)
                                 .arg(overloaded));
    update();
}

QSize DoctorLoadChart::minimumSizeHint() const
{
    return {160, 90};
}

QSize DoctorLoadChart::sizeHint() const
{
    return {420, 140};
}

void DoctorLoadChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics = painter.fontMetrics();
    const int axisHeight = metrics.height() + 4;
    const int scaleWidth = metrics.horizontalAdvance(QStringLiteral("000")) + 6;
    const QRect plot(scaleWidth, 4, std::max(1, width() - scaleWidth - 4), std::max(1, height() - axisHeight - 8));
    if (m_rows.isEmpty())
        return;

    int top = m_slotMinutes;
    for (const DemandRow& row : m_rows)
        top = std::max(top, row.minutes);
    top += top / 10 + 1; // room above the highest bar
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
    painter.drawText(QRect(0, int(lineY) - metrics.height() / 2, scaleWidth - 4, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(m_slotMinutes));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

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
