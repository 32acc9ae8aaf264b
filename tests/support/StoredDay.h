#pragma once

#include "dayview/DayViewModel.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

class Database;

// The columns of a stored ideal day as the main window shows them: one column per row of table
// Stuhl, captioned with its name and holding the day's blocks of that chair (text = treatment code),
// then the doctor column "Dr.-Zeit" (empty; tests add its blocks themselves).
class StoredDay {
public:
    StoredDay(const Database& database, const QString& day, int slotSetting = 1,
              const QString& openTime = QStringLiteral("08:00"), const QString& closeTime = QStringLiteral("18:00"));

    QList<const DayViewModel*> columns() const;
    DayViewModel& column(int index) { return *m_columns.at(index); }
    DayViewModel& doctorColumn() { return *m_columns.back(); }

private:
    DayViewModel& addColumn(const QString& caption, int slotSetting, const QString& openTime, const QString& closeTime);

    std::vector<std::unique_ptr<DayViewModel>> m_columns;
};

// Runs the statements of an SQL file (one statement per ';' at a line end), such as the demo practice.
void runSqlScript(const Database& database, const QString& fileName);
