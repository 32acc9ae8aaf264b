#include "StoredDay.h"
#include "TempDatabase.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "dayview/ClockTime.h"
#include "dayview/DayViewModel.h"
#include "editing/DoctorColumn.h"
#include "kernel/LunarisError.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {
DayViewModel column(int slot, const QString& start = "08:00", const QString& end = "18:00")
{
    DayViewModel m;
    m.setSlotSize(slot);
    m.setDayEnd(end);
    m.setDayStart(start);
    return m;
}

Treatment treatment(const QString& code, QVariant drStart, QVariant drDauer, QVariant drStart2 = 0,
                    QVariant drDauer2 = 0, QVariant hon = 0)
{
    return Treatment{code, QString(), 30, drStart, drDauer, drStart2, drDauer2, hon};
}

// The doctor column as "time=minutes/colour" entries.
QStringList picture(const DayViewModel& doctor)
{
    QStringList rows;
    for (const DayBlock& b : doctor.blocks())
        rows.append(QStringLiteral("%1-%2=%3/%4")
                        .arg(b.startTime, b.endTime, b.text, b.color == QColor(255, 0, 0) ? "rot" : "grün"));
    return rows;
}
} // namespace

class TestDoctorColumn : public QObject {
    Q_OBJECT
private slots:
    void spreading_data();
    void spreading();
    void fees_data();
    void fees();
    void centsOfAFee_data();
    void centsOfAFee();
    void feeIsTheExactSumInAnyOrder_data();
    void feeIsTheExactSumInAnyOrder();
    void moreThan101Rows();
    void failuresOfTheTreatmentTable_data();
    void failuresOfTheTreatmentTable();
};

void TestDoctorColumn::spreading_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QStringList>("blocks"); // "chair|start|code"
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("10/25 from 08:00") << 1 << QStringList{"0|08:00|A"}
                                      << QStringList{"08:10-08:15=10/grün", "08:20-08:25=10/grün",
                                                     "08:30-08:35=5/grün"};
    QTest::newRow("second chair makes 20 red")
        << 1 << QStringList{"0|08:00|A", "1|08:10|B"}
        << QStringList{"08:10-08:15=20/rot", "08:20-08:25=10/grün", "08:30-08:35=5/grün"};
    QTest::newRow("exactly one row") << 1 << QStringList{"0|09:00|C"} << QStringList{"09:00-09:05=10/grün"};
    QTest::newRow("window starting mid-row counts from the row start")
        << 1 << QStringList{"0|09:05|C"} << QStringList{"09:00-09:05=10/grün"};
    QTest::newRow("15-minute rows") << 2 << QStringList{"0|08:00|A"}
                                    << QStringList{"08:00-08:05=15/grün", "08:15-08:20=10/grün"};
    QTest::newRow("15-minute rows, 20 minutes in one row is red")
        << 2 << QStringList{"0|08:00|C", "1|08:00|C"} << QStringList{"08:00-08:05=20/rot"};
    QTest::newRow("second window") << 1 << QStringList{"0|10:00|D"}
                                   << QStringList{"10:00-10:05=5/grün", "10:40-10:45=10/grün"};
    QTest::newRow("zero-length window adds nothing") << 1 << QStringList{"0|10:00|Z"} << none;
    QTest::newRow("window after the day's end adds nothing") << 1 << QStringList{"0|17:50|A"} << none;
    QTest::newRow("window before the day's start adds nothing") << 1 << QStringList{"0|08:00|NEG"} << none;
    QTest::newRow("code not in the table adds nothing") << 1 << QStringList{"0|08:00|FEHLT"} << none;
    QTest::newRow("negative length adds nothing")
        << 1 << QStringList{"0|08:00|MINUS", "1|08:00|C"} << QStringList{"08:00-08:05=10/grün"};
}

void TestDoctorColumn::spreading()
{
    QFETCH(int, slot);
    QFETCH(QStringList, blocks);
    QFETCH(QStringList, expected);
    QList<DayViewModel> chairs = {column(slot), column(slot)};
    for (const QString& b : blocks) {
        const QStringList f = b.split('|');
        chairs[f[0].toInt()].add(f[1], f[1], f[2], Qt::green);
    }
    DayViewModel doctor = column(slot);
    const auto treatments = DoctorColumn::byCode({
        treatment("A", 10, 25), treatment("B", 0, 10), treatment("C", 0, 10), treatment("D", 0, 5, 40, 10),
        treatment("Z", 0, 0), treatment("NEG", -30, 10), treatment("MINUS", 0, -10),
        treatment("A", 0, 60), // a second row with the same code is never used
    });
    DoctorColumn::rebuild({&chairs[0], &chairs[1]}, doctor, treatments);
    QCOMPARE(doctor.caption(), QString("Dr.-Zeit"));
    QCOMPARE(picture(doctor), expected);
}

