#pragma once

#include "print/PrinterProvider.h"

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

// What poppler's pdftotext writes for the file with these options; empty when it cannot be read.
QString pdftotext(const QString& fileName, const QStringList& options);
// The text of a PDF file as pdftotext reads it; empty when it cannot be read.
QString pdfText(const QString& fileName);
