#include "BenchPractice.h"

#include "store/Database.h"

#include <QFile>
#include <QSettings>

#include <cmath>
#include <stdexcept>

namespace BenchPractice {
namespace {
struct TreatmentRow {
    int drDauer, drDauer2;
    double hon;
};

TreatmentRow treatment(int n)
{
    // Two doctor windows of 2–4 minutes at 0 and 5 minutes into the block; fees with halves, so the
    // rounding of every block is part of the rebuild.
    return {2 + n % 3, 2 + (n + 1) % 3, 20 + n * 2.5};
}

int codeOf(int chair, int row)
{
    return (chair * 7 + row) % Treatments;
}

QString clock(int minutes)
{
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void insertOtherDays(const Database& db, int first, int last)
{
    if (first > last)
        return;
    const QString days = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT ? UNION ALL SELECT i + 1 FROM n WHERE i < ?) ");
    db.run(days + QStringLiteral("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) "
                                 "SELECT printf('Tag %04d', i), STUHL, BEH, STARTZEIT, ENDZEIT "
                                 "FROM n, Muster ORDER BY i, NR"),
           {first, last});
    db.run(days + QStringLiteral("INSERT INTO Idealtag (IDEALTAG) SELECT printf('Tag %04d', i) FROM n ORDER BY i"),
           {first, last});
}
} // namespace

QStringList chairNames()
{
    QStringList names;
    for (int c = 1; c <= Chairs; ++c)
        names.append(QStringLiteral("Stuhl %1").arg(c));
    return names;
}

QString treatmentCode(int n)
{
    return QStringLiteral("KFO%1").arg(n + 1, 2, 10, QLatin1Char('0'));
}

QString otherDayName(int n)
{
    return QStringLiteral("Tag %1").arg(n, 4, 10, QLatin1Char('0'));
}

qint64 feeTotal(const QStringList& codesInOrder)
{
    // The exact sum in cents, rounded once to whole euros (halves to the even neighbour), whatever the order.
    qint64 cents = 0;
    for (const QString& code : codesInOrder)
        cents += std::llround(treatment(code.mid(3).toInt() - 1).hon * 100);
    const qint64 euros = cents / 100;
    const qint64 rest = cents % 100;
    return rest > 50 || (rest == 50 && euros % 2 != 0) ? euros + 1 : euros;
}

qint64 dayFeeTotal()
{
    QStringList codes;
    for (int c = 0; c < Chairs; ++c)
        for (int r = 0; r < Rows; ++r)
            codes.append(treatmentCode(codeOf(c, r)));
    return feeTotal(codes);
}

void create(const QString& filePath, int otherDays)
{
    const Database db(filePath, QStringLiteral("bench-create"));
    db.inTransaction([&] {
        const QStringList chairs = chairNames();
        for (const QString& chair : chairs)
            db.run(QStringLiteral("INSERT INTO Stuhl (STUHL, TEXT) VALUES (?, ?)"),
                   {chair, QStringLiteral("Behandlungsstuhl")});
        for (int n = 0; n < Treatments; ++n) {
            const TreatmentRow t = treatment(n);
            db.run(
                QStringLiteral("INSERT INTO Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON) "
                               "VALUES (?, ?, 10, 0, ?, 5, ?, ?)"),
                {treatmentCode(n), QStringLiteral("Kontrolle %1").arg(n + 1), t.drDauer, t.drDauer2, t.hon});
        }
        // The day's blocks once, as a pattern every stored day repeats.
        db.run(QStringLiteral(
            "CREATE TEMP TABLE Muster (NR INTEGER, STUHL TEXT, BEH TEXT, STARTZEIT TEXT, ENDZEIT TEXT)"));
        for (int c = 0; c < Chairs; ++c)
            for (int r = 0; r < Rows; ++r)
                db.run(QStringLiteral("INSERT INTO Muster VALUES (?, ?, ?, ?, ?)"),
                       {c * Rows + r, chairs[c], treatmentCode(codeOf(c, r)), clock(8 * 60 + r * 10),
                        clock(8 * 60 + r * 10 + 10)});
        insertOtherDays(db, 1, otherDays / 2);
        db.run(QStringLiteral("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) "
                              "SELECT ?, STUHL, BEH, STARTZEIT, ENDZEIT FROM Muster ORDER BY NR"),
               {DayName});
        db.run(QStringLiteral("INSERT INTO Idealtag (IDEALTAG) VALUES (?)"), {DayName});
        insertOtherDays(db, otherDays / 2 + 1, otherDays);
        db.run(QStringLiteral("DROP TABLE Muster"));
    });
}

void createDemo(const QString& filePath)
{
    QFile sql(QStringLiteral(LUNARIS_DEMO_SQL));
    if (!sql.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the demo practice");
    const Database db(filePath, QStringLiteral("bench-demo"));
    // The demo's statements (its own transaction included) hold no semicolon inside their texts.
    for (const QString& statement : QString::fromUtf8(sql.readAll()).split(QLatin1Char(';'))) {
        QString code;
        for (const QString& line : statement.split(QLatin1Char('\n')))
            if (!line.trimmed().startsWith(QLatin1String("--")))
                code += line + QLatin1Char('\n');
        if (!code.trimmed().isEmpty())
            db.run(code);
    }
}

void addPlannerAppointments(const QString& filePath, int rows)
{
    const Database db(filePath, QStringLiteral("bench-planner"));
    db.inTransaction([&] {
        db.run(QStringLiteral("CREATE TABLE Termine (NR INTEGER PRIMARY KEY, DATUM TEXT, STUHL TEXT, PATIENT TEXT, "
                              "BEH TEXT, STARTZEIT TEXT, ENDZEIT TEXT, BEMERKUNG TEXT)"));
        // 600 appointments a day on 10 chairs, about 100 bytes each, as a planner writes them.
        db.run(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
                              "INSERT INTO Termine (DATUM, STUHL, PATIENT, BEH, STARTZEIT, ENDZEIT, BEMERKUNG) "
                              "SELECT date('2010-01-04', '+' || (i / 600) || ' days'), 'Stuhl ' || (i % 10 + 1), "
                              "printf('Patient %07d', i * 7919 % 1000003), printf('KFO%02d', i % 12 + 1), "
                              "printf('%02d:%02d', 8 + (i / 10 % 60) / 6, (i / 10 % 6) * 10), "
                              "printf('%02d:%02d', 8 + (i / 10 % 60 + 1) / 6, ((i / 10 + 1) % 6) * 10), "
                              "'Kontrolle, Bogen nachgebogen' FROM n"),
               {rows});
    });
}

void copyWithoutIndex(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error("cannot copy the practice database");
    // Opening puts the index in place when it is missing; the copy has it, so this only takes it away.
    const Database db(to, QStringLiteral("bench-drop-index"));
    db.run(QStringLiteral("DROP INDEX Template_IDEALTAG_STUHL"));
}

void writeSettings()
{
    QSettings family(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavemo"), QStringLiteral("Kavemo"));
    family.setValue(QStringLiteral("Praxis/Slot"), QStringLiteral("1"));
    family.setValue(QStringLiteral("Praxis/OpenZeit"), QStringLiteral("08:00"));
    family.setValue(QStringLiteral("Praxis/ZuZeit"), QStringLiteral("18:00"));
    family.sync();
}

} // namespace BenchPractice