void TestDoctorColumn::fees_data()
{
    QTest::addColumn<QVariantList>("fees");
    QTest::addColumn<qint64>("total");
    QTest::newRow("none") << QVariantList{} << qint64(0);
    QTest::newRow("whole") << QVariantList{45, 62} << qint64(107);
    QTest::newRow("past 16 bits") << QVariantList{30000, 30000, 30000} << qint64(90000);
    // The exact sum is rounded once, commercially (a half away from zero), whatever the order of the blocks.
    QTest::newRow("halves add up exactly") << QVariantList{0.5, 1.5, 2.5, 62.5} << qint64(67);
    QTest::newRow("other decimals") << QVariantList{28.4, 28.6} << qint64(57);
    QTest::newRow("ERST then BEFU: 107.50 rounds to 108") << QVariantList{45, 62.5} << qint64(108);
    QTest::newRow("BEFU then ERST: the same") << QVariantList{62.5, 45} << qint64(108);
    QTest::newRow("two halves on an odd total") << QVariantList{1, 28.5, 28.5} << qint64(58);
    QTest::newRow("a 15.00 treatment adds 15") << QVariantList{28, 1380.5, 0.5, 15} << qint64(1424);
    QTest::newRow("1408.50 rounds up to 1409") << QVariantList{28.5, 1380} << qint64(1409);
    // Each whole-euro block adds its fee, also on a total that ends in a half (the demo Monday).
    QTest::newRow("892.50 shows 893") << QVariantList{877.5, 15} << qint64(893);
    QTest::newRow("one 15.00 more: 908") << QVariantList{877.5, 15, 15} << qint64(908);
    QTest::newRow("another 15.00: 923") << QVariantList{877.5, 15, 15, 15} << qint64(923);
    QTest::newRow("49 cents round down") << QVariantList{892.49} << qint64(892);
    QTest::newRow("a credit's half away from zero") << QVariantList{-28.5} << qint64(-29);
    QTest::newRow("a credit below half") << QVariantList{-28.49} << qint64(-28);
    QTest::newRow("cents that binary fractions miss") << QVariantList{0.1, 0.2, 0.19} << qint64(0);
}

void TestDoctorColumn::fees()
{
    QFETCH(QVariantList, fees);
    QFETCH(qint64, total);
    DayViewModel chair = column(1);
    QList<Treatment> treatments;
    for (int i = 0; i < fees.size(); ++i) {
        const QString code = QStringLiteral("T%1").arg(i);
        treatments.append(treatment(code, 0, 0, 0, 0, fees[i]));
        chair.add(ClockTime::fromMinutes(8 * 60 + 10 * i), ClockTime::fromMinutes(8 * 60 + 10 * i + 10), code,
                  Qt::green);
    }
    DayViewModel doctor = column(1);
    QCOMPARE(DoctorColumn::rebuild({&chair}, doctor, DoctorColumn::byCode(treatments)), total);
}

void TestDoctorColumn::centsOfAFee_data()
{
    QTest::addColumn<double>("fee");
    QTest::addColumn<qint64>("cents");
    QTest::newRow("whole") << 45.0 << qint64(4500);
    QTest::newRow("half") << 62.5 << qint64(6250);
    QTest::newRow("0.1 is ten cents, not 10.000000000000000555") << 0.1 << qint64(10);
    QTest::newRow("a third decimal half to even, down") << 0.125 << qint64(12);
    QTest::newRow("a third decimal half to even, up") << 0.135 << qint64(14);
    QTest::newRow("above half") << 0.1251 << qint64(13);
    QTest::newRow("negative") << -28.5 << qint64(-2850);
    QTest::newRow("large") << 4503599627370496.0 << qint64(450359962737049600);
}

void TestDoctorColumn::centsOfAFee()
{
    QFETCH(double, fee);
    QFETCH(qint64, cents);
    QCOMPARE(DoctorColumn::centsOf(fee), cents);
}

namespace {
struct FeeBlock {
    QString code;
    qint64 cents;
};

// The blocks spread over `chairs` columns in the given order, at random rows (the fee does not look
// at the times).
QList<DayViewModel> dayOf(const QList<FeeBlock>& blocks, int chairs, QRandomGenerator& random)
{
    QList<DayViewModel> columns(chairs, column(1, "08:00", "23:50"));
    for (const FeeBlock& b : blocks) {
        const int start = 8 * 60 + 10 * int(random.bounded(94));
        columns[int(random.bounded(chairs))].add(ClockTime::fromMinutes(start), ClockTime::fromMinutes(start + 10),
                                                 b.code, Qt::green);
    }
    return columns;
}
} // namespace

void TestDoctorColumn::feeIsTheExactSumInAnyOrder_data()
{
    QTest::addColumn<QString>("demoDay"); // empty: random blocks from the seed
    QTest::addColumn<quint32>("seed");
    QTest::newRow("demo Montag Standard") << QStringLiteral("Montag Standard") << 1u;
    QTest::newRow("demo Freitag kurz") << QStringLiteral("Freitag kurz") << 2u;
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("random day %u", seed) << QString() << seed;
}

