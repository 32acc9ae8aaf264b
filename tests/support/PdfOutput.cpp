#include "PdfOutput.h"

#include "HostCommand.h"

#include <QRegularExpression>
#include <QTextDocumentFragment>

PdfFilePrinters::PdfFilePrinters(const QString& fileName) : m_printer(QPrinter::HighResolution)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(fileName);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
}

namespace {
// Poppler has no Windows build here: under Wine the Linux tool reads the PDF the Windows program wrote.
QByteArray popplerOutput(const QString& tool, const QStringList& arguments)
{
    const HostCommand::Result result = HostCommand::run(tool, arguments, 30000);
    return result.finished && result.exitCode == 0 ? result.output : QByteArray();
}

constexpr double PointsPerMillimetre = 72 / 25.4;
} // namespace

QString pdftotext(const QString& fileName, const QStringList& options)
{
    return QString::fromUtf8(popplerOutput(
        QStringLiteral("pdftotext"), options + QStringList{HostCommand::hostFileName(fileName), QStringLiteral("-")}));
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
        popplerOutput(QStringLiteral("pdftoppm"), {QStringLiteral("-gray"), QStringLiteral("-r"),
                                                   QString::number(dotsPerInch), QStringLiteral("-f"), number,
                                                   QStringLiteral("-l"), number, HostCommand::hostFileName(fileName)});
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
