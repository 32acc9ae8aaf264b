#pragma once

#include "editing/DayAnalysis.h"

#include <QWidget>

// The doctor's demand per row over the day as bars against the row length: green up to the line, red
// above it, the times on the axis.
class DoctorLoadChart : public QWidget {
    Q_OBJECT
public:
    explicit DoctorLoadChart(QWidget* parent = nullptr);

    void setDemand(const QList<DemandRow>& rows, int slotMinutes);
    // The scale reaches at least this many minutes, so that two charts side by side compare bar for bar.
    void setScaleMinutes(int minutes);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The highest minute the bars are scaled to.
    int scaleTop(const QList<DemandRow>& rows) const;
    QRect plotArea() const;

    QList<DemandRow> m_rows;
    int m_slotMinutes = 10;
    int m_scaleMinutes = 0;
};
