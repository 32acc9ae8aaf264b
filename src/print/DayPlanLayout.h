#pragma once

#include <QLineF>
#include <QList>
#include <QRectF>
#include <QString>

struct DayPlanData;

// The fonts of the day plan, all in the print font's family.
enum class PlanFont { Title, Text, Bold, Small, SmallBold };

// A text in its area (millimetres from the top left corner of the printable area). Cut to one line
// with an ellipsis, or word-wrapped and cut to the lines that fit whole.
struct PlanText {
    QRectF rect;
    QString text;
    PlanFont font = PlanFont::Text;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wrap = false;
    bool opaque = false; // on a white ground, to stay legible over hatching
};

// Grid lines: the thin ones between rows, the strong ones at full hours and around the table.
enum class PlanLineKind { Row, Hour, Frame };

struct PlanLine {
    QLineF line;
    PlanLineKind kind = PlanLineKind::Row;
};

// A framed box: a treatment in a chair column, or a row of the doctor column. An overloaded doctor
// row is hatched, so that it shows in black and white too.
struct PlanBox {
    enum class Kind { Treatment, DoctorTime };
    QRectF rect;
    Kind kind = Kind::Treatment;
    int column = 0;
    bool overloaded = false;
};

struct PlanPage {
    int firstRow = 0; // the rows of the day this page shows: firstRow to endRow − 1
    int endRow = 0;
    QList<PlanLine> lines;
    QList<PlanBox> boxes;
    QList<PlanText> texts;
};

// The printer's page and the fonts' line heights, in millimetres.
struct PlanMetrics {
    double pageWidth = 0; // of the printable area
    double pageHeight = 0;
    double titleLine = 0;
    double textLine = 0;
    double smallLine = 0;
};

// The day as the screen draws it, laid out on pages as data: a column per chair and the doctor
// column, each treatment a box from its start to its end, the rows of the opening hours beside the
// times. A day that does not fit on one page at a legible row height is split by time, at full hours
// where possible, each page with the column captions again. Header: day, practice, fee; footer: print
// date and page number.
class DayPlanLayout {
public:
    static constexpr double TimeWidth = 12;   // mm, the time column
    static constexpr double DoctorWidth = 16; // mm; the doctor column holds numbers only
    static constexpr double MinRowHeight = 4; // mm: one line of small print with room around it
    static constexpr double MaxRowHeight = 9; // mm: a short day is not stretched over the sheet
    static constexpr double TextInset = 0.6;  // mm above and below a text in its box or row
    static constexpr double TextIndent = 1.0; // mm between a box's side and its text
    static constexpr double HeaderGap = 2;    // mm below the header
    static constexpr double FooterGap = 1.5;  // mm above the footer
    static inline const QString UnnamedDay = QStringLiteral("Idealtag ohne Namen");

    DayPlanLayout(const DayPlanData& data, const PlanMetrics& metrics);

    const QList<PlanPage>& pages() const { return m_pages; }
    double rowHeight() const { return m_rowHeight; }
    // Top of the first row on every page.
    double bodyTop() const { return m_bodyTop; }

private:
    struct Span {
        int column = 0;
        double top = 0;    // in rows from the start of the day
        double bottom = 0; // in rows
        int lane = 0;      // side by side where blocks of one chair overlap
        int lanes = 1;
        QString firstLine;
        QString description;
    };

    QList<int> pageBreaks(double bodyHeight) const;
    void collectTreatments(const DayPlanData& data);
    void layOutPage(const DayPlanData& data, int firstRow, int endRow);
    void addHeaderAndFooter(PlanPage& page, const DayPlanData& data, int pageNumber, int pageCount) const;
    void addGrid(PlanPage& page, const DayPlanData& data) const;
    void addTreatments(PlanPage& page) const;
    void addDoctorTime(PlanPage& page, const DayPlanData& data) const;
    double columnLeft(int column) const;
    double columnWidth(int column) const;
    double rowTop(const PlanPage& page, double row) const;

    PlanMetrics m_metrics;
    int m_chairs = 0;
    int m_rows = 0;
    int m_dayStart = 0; // minutes since midnight
    int m_slotMinutes = 10;
    double m_chairWidth = 0;
    double m_bodyTop = 0;
    double m_rowHeight = MaxRowHeight;
    QList<Span> m_spans;
    QList<PlanPage> m_pages;
};
