#include "PdfOutput.h"

#include <QProcess>

PdfFilePrinters::PdfFilePrinters(const QString& fileName) : m_printer(QPrinter::HighResolution)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(fileName);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
}

QString pdfText(const QString& fileName)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {fileName, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}
