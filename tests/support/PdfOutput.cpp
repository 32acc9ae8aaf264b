#include "PdfOutput.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#endif

namespace {
#ifdef Q_OS_WIN
// Poppler has no Windows build here: under Wine, which starts Linux programs too, the PDF the Windows program
// wrote is read by the Linux pdftotext, given the file's Linux name.
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

#ifdef Q_OS_WIN
QString pdftotext(const QString& fileName, const QStringList& options)
{
    // Wine starts a Linux program detached: neither its end nor its output reach the Windows side. A Linux shell
    // runs pdftotext into a file and renames it when done; the rename is what is waited for.
    QTemporaryDir dir;
    const QString done = dir.filePath(QStringLiteral("text"));
    const QString script = QStringLiteral("pdftotext \"$@\" $0.part; touch $0.part; mv $0.part $0");
    if (!QProcess::startDetached(QStringLiteral("Z:/bin/sh"),
                                 QStringList{QStringLiteral("-c"), script, hostFileName(done)} + options +
                                     QStringList{hostFileName(fileName)}))
        return {};
    QDeadlineTimer deadline(30000);
    while (!QFileInfo::exists(done) && !deadline.hasExpired())
        QThread::msleep(20);
    QFile text(done);
    return text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()) : QString();
}
#else
QString pdftotext(const QString& fileName, const QStringList& options)
{
    QProcess process;
    process.start(Pdftotext, options + QStringList{hostFileName(fileName), QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}
#endif

QString pdfText(const QString& fileName)
{
    return pdftotext(fileName, {});
}
