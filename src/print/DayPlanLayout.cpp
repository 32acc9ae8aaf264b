#include "print/DayPlanLayout.h"

#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "print/DayPlanData.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {
QString timeRange(const DayBlock& block)
{
    return block.startTime.trimmed() + QChar(0x2013) + block.endTime.trimmed();
}

// Side by side where blocks of one chair overlap: each block in the first lane free at its start; a
// group of overlapping blocks shares the column in as many lanes as it needs.
template <class SpanList> void assignLanes(SpanList& spans)
{
    std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.top < b.top; });
    qsizetype groupStart = 0;
    double groupBottom = -1;
    QList<double> laneBottoms;
    const auto closeGroup = [&](qsizetype end) {
        for (qsizetype i = groupStart; i < end; ++i)
            spans[i].lanes = int(laneBottoms.size());
    };
    for (qsizetype i = 0; i < spans.size(); ++i) {
        auto& span = spans[i];
        if (span.top >= groupBottom) {
            closeGroup(i);
            groupStart = i;
            laneBottoms.clear();
        }
        const auto free =
            std::find_if(laneBottoms.begin(), laneBottoms.end(), [&](double bottom) { return bottom <= span.top; });
        if (free == laneBottoms.end()) {
            span.lane = int(laneBottoms.size());
            laneBottoms.append(span.bottom);
        } else {
            span.lane = int(free - laneBottoms.begin());
            *free = span.bottom;
        }
        groupBottom = std::max(groupBottom, span.bottom);
    }
    closeGroup(spans.size());
}
} // namespace

DayPlanLayout::DayPlanLayout(const DayPlanData& data, const PlanMetrics& metrics) : m_metrics(metrics)
{
    if (!data.columns.isEmpty()) {
        const DayViewModel& rows = *data.columns.first();
        m_chairs = int(data.columns.size()) - 1;
        m_rows = std::max(0, rows.rowCount());
        m_dayStart = ClockTime::minutesOf(rows.dayStart()).value_or(0);
        m_slotMinutes = std::max(1, rows.slotMinutes());
    }
    const double tableWidth = m_metrics.pageWidth - TimeWidth - DoctorWidth;
    m_chairWidth = m_chairs > 0 ? tableWidth / m_chairs : 0;
    m_bodyTop = m_metrics.titleLine + m_metrics.textLine + HeaderGap + m_metrics.textLine + 2 * TextInset;
    const double bodyHeight = m_metrics.pageHeight - m_metrics.smallLine - FooterGap - m_bodyTop;

    collectTreatments(data);
    const QList<int> breaks = pageBreaks(bodyHeight);
    int tallest = 1;
    for (qsizetype i = 1; i < breaks.size(); ++i)
        tallest = std::max(tallest, breaks[i] - breaks[i - 1]);
    m_rowHeight = std::clamp(bodyHeight / tallest, 0.0, MaxRowHeight);
    for (qsizetype i = 1; i < breaks.size(); ++i)
        layOutPage(data, breaks[i - 1], breaks[i]);
    if (m_pages.isEmpty())
        layOutPage(data, 0, 0);
    for (int p = 0; p < m_pages.size(); ++p)
        addHeaderAndFooter(m_pages[p], data, p + 1, int(m_pages.size()));
}

QList<int> DayPlanLayout::pageBreaks(double bodyHeight) const
{
    QList<int> breaks{0};
    if (m_rows == 0)
        return breaks;
    const int perPage = std::max(1, int(std::floor(bodyHeight / MinRowHeight + 1e-9)));
    int start = 0;
    while (start < m_rows) {
        const int left = m_rows - start;
        if (left <= perPage) {
            breaks.append(m_rows);
            break;
        }
        // As even as the pages allow, cut at the full hour nearest to that.
        const int pagesLeft = (left + perPage - 1) / perPage;
        const int even = start + (left + pagesLeft - 1) / pagesLeft;
        int end = start + perPage;
        int bestDistance = -1;
        for (int row = start + 1; row <= start + perPage; ++row) {
            if ((m_dayStart + row * m_slotMinutes) % 60 != 0)
                continue;
            const int distance = std::abs(row - even);
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                end = row;
            }
        }
        breaks.append(end);
        start = end;
    }
    return breaks;
}