void TestDoctorColumn::feeIsTheExactSumInAnyOrder()
{
    QFETCH(QString, demoDay);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    QList<FeeBlock> blocks;
    QHash<QString, Treatment> treatments;
    if (!demoDay.isEmpty()) {
        TempDatabase db;
        runSqlScript(db.database(), TestPaths::sourceFile(QStringLiteral("resources/demo/demo.sql")));
        for (const QString& row : db.rows("SELECT BEH, HON FROM Behand")) {
            const QStringList f = row.split('|');
            treatments.insert(f[0], treatment(f[0], 0, 0, 0, 0, f[1].toDouble()));
        }
        const StoredDay day(db.database(), demoDay);
        for (const DayViewModel* chair : day.columns())
            for (const DayBlock& b : chair->blocks())
                blocks.append({b.text, qint64(std::llround(treatments[b.text].hon.toDouble() * 100))});
    } else {
        // Fees with cents, halves and whole units, as practices enter them.
        for (int t = 0; t < 12; ++t) {
            const QString code = QStringLiteral("T%1").arg(t);
            const qint64 cents = qint64(random.bounded(30000)) * (t % 3 == 0 ? 1 : t % 3 == 1 ? 50 : 100) / 100;
            treatments.insert(code, treatment(code, 0, 0, 0, 0, double(cents) / 100));
        }
        const int count = 1 + int(random.bounded(120));
        for (int i = 0; i < count; ++i) {
            const QString code = QStringLiteral("T%1").arg(random.bounded(12));
            blocks.append({code, qint64(std::llround(treatments[code].hon.toDouble() * 100))});
        }
    }
    qint64 exact = 0;
    for (const FeeBlock& b : blocks)
        exact += b.cents;
    QVERIFY(exact > 0);
    for (int order = 0; order < 6; ++order) {
        if (order == 1)
            std::reverse(blocks.begin(), blocks.end());
        else if (order > 1)
            std::shuffle(blocks.begin(), blocks.end(), random);
        const QList<DayViewModel> columns = dayOf(blocks, 1 + int(random.bounded(10)), random);
        QList<const DayViewModel*> chairs;
        for (const DayViewModel& c : columns)
            chairs.append(&c);
        DayViewModel doctor = column(1, "08:00", "23:50");
        const DoctorLoad load = DoctorColumn::compute(chairs, doctor, DoctorColumn::lookupIn(treatments));
        QCOMPARE(load.feeCents, exact);
        qint64 chairSum = 0;
        for (const qint64 fee : load.chairFeeCents)
            chairSum += fee;
        QCOMPARE(chairSum, exact);
        QCOMPARE(DoctorColumn::rebuild(chairs, doctor, treatments), DoctorColumn::wholeUnits(exact));
    }
}

void TestDoctorColumn::moreThan101Rows()
{
    // 06:00 to 23:00 in 10-minute rows: 102 rows, one more than the doctor table holds.
    DayViewModel chair = column(1, "06:00", "23:00");
    chair.add("06:00", "06:10", "X", Qt::green);
    DayViewModel doctor = column(1, "06:00", "23:00");
    try {
        DoctorColumn::rebuild({&chair}, doctor, DoctorColumn::byCode({treatment("X", 0, 10)}));
        QFAIL("the rebuild went past row 100");
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), 9);
    }
    // The rows before the failure are drawn.
    QCOMPARE(picture(doctor), QStringList{"06:00-06:05=10/grün"});
}

void TestDoctorColumn::failuresOfTheTreatmentTable_data()
{
    QTest::addColumn<QVariant>("drDauer");
    QTest::addColumn<QVariant>("hon");
    QTest::addColumn<int>("failure");
    QTest::newRow("empty doctor length") << QVariant() << QVariant(10) << 94;
    QTest::newRow("empty fee") << QVariant(10) << QVariant() << 94;
    QTest::newRow("text in a number field") << QVariant("zehn") << QVariant(10) << 13;
    QTest::newRow("a window past row 100") << QVariant(3000) << QVariant(10) << 9;
    QTest::newRow("a fee past 2^53") << QVariant(10) << QVariant(1e16) << 6;
}

void TestDoctorColumn::failuresOfTheTreatmentTable()
{
    QFETCH(QVariant, drDauer);
    QFETCH(QVariant, hon);
    QFETCH(int, failure);
    DayViewModel chair = column(1);
    chair.add("08:00", "08:30", "X", Qt::green);
    DayViewModel doctor = column(1);
    try {
        DoctorColumn::rebuild({&chair}, doctor, DoctorColumn::byCode({treatment("X", 0, drDauer, 0, 0, hon)}));
        QFAIL("no failure");
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), failure);
    }
}

LUNARIS_TEST_MAIN(TestDoctorColumn)
#include "tst_doctorcolumn.moc"
