#pragma once

#include "print/DayPlanLayout.h"

#include <QFont>
#include <QPainter>

class QPagedPaintDevice;
struct DayPlanData;

// Draws a laid-out day plan on a paged device (a printer, a PDF file) in black and white: boxes on a
// light ground with black frames, overloaded doctor rows hatched with black lines, which every printer
// shows, whatever it does with grey.
class DayPlanPainter {
public:
    static constexpr double TitlePoints = 13;
    static constexpr double TextPoints = 9;
    static constexpr double SmallPoints = 7;
    static constexpr double HatchSpacing = 1.0; // mm between the lines of the hatching

    explicit DayPlanPainter(QPagedPaintDevice& device);

    // Starts the document in the family of the print font; false when the device refuses.
    bool begin(const QString& fontFamily);
    PlanMetrics metrics() const;
    void draw(const QList<PlanPage>& pages);
    bool end();

private:
    QFont font(PlanFont role) const;
    QRectF toDevice(const QRectF& millimetres) const;
    QPointF toDevice(const QPointF& millimetres) const;
    double penWidth(double millimetres) const;
    void drawLine(const PlanLine& line);
    void drawBox(const PlanBox& box);
    void drawHatching(const QRectF& area);
    void drawText(const PlanText& text);

    QPagedPaintDevice& m_device;
    QPainter m_painter;
    QString m_family;
};

// The day plan of a day on any paged device, in the device's orientation and page size. False when
// the device refuses the document.
bool paintDayPlan(QPagedPaintDevice& device, const QString& fontFamily, const DayPlanData& data);
