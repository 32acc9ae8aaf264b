#pragma once

#include <QString>
#include <QStringList>

// The largest day the program supports and the practice around it: 10 chairs, 08:00–18:00 in
// 10-minute rows, every row of every chair filled with a 10-minute block whose treatment has two
// doctor windows (600 blocks), and a number of other stored days of the same size.
namespace BenchPractice {

inline const QString DayName = QStringLiteral("Großer Tag");
constexpr int Chairs = 10;
constexpr int Rows = 60;
constexpr int BlocksPerDay = Chairs * Rows;
constexpr int Treatments = 12;

QStringList chairNames();
QString treatmentCode(int n);
QString otherDayName(int n);
// The fee total of blocks with these treatment codes, chair by chair in the order of the columns.
qint64 feeTotal(const QStringList& codesInOrder);
// The fee total of the day as stored.
qint64 dayFeeTotal();

// Writes a new practice database: chairs, treatments, and the day among `otherDays` further stored
// days (half of them stored before it, half after it).
void create(const QString& filePath, int otherDays);
// The demo practice the program ships (resources/demo), in a new file.
void createDemo(const QString& filePath);
// Adds the appointment planner's table with `rows` appointments to a practice database, as years of
// appointments in the shared file; one statement in one transaction.
void addPlannerAppointments(const QString& filePath, int rows);
// A copy of a practice database without the index on Template, as an older file would be.
void copyWithoutIndex(const QString& from, const QString& to);
// The practice settings of the day (10-minute rows, 08:00–18:00) in the settings store in use.
void writeSettings();

} // namespace BenchPractice