void DayPlanLayout::collectTreatments(const DayPlanData& data)
{
    for (int c = 0; c < m_chairs; ++c) {
        QList<Span> spans;
        for (const DayBlock& block : data.columns[c]->blocks()) {
            const auto start = ClockTime::minutesOf(block.startTime.trimmed());
            if (!start)
                continue;
            const int end = ClockTime::minutesOf(block.endTime.trimmed()).value_or(*start);
            Span span;
            span.column = c;
            span.top = double(*start - m_dayStart) / m_slotMinutes;
            // As on the screen: a block shorter than a row still gets a row, and the day ends at closing time.
            span.bottom = std::min<double>(std::max(span.top + 1, double(end - m_dayStart) / m_slotMinutes), m_rows);
            if (span.top < 0 || span.top >= m_rows)
                continue;
            span.firstLine = block.text + QLatin1Char(' ') + timeRange(block);
            span.description = data.treatmentTexts.value(block.text);
            spans.append(span);
        }
        assignLanes(spans);
        m_spans.append(spans);
    }
}

void DayPlanLayout::layOutPage(const DayPlanData& data, int firstRow, int endRow)
{
    PlanPage page;
    page.firstRow = firstRow;
    page.endRow = endRow;
    addGrid(page, data);
    addTreatments(page);
    addDoctorTime(page, data);
    m_pages.append(page);
}

double DayPlanLayout::columnLeft(int column) const
{
    return TimeWidth + column * m_chairWidth;
}

double DayPlanLayout::columnWidth(int column) const
{
    return column < m_chairs ? m_chairWidth : DoctorWidth;
}

double DayPlanLayout::rowTop(const PlanPage& page, double row) const
{
    return m_bodyTop + (row - page.firstRow) * m_rowHeight;
}

void DayPlanLayout::addHeaderAndFooter(PlanPage& page, const DayPlanData& data, int pageNumber, int pageCount) const
{
    const double width = m_metrics.pageWidth;
    const QString day = data.dayName.trimmed().isEmpty() ? UnnamedDay : data.dayName;
    page.texts.append({QRectF(0, 0, width * 0.6, m_metrics.titleLine), day, PlanFont::Title});
    page.texts.append({QRectF(width * 0.6, 0, width * 0.4, m_metrics.textLine), data.practiceName, PlanFont::Text,
                       Qt::AlignRight | Qt::AlignTop});
    const QString fee = data.fee.isEmpty() ? QStringLiteral("–") : data.fee + QStringLiteral(" €");
    page.texts.append(
        {QRectF(0, m_metrics.titleLine, width / 2, m_metrics.textLine), QStringLiteral("Honorar: ") + fee});

    const double footer = m_metrics.pageHeight - m_metrics.smallLine;
    if (data.printDate.isValid())
        page.texts.append({QRectF(0, footer, width / 2, m_metrics.smallLine),
                           QStringLiteral("Gedruckt am ") +
                               QLocale(QLocale::German, QLocale::Germany).toString(data.printDate, "dd.MM.yyyy"),
                           PlanFont::Small});
    page.texts.append({QRectF(width / 2, footer, width / 2, m_metrics.smallLine),
                       QStringLiteral("Seite %1 von %2").arg(pageNumber).arg(pageCount), PlanFont::Small,
                       Qt::AlignRight | Qt::AlignTop});
}

