#include "PdfOutput.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
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

namespace {
#ifdef Q_OS_WIN
// What a poppler tool writes to its standard output.
QByteArray popplerOutput(const QString& tool, const QStringList& arguments)
{
    // Wine starts a Linux program detached: neither its end nor its output reach the Windows side. A Linux shell
    // runs the tool into a file and renames it when done; the rename is what is waited for.
    QTemporaryDir dir;
    const QString done = dir.filePath(QStringLiteral("output"));
    const QString script = QStringLiteral("\"$@\" > $0.part; touch $0.part; mv $0.part $0");
    if (!QProcess::startDetached(QStringLiteral("Z:/bin/sh"),
                                 QStringList{QStringLiteral("-c"), script, hostFileName(done), tool} + arguments))
        return {};
    QDeadlineTimer deadline(30000);
    while (!QFileInfo::exists(done) && !deadline.hasExpired())
        QThread::msleep(20);
    QFile output(done);
    return output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
}
#else
QByteArray popplerOutput(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}
#endif

constexpr double PointsPerMillimetre = 72 / 25.4;
} // namespace

QString pdftotext(const QString& fileName, const QStringList& options)
{
    return QString::fromUtf8(
        popplerOutput(QStringLiteral("pdftotext"), options + QStringList{hostFileName(fileName), QStringLiteral("-")}));
}

QList<PdfPage> pdfWords(const QString& fileName)
{
    const QString html = pdftotext(fileName, {QStringLiteral("-bbox")});
    static const QRegularExpression pageRe(R"re(<page width="([\d.]+)" height="([\d.]+)">)re");
    static const QRegularExpression wordRe(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    QList<PdfPage> pages;
    for (const QString& chunk : html.split(QStringLiteral("</page>"))) {
        const auto page = pageRe.match(chunk);
        if (!page.hasMatch())
            continue;
        PdfPage p{
            page.captured(1).toDouble() / PointsPerMillimetre, page.captured(2).toDouble() / PointsPerMillimetre, {}};
        for (auto it = wordRe.globalMatch(chunk); it.hasNext();) {
            const auto w = it.next();
            p.words.append(
                PdfWord{w.captured(1).toDouble() / PointsPerMillimetre, w.captured(2).toDouble() / PointsPerMillimetre,
                        w.captured(3).toDouble() / PointsPerMillimetre, w.captured(4).toDouble() / PointsPerMillimetre,
                        QTextDocumentFragment::fromHtml(w.captured(5)).toPlainText()});
        }
        pages.append(p);
    }
    return pages;
}

QImage pdfPageImage(const QString& fileName, int page, int dotsPerInch)
{
    const QString number = QString::number(page);
    const QByteArray image =
        popplerOutput(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dotsPerInch),
                       QStringLiteral("-f"), number, QStringLiteral("-l"), number, hostFileName(fileName)});
    return QImage::fromData(image);
}

QString pdfText(const QString& fileName)
{
    return pdftotext(fileName, {});
}

bool samePages(const QList<PdfPage>& a, const QList<PdfPage>& b)
{
    constexpr double Tolerance = 0.5; // mm
    if (a.size() != b.size() || a.isEmpty())
        return false;
    for (int p = 0; p < a.size(); ++p) {
        if (a[p].words.size() != b[p].words.size() || qAbs(a[p].width - b[p].width) > Tolerance ||
            qAbs(a[p].height - b[p].height) > Tolerance)
            return false;
        for (int w = 0; w < a[p].words.size(); ++w) {
            const PdfWord& x = a[p].words[w];
            const PdfWord& y = b[p].words[w];
            if (x.text != y.text || qAbs(x.xMin - y.xMin) > Tolerance || qAbs(x.yMin - y.yMin) > Tolerance)
                return false;
        }
    }
    return true;
}
