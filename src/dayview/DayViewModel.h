#pragma once

#include <QColor>
#include <QList>
#include <QString>

// One block of a day view: start and end as clock texts, exactly as added.
struct DayBlock {
    QString startTime;
    QString endTime;
    QString text;
    QColor color;
    // Length in minutes (end minus start).
    int minutes() const;
    bool operator==(const DayBlock&) const = default;
};

// The contents of one day-view column without its look: the time range cut into equal rows, the
// caption and the block list. Requests outside the range are refused with LunarisError 32096 and
// leave the column unchanged.
class DayViewModel {
public:
    // Row length code: 1 gives 10-minute rows, 2 gives 15-minute rows (5 × code + 5 minutes).
    void setSlotSize(int code);
    void setDayEnd(const QString& time);
    void setDayStart(const QString& time);
    int slotSize() const { return m_slotCode; }
    int slotMinutes() const { return 5 * m_slotCode + 5; }
    const QString& dayStart() const { return m_dayStart; }
    const QString& dayEnd() const { return m_dayEnd; }

    // Rows of the range: (end − start) / row length.
    int rowCount() const;
    // The row containing the time; refused for a time before the start or at or after the end.
    int rowOfTime(const QString& time) const;
    // Start time of a row; row rowCount() gives the end of the range, the place just past the last row.
    QString timeOfRow(int row) const;

    const QString& caption() const { return m_caption; }
    void setCaption(const QString& caption) { m_caption = caption; }

    int count() const { return int(m_blocks.size()); }
    const DayBlock& item(int index) const;
    const QList<DayBlock>& blocks() const { return m_blocks; }
    // Adds a block; refused when the start lies outside the range or the end is not a clock time
    // at or after the start. A block may end after the range.
    void add(const QString& startTime, const QString& endTime, const QString& text, const QColor& color);
    void remove(int index);
    // Puts a block back at its former place (0 to count()), as undoing a removal does.
    void insert(int index, const DayBlock& block);
    void clear() { m_blocks.clear(); }

private:
    int m_slotCode = 1;
    QString m_dayStart = QStringLiteral("07:00");
    QString m_dayEnd = QStringLiteral("18:00");
    QString m_caption;
    QList<DayBlock> m_blocks;
};
