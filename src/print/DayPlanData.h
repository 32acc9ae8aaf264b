#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

class Database;
class DayViewModel;
class SettingsStore;

// Everything the day plan prints besides the columns' blocks: the practice, the day, the fee and the
// date, and the treatments' descriptions for the boxes.
struct DayPlanData {
    QString practiceName;
    QString dayName;
    // Whole units, as "Honorar:" shows them; empty when the treatments could not be read.
    QString fee;
    QDate printDate;
    // The chair columns, then the doctor column, as the main window shows them.
    QList<const DayViewModel*> columns;
    QHash<QString, QString> treatmentTexts; // code → description

    // The day as shown, with the treatments and the fee as the table holds them now. A table that
    // cannot be read leaves the descriptions and the fee out; the plan is printed all the same.
    static DayPlanData gather(const Database& database, const SettingsStore& settings, const QString& dayName,
                              const QList<const DayViewModel*>& columns);
};
