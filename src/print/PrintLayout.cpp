#include "print/PrintLayout.h"

#include "dayview/DayViewModel.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
#include "settings/PrintSettings.h"

namespace {
constexpr int TypeMismatch = 13;

double offset(const QString& text)
{
    const auto value = printNumber(text);
    if (!value)
        throw LunarisError(TypeMismatch, QStringLiteral("Typen unverträglich"));
    return *value;
}
} // namespace

double PrintLayout::columnLeft(int column, int columnCount)
{
    return TableLeft + column * (TableWidth / columnCount);
}

PrintLayout::PrintLayout(const QString& dayName, const QList<const DayViewModel*>& columns, const PrintMetrics& metrics,
                         const QString& horOffset, const QString& vertOffset)
    : m_dayName(dayName), m_columns(columns), m_metrics(metrics), m_horOffset(horOffset), m_vertOffset(vertOffset)
{
    startPage();
    if (m_columns.isEmpty())
        return;
    // Every column has the rows of the first one; the pass for row RowCount gives the end of the range.
    const DayViewModel& first = *m_columns.first();
    const int rowCount = first.rowCount();
    QString time;
    for (int row = 0; row <= rowCount; ++row) {
        // A row whose time is refused repeats the line of the row before.
        runStep([&] { time = first.timeOfRow(row); });
        printBodyLine(time);
    }
}

void PrintLayout::startPage()
{
    m_pages.append(PrintPage());
    m_x = 0;
    m_y = 0;
    m_bodyLinesOnPage = 0;
    printHead();
}

void PrintLayout::printHead()
{
    runStep([&] { setPrintXY(0, 0); });
    print(m_dayName);
    endLine();
    endLine();
    const int columnCount = int(m_columns.size());
    for (int c = 0; c < columnCount; ++c) {
        runStep([&] { setPrintX(columnLeft(c, columnCount)); });
        print(m_columns[c]->caption());
    }
    endLine();
    endLine();
    drawRule();
}

void PrintLayout::printBodyLine(const QString& time)
{
    // A day longer than the page goes on on the next one, under the same head; every page keeps at
    // least one line so that a page too small for the head cannot loop.
    if (m_bodyLinesOnPage > 0 && m_y + m_metrics.lineHeight > m_metrics.pageHeight)
        startPage();
    ++m_bodyLinesOnPage;

    runStep([&] { setPrintX(0); });
    print(time);
    const int columnCount = int(m_columns.size());
    for (int c = 0; c < columnCount; ++c) {
        const DayViewModel& column = *m_columns[c];
        for (int k = 0; k < column.count(); ++k) {
            const DayBlock& block = column.item(k);
            // Exact text comparison: a block between two row times, or stored with blanks, has no line.
            if (block.startTime != time)
                continue;
            runStep([&] { setPrintX(columnLeft(c, columnCount)); });
            print(time + QLatin1Char(' ') + block.text.left(TextLength));
        }
    }
    endLine();
    // Rules close each hour: after minute 50 with 10-minute rows, after minute 45 with 15-minute rows.
    const QString minutes = time.trimmed().right(2);
    if (minutes == QLatin1String("50") || minutes == QLatin1String("45"))
        drawRule();
}

void PrintLayout::setPrintX(double x)
{
    m_x = x + offset(m_horOffset);
}

void PrintLayout::setPrintXY(double x, double y)
{
    setPrintX(x);
    m_y = y + offset(m_vertOffset);
}

void PrintLayout::print(const QString& text)
{
    if (text.isEmpty())
        return;
    m_pages.last().texts.append(PrintText{m_x, m_y, text});
    if (m_metrics.textWidth)
        m_x += m_metrics.textWidth(text);
}

void PrintLayout::endLine()
{
    m_x = 0;
    m_y += m_metrics.lineHeight;
}

void PrintLayout::drawRule()
{
    // From the left edge of the page, not moved by the offset, across the whole width.
    m_pages.last().rules.append(PrintRule{m_y, 0, m_metrics.pageWidth});
    m_y += RuleGap;
}
