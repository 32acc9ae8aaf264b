#pragma once

#include "print/PrintLayout.h"
#include "settings/PrintSettings.h"

#include <QFont>
#include <QPainter>

class QPagedPaintDevice;

// Draws a laid-out print-out on a paged device (a printer, a PDF file) in the print font.
// Millimetres are taken from the device's painting origin: the top left corner of the printable area.
class PrintPainter {
public:
    // Page width in twips over 56.7, as the practice's offsets were measured against.
    static constexpr double TwipsPerMillimetre = 56.7;

    // The print font: the family, and the size in points when it is a positive number; otherwise the
    // device's own size stays.
    static QFont printFont(const QFont& deviceFont, const QString& family, const QString& sizeText);

    explicit PrintPainter(QPagedPaintDevice& device);

    // Starts the document in the print font; false when the device refuses (nothing is drawn then).
    bool begin(const QString& fontName, const QString& fontSize);
    // Line height, text widths and page size of the started document.
    PrintMetrics metrics() const;
    void draw(const QList<PrintPage>& pages);
    // Ends the document, which hands it to the printer; false when that fails.
    bool end();

private:
    double toMillimetres(double deviceUnits) const;
    double toDeviceX(double millimetres) const;
    double toDeviceY(double millimetres) const;

    QPagedPaintDevice& m_device;
    QPainter m_painter;
};

// The print-out of a day on any paged device, in the device's own orientation and page size: laid
// out with the device's metrics and drawn, page by page. False when the device refuses the document.
bool paintPrintout(QPagedPaintDevice& device, const PrintSettings& settings, const QString& dayName,
                   const QList<const DayViewModel*>& columns);
