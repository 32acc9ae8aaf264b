#include "PdfOutput.h"

#include <QDir>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#endif

namespace {
#ifdef Q_OS_WIN
// Poppler has no Windows build here: under Wine, which starts Linux programs like its own, the PDF the
// Windows program wrote is read by the Linux pdftotext, given the file's Linux name.
const QString Pdftotext = QStringLiteral("Z:/usr/bin/pdftotext");

QString hostFileName(const QString& fileName)
{
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (!found)
        return fileName;
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(found));
    const std::wstring native = QDir::toNativeSeparators(fileName).toStdWString();
    char* name = unixFileName(native.c_str());
    if (!name)
        return fileName;
    const QString result = QString::fromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}
#else
const QString Pdftotext = QStringLiteral("pdftotext");

QString hostFileName(const QString& fileName)
{
    return fileName;
}
#endif
} // namespace

PdfFilePrinters::PdfFilePrinters(const QString& fileName) : m_printer(QPrinter::HighResolution)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(fileName);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
}

QString pdftotext(const QString& fileName, const QStringList& options)
{
    QProcess process;
    process.start(Pdftotext, options + QStringList{hostFileName(fileName), QStringLiteral("-")},
                  QIODevice::ReadOnly | QIODevice::Text);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString& fileName)
{
    return pdftotext(fileName, {});
}