void DayPlanLayout::addGrid(PlanPage& page, const DayPlanData& data) const
{
    if (data.columns.isEmpty())
        return;
    const double headTop = m_bodyTop - m_metrics.textLine - 2 * TextInset;
    const double right = columnLeft(m_chairs) + DoctorWidth;
    const double bottom = rowTop(page, page.endRow);
    page.lines.append({QLineF(TimeWidth, headTop, right, headTop), PlanLineKind::Frame});
    for (int c = 0; c <= m_chairs; ++c)
        page.texts.append(
            {QRectF(columnLeft(c) + TextInset, headTop + TextInset, columnWidth(c) - 2 * TextInset, m_metrics.textLine),
             data.columns[c]->caption(), PlanFont::Bold, Qt::AlignHCenter | Qt::AlignTop});
    for (int c = 0; c <= m_chairs + 1; ++c) {
        const double x = c <= m_chairs ? columnLeft(c) : right;
        page.lines.append({QLineF(x, headTop, x, bottom), PlanLineKind::Frame});
    }
    for (int row = page.firstRow; row <= page.endRow; ++row) {
        const int minutes = m_dayStart + row * m_slotMinutes;
        const bool hour = minutes % 60 == 0;
        const double y = rowTop(page, row);
        const bool edge = row == page.firstRow || row == page.endRow;
        page.lines.append({QLineF(0, y, right, y), edge   ? PlanLineKind::Frame
                                                   : hour ? PlanLineKind::Hour
                                                          : PlanLineKind::Row});
        if (row == page.endRow)
            break;
        page.texts.append({QRectF(TextInset, y + TextInset, TimeWidth - 2 * TextInset, m_metrics.smallLine),
                           ClockTime::fromMinutes(minutes), hour ? PlanFont::SmallBold : PlanFont::Small});
    }
}

void DayPlanLayout::addTreatments(PlanPage& page) const
{
    for (const Span& span : m_spans) {
        if (span.bottom <= page.firstRow || span.top >= page.endRow)
            continue;
        const double laneWidth = m_chairWidth / span.lanes;
        const double top = rowTop(page, std::max<double>(span.top, page.firstRow));
        const double bottom = rowTop(page, std::min<double>(span.bottom, page.endRow));
        const QRectF box(columnLeft(span.column) + span.lane * laneWidth + TextInset / 2, top, laneWidth - TextInset,
                         bottom - top);
        page.boxes.append({box, PlanBox::Kind::Treatment, span.column, false});
        const QRectF inside = box.adjusted(TextIndent, TextInset, -TextIndent, -TextInset);
        page.texts.append({QRectF(inside.left(), inside.top(), inside.width(), m_metrics.smallLine), span.firstLine,
                           PlanFont::SmallBold});
        // The description in as many whole lines as the box has room for below the first.
        const int lines = m_metrics.smallLine > 0 ? int((inside.height() + 1e-9) / m_metrics.smallLine) - 1 : 0;
        if (lines > 0 && !span.description.isEmpty())
            page.texts.append(
                {QRectF(inside.left(), inside.top() + m_metrics.smallLine, inside.width(), lines * m_metrics.smallLine),
                 span.description, PlanFont::Small, Qt::AlignLeft | Qt::AlignTop, true});
    }
}

void DayPlanLayout::addDoctorTime(PlanPage& page, const DayPlanData& data) const
{
    if (data.columns.isEmpty())
        return;
    const DayViewModel& doctor = *data.columns.last();
    for (const DayBlock& block : doctor.blocks()) {
        const auto start = ClockTime::minutesOf(block.startTime.trimmed());
        if (!start || *start < m_dayStart)
            continue;
        const int row = (*start - m_dayStart) / m_slotMinutes;
        if (row < page.firstRow || row >= page.endRow)
            continue;
        // The block's text is the demanded minutes; more than the row holds is more than one doctor can do.
        bool number = false;
        const int minutes = block.text.trimmed().toInt(&number);
        const bool overloaded = number && minutes > m_slotMinutes;
        const QRectF box(columnLeft(m_chairs) + TextInset / 2, rowTop(page, row), DoctorWidth - TextInset, m_rowHeight);
        page.boxes.append({box, PlanBox::Kind::DoctorTime, m_chairs, overloaded});
        page.texts.append({box.adjusted(TextInset, TextInset, -TextInset, -TextInset), block.text.trimmed(),
                           overloaded ? PlanFont::SmallBold : PlanFont::Small, Qt::AlignCenter, false, overloaded});
    }
}
