#pragma once

#include <QList>
#include <QString>

#include <functional>

class DayViewModel;

// One text of the print-out; x and y in millimetres from the top left corner of the printable area,
// y being the top of the text's line.
struct PrintText {
    double x = 0;
    double y = 0;
    QString text;
};

// A horizontal rule at height y (millimetres) from x1 to x2.
struct PrintRule {
    double y = 0;
    double x1 = 0;
    double x2 = 0;
};

struct PrintPage {
    QList<PrintText> texts;
    QList<PrintRule> rules;
};

// What the layout needs to know of the printer and its font, in millimetres.
struct PrintMetrics {
    double lineHeight = 0;
    // The right end of the rules.
    double pageWidth = 0;
    // A line whose bottom would pass this height (the printable area's) goes to the next page.
    double pageHeight = 0;
    // Width of a text in the print font; where a position cannot be set, the next text follows on.
    std::function<double(const QString&)> textWidth;
};

// The print-out of an ideal day laid out as data: the day's name, the header line with the column
// captions, and one line per time row of the first column (plus one for the end of the range), each
// block entered in the line of its start time. Positions follow the printer model the practice's
// offsets were made for: a current position that each text moves on, each line end moves down by
// one line, and steps that fail (a bad offset, a refused row) are skipped and the rest goes on.
class PrintLayout {
public:
    static constexpr double TableLeft = 12;   // mm
    static constexpr double TableWidth = 270; // mm, shared by all columns
    static constexpr int TextLength = 20;     // characters of a block's text
    static constexpr double RuleGap = 0.5;    // mm below each rule

    // Left edge of table column c of n, without the offset.
    static double columnLeft(int column, int columnCount);

    // columns: the chair columns followed by the doctor column; hor/vert: the offsets as stored.
    PrintLayout(const QString& dayName, const QList<const DayViewModel*>& columns, const PrintMetrics& metrics,
                const QString& horOffset, const QString& vertOffset);

    const QList<PrintPage>& pages() const { return m_pages; }

private:
    void startPage();
    void printHead();
    void printBodyLine(const QString& time);
    // The positioning steps: they fail on an offset that is not a number.
    void setPrintX(double x);
    void setPrintXY(double x, double y);
    void print(const QString& text);
    void endLine();
    void drawRule();

    QString m_dayName;
    QList<const DayViewModel*> m_columns;
    PrintMetrics m_metrics;
    QString m_horOffset;
    QString m_vertOffset;
    QList<PrintPage> m_pages;
    double m_x = 0;
    double m_y = 0;
    int m_bodyLinesOnPage = 0;
};
