#pragma once

#include "print/PrinterProvider.h"

#include <QPrinter>
#include <QString>

// A "default printer" that writes a PDF file (A4, portrait until the print-out turns it).
class PdfFilePrinters : public PrinterProvider {
public:
    explicit PdfFilePrinters(const QString& fileName);
    QPrinter* defaultPrinter() override { return &m_printer; }

private:
    QPrinter m_printer;
};

// The text of a PDF file as poppler's pdftotext reads it; empty when it cannot be read.
QString pdfText(const QString& fileName);
