#pragma once

#include "print/PrinterProvider.h"

#include <QImage>
#include <QList>
#include <QPrinter>
#include <QString>
#include <QStringList>

// A "default printer" that writes a PDF file (A4, portrait until the print-out turns it).
class PdfFilePrinters : public PrinterProvider {
public:
    explicit PdfFilePrinters(const QString& fileName);
    QPrinter* defaultPrinter() override { return &m_printer; }

private:
    QPrinter m_printer;
};

// No default printer, whatever the machine has: a print-out then takes the PDF export's pages (A4 landscape).
class NoDefaultPrinter : public PrinterProvider {
public:
    QPrinter* defaultPrinter() override { return nullptr; }
};

// What poppler's pdftotext writes for the file with these options; empty when it cannot be read.
QString pdftotext(const QString& fileName, const QStringList& options);
// The text of a PDF file as pdftotext reads it; empty when it cannot be read.
QString pdfText(const QString& fileName);

// A word of a PDF page with its box in millimetres from the sheet's top left corner.
struct PdfWord {
    double xMin, yMin, xMax, yMax;
    QString text;
};
struct PdfPage {
    double width, height; // mm
    QList<PdfWord> words;
};
// The words of a PDF with their boxes, as poppler's pdftotext finds them.
QList<PdfPage> pdfWords(const QString& fileName);
// The same words at the same places (within half a millimetre) on the same number of pages.
bool samePages(const QList<PdfPage>& a, const QList<PdfPage>& b);
// Page (from 1) of a PDF in grey at the resolution; a null image when it cannot be read.
QImage pdfPageImage(const QString& fileName, int page, int dotsPerInch);
