// Bad contents of the practice database, as another program of the family may leave them: empty
// fields, times that are no clock times, blocks outside the day, odd durations, doctor windows and
// fees, empty and duplicate chair names. Nothing crashes, the data errors are reported where the
// load and the doctor column report them, and a save loses no stored row the user never saw.
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "dayview/DayView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString DataErrorText = QStringLiteral(" Fehler: Bitte Öffnungszeit und Datenbank überprüfen");

// The window at 1000 x 700 pixels; each test starts it itself.
struct Practice : MainWindowFixture {
    // Chairs in a table without constraints, as the family's planner may keep it.
    explicit Practice(const QVariantList& chairs = {"Stuhl 1", "Stuhl 2", "Stuhl 3"})
        : MainWindowFixture(0, QSize(1000, 700))
    {
        TempDatabase& db = ctx.tempDatabase;
        db.exec("DROP TABLE Stuhl");
        db.exec("CREATE TABLE Stuhl (STUHL, TEXT)");
        for (const QVariant& chair : chairs)
            db.exec("INSERT INTO Stuhl (STUHL) VALUES (?)", {chair});
        db.exec("DROP TABLE Behand");
        db.exec("CREATE TABLE Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON)");
        db.addTreatment("KONT", 20, 0, 10, 0, 0, 18);
        db.addTreatment("BOGEN", 30, 0, 10, 0, 0, 28);
    }
    void open(const QString& day, int dataError = 0)
    {
        ctx.modals.handleNext(openName(day));
        const qsizetype before = ctx.messages.shown().size();
        if (dataError)
            ctx.messages.answer(QMessageBox::Ok);
        action("mnuFileOpen")->trigger();
        QCOMPARE(ctx.messages.shown().size(), before + (dataError ? 1 : 0));
        if (dataError)
            expectDataError(dataError);
    }
    void expectDataError(int number)
    {
        expectBox(QString::number(number) + DataErrorText, "Datenfehler", QMessageBox::Warning);
    }
};

// A save writes a day's rows anew, in another order: stored rows are compared sorted.
QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}
} // namespace

class TestBadData : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void badTemplateRows_data();
    void badTemplateRows();
    void badTreatmentFields_data();
    void badTreatmentFields();
    void oddChairTables_data();
    void oddChairTables();
    void doctorColumnReads_data();
    void doctorColumnReads();

private:
    std::unique_ptr<Practice> m_practice;
};

void TestBadData::cleanup()
{
    if (m_practice)
        m_practice->expectNothingPending();
    m_practice.reset();
}

void TestBadData::badTemplateRows_data()
{
    QTest::addColumn<QVariant>("chair");
    QTest::addColumn<QVariant>("code");
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<QVariant>("end");
    QTest::addColumn<QString>("shown");     // how the row appears in its column; empty: not shown
    QTest::addColumn<int>("dataError");     // the load's data error, 0 for none
    QTest::addColumn<QString>("refusedAt"); // a click of KONT (20 min) there in Stuhl 2 overlaps the unshown row
    const QVariant null;
    QTest::newRow("start 8:00") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("8:00") << QVariant("08:30")
                                << "" << 0 << "08:20";
    QTest::newRow("start empty") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("") << QVariant("08:30") << ""
                                 << 0 << "";
    QTest::newRow("start 99:99") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("99:99") << QVariant("08:30")
                                 << "" << 0 << "";
    QTest::newRow("end 99:99") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("09:00") << QVariant("99:99")
                               << "" << 0 << "13:00";
    QTest::newRow("end empty") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("09:00") << QVariant("") << ""
                               << 0 << "";
    QTest::newRow("end before start") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("10:00")
                                      << QVariant("09:00") << "" << 0 << "";
    QTest::newRow("before the day") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("06:00") << QVariant("06:30")
                                    << "" << 0 << "";
    QTest::newRow("after the day") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("19:00") << QVariant("19:30")
                                   << "" << 0 << "";
    QTest::newRow("ending after the day") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("17:50")
                                          << QVariant("23:00") << "17:50-23:00 KONT" << 0 << "";
    QTest::newRow("unknown treatment") << QVariant("Stuhl 2") << QVariant("FEHLT") << QVariant("09:00")
                                       << QVariant("09:30") << "09:00-09:30 FEHLT" << 0 << "";
    QTest::newRow("empty start") << QVariant("Stuhl 2") << QVariant("KONT") << null << QVariant("08:30") << "" << 94
                                 << "";
    QTest::newRow("empty end") << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("09:00") << null << "" << 94
                               << "";
    QTest::newRow("empty code") << QVariant("Stuhl 2") << null << QVariant("09:00") << QVariant("09:30") << "" << 94
                                << "09:10";
    // Digits of other scripts read as numbers, but times are compared as text: such a row is unreadable.
    QTest::newRow("start in full-width digits")
        << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("０８:００") << QVariant("08:30") << "" << 0 << "";
    QTest::newRow("end in Arabic-Indic digits")
        << QVariant("Stuhl 2") << QVariant("KONT") << QVariant("09:00") << QVariant("٠٩:٣٠") << "" << 0 << "";
    QTest::newRow("empty chair") << null << QVariant("KONT") << QVariant("09:00") << QVariant("09:30") << "" << 0 << "";
    // A chair gone from the chair table (renamed, deleted) keeps its rows until it comes back.
    QTest::newRow("chair not in the table")
        << QVariant("Stuhl 9") << QVariant("KONT") << QVariant("09:00") << QVariant("09:30") << "" << 0 << "";
}

void TestBadData::badTemplateRows()
{
    QFETCH(QVariant, chair);
    QFETCH(QVariant, code);
    QFETCH(QVariant, start);
    QFETCH(QVariant, end);
    QFETCH(QString, shown);
    QFETCH(int, dataError);
    QFETCH(QString, refusedAt);
    m_practice = std::make_unique<Practice>();
    Practice& p = *m_practice;
    TempDatabase& db = p.ctx.tempDatabase;
    db.addBlock("Anderer", "Stuhl 3", "BOGEN", "14:00", "14:30");
    db.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    db.addBlock("Montag", "Stuhl 2", "KONT", "08:00", "08:20");
    db.exec("INSERT INTO Template VALUES (?, ?, ?, ?, ?)", {"Montag", chair, code, start, end});
    db.addBlock("Montag", "Stuhl 2", "BOGEN", "12:00", "12:30");
    db.addBlock("Montag", "Stuhl 3", "KONT", "10:00", "10:20");
    const QStringList before = sorted(p.stored("Montag"));
    p.start();
    auto* status = p.window->findChild<QLabel*>("sbStatusBar_Panel1");

    p.open("Anderer");
    QCOMPARE(p.onScreen(2), QStringList{"14:00-14:30 BOGEN"});
    QCOMPARE(status->text(), QString("Keine ungespeicherten Änderungen"));
    // The load goes on past the row it cannot show and reports that once.
    p.open("Montag", dataError);
    QCOMPARE(p.onScreen(0), QStringList{"08:00-08:20 KONT"});
    QStringList second{"08:00-08:20 KONT", "12:00-12:30 BOGEN"};
    if (!shown.isEmpty())
        second.insert(1, shown);
    QCOMPARE(p.onScreen(1), second);
    QCOMPARE(p.onScreen(2), QStringList{"10:00-10:20 KONT"});
    QCOMPARE(p.window->findChild<QLineEdit*>("txtHon")->text(), shown.endsWith("KONT") ? "100" : "82");
    const QString late = "Endet nach Praxisschluss (18:00)";
    QCOMPARE(status->text(), shown.isEmpty()             ? QString("1 gespeicherter Eintrag nicht angezeigt")
                             : shown.startsWith("17:50") ? late
                                                         : QString("Keine ungespeicherten Änderungen"));

    // The print-out prints what is on screen.
    const QString printed = p.printed();
    QVERIFY2(printed.contains("08:00 KONT") && printed.contains("Montag"), qPrintable(printed.left(300)));
    QVERIFY(printed.contains("10:00 KONT"));
    if (!shown.isEmpty())
        QVERIFY(printed.contains(shown.left(5) + " " + shown.section(' ', 1)));

    // The unshown row still takes its time in its chair.
    p.choose("KONT");
    if (!refusedAt.isEmpty()) {
        p.ctx.messages.answer(QMessageBox::Ok);
        p.click(1, refusedAt);
        p.expectBox("Termine überlappen!", "Lunaris", QMessageBox::NoIcon);
        QCOMPARE(p.onScreen(1), second);
        QVERIFY(!p.ctx.state.modified());
    }

    // Edited and saved twice: the rows the load could not show are still stored, each once.
    const qsizetype boxes = p.ctx.messages.shown().size();
    p.click(0, "15:00");
    p.action("mnuFileSave")->trigger();
    QVERIFY(!p.ctx.state.modified());
    p.click(0, "16:00");
    p.action("mnuFileSave")->trigger();
    QStringList expected = before;
    expected << "Stuhl 1|KONT|15:00|15:20"
             << "Stuhl 1|KONT|16:00|16:20";
    QCOMPARE(sorted(p.stored("Montag")), sorted(expected));
    QCOMPARE(sorted(p.stored("Anderer")), QStringList{"Stuhl 3|BOGEN|14:00|14:30"});
    QCOMPARE(p.ctx.messages.shown().size(), boxes);
    // Saved: the time of the save comes first ("Gespeichert HH:MM"), the unshown count after it.
    QVERIFY2(status->text().startsWith("Gespeichert "), qPrintable(status->text()));
    QCOMPARE(status->text().mid(QString("Gespeichert HH:MM").size()),
             shown.isEmpty()             ? QString(" – 1 gespeicherter Eintrag nicht angezeigt")
             : shown.startsWith("17:50") ? " – " + late
                                         : QString());
}

void TestBadData::badTreatmentFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("placed");
    QTest::addColumn<int>("dataError"); // of the doctor column's rebuild after placing
    const QVariant null;
    QTest::newRow("duration empty") << "DAUER" << null << false << 0;
    QTest::newRow("duration negative") << "DAUER" << QVariant(-30) << false << 0;
    QTest::newRow("duration past midnight") << "DAUER" << QVariant(2000) << false << 0;
    QTest::newRow("duration beyond 16 bits") << "DAUER" << QVariant(99999) << false << 0;
    QTest::newRow("duration huge") << "DAUER" << QVariant(1e300) << false << 0;
    QTest::newRow("duration text") << "DAUER" << QVariant("dreißig") << false << 0;
    QTest::newRow("duration nan") << "DAUER" << QVariant("nan") << false << 0;
    QTest::newRow("doctor length empty") << "DR_DAUER" << null << true << 94;
    QTest::newRow("doctor length negative") << "DR_DAUER" << QVariant(-20) << true << 0;
    QTest::newRow("doctor length past row 100") << "DR_DAUER" << QVariant(5000) << true << 9;
    QTest::newRow("doctor start before the day") << "DR_START" << QVariant(-600) << true << 0;
    QTest::newRow("doctor start after the day") << "DR_START" << QVariant(2000) << true << 0;
    QTest::newRow("doctor start beyond 16 bits") << "DR_START" << QVariant(99999) << true << 6;
    QTest::newRow("second doctor start empty") << "DR_START2" << null << true << 94;
    QTest::newRow("fee empty") << "HON" << null << true << 94;
    QTest::newRow("fee huge") << "HON" << QVariant(1e300) << true << 6;
    QTest::newRow("fee infinite") << "HON" << QVariant("inf") << true << 13;
    QTest::newRow("fee negative") << "HON" << QVariant(-50) << true << 0;
}

void TestBadData::badTreatmentFields()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(bool, placed);
    QFETCH(int, dataError);
    m_practice = std::make_unique<Practice>();
    Practice& p = *m_practice;
    TempDatabase& db = p.ctx.tempDatabase;
    db.exec("UPDATE Behand SET DAUER = 40 WHERE BEH = 'KONT'");
    db.addTreatment("X", 30, 0, 10, 0, 0, 20);
    db.exec(QString("UPDATE Behand SET %1 = ? WHERE BEH = 'X'").arg(field), {value});
    db.exec("INSERT INTO Behand (BEH) VALUES (NULL)"); // a row with nothing in it
    p.start();
    p.action("mnuFileNew")->trigger();
    p.choose("KONT");
    p.click(0, "08:00");
    QCOMPARE(p.onScreen(0), QStringList{"08:00-08:40 KONT"});

    // A treatment of negative length would end at 08:30, inside the block: still no overlap message.
    p.choose("X");
    if (dataError)
        p.ctx.messages.answer(QMessageBox::Ok);
    p.click(0, "09:00");
    QCOMPARE(p.ctx.messages.shown().size(), dataError ? 1 : 0);
    if (dataError)
        p.expectDataError(dataError);
    QCOMPARE(p.onScreen(0),
             placed ? QStringList({"08:00-08:40 KONT", "09:00-09:30 X"}) : QStringList{"08:00-08:40 KONT"});
    if (!dataError && placed)
        QCOMPARE(p.window->findChild<QLineEdit*>("txtHon")->text(), QString::number(18 + (field == "HON" ? -50 : 20)));

    // The treatment editor opens on the row and shows the field as stored (nothing for an empty one).
    const QMap<QString, int> boxes{{"DAUER", 2}, {"DR_START", 3}, {"DR_DAUER", 4}, {"DR_START2", 5}, {"HON", 7}};
    p.ctx.modals.handleNext([&](QDialog& d) {
        QTest::mouseClick(d.findChild<QAbstractButton*>("cmdNext"), Qt::LeftButton);
        QTest::mouseClick(d.findChild<QAbstractButton*>("cmdNext"), Qt::LeftButton);
        QCOMPARE(d.findChild<QLineEdit*>("txtFields0")->text(), QString("X"));
        const QString box = d.findChild<QLineEdit*>(QString("txtFields%1").arg(boxes.value(field)))->text();
        QCOMPARE(box, value.isNull() ? QString() : value.toString());
        QTest::mouseClick(d.findChild<QAbstractButton*>("cmdNext"), Qt::LeftButton); // the empty row
        QCOMPARE(d.findChild<QLineEdit*>("txtFields0")->text(), QString());
        QTest::mouseClick(d.findChild<QPushButton*>("cmdSchließen"), Qt::LeftButton);
    });
    // Closing the editor rebuilds the doctor column from the table: the same data error again.
    if (dataError && placed)
        p.ctx.messages.answer(QMessageBox::Ok);
    p.action("mnuBeh")->trigger();
    if (dataError && placed) {
        QCOMPARE(p.ctx.messages.shown().size(), 2);
        p.expectDataError(dataError);
    }

    // The print-out prints the day.
    const QString printed = p.printed();
    QVERIFY(printed.contains("08:00 KONT"));
    QCOMPARE(printed.contains("09:00 X"), placed);
}

void TestBadData::oddChairTables_data()
{
    QTest::addColumn<QVariantList>("chairs");
    QTest::addColumn<QStringList>("captions"); // of the chair columns after the load
    QTest::addColumn<QList<QStringList>>("screen");
    QTest::addColumn<int>("dataError");
    QTest::addColumn<QString>("fee");
    QVariantList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.append(QString("Stuhl %1").arg(i));
    QTest::newRow("empty chair name") << QVariantList{"Stuhl 1", QVariant(), "Stuhl 3"}
                                      << QStringList{"Stuhl 1", "", "Stuhl 3"}
                                      << QList<QStringList>{{"08:00-08:20 KONT", "09:00-09:30 BOGEN"}, {}, {}} << 94
                                      << "";
    QTest::newRow("duplicate chair name")
        << QVariantList{"Stuhl 1", "Stuhl 1", "Stuhl 3"} << QStringList{"Stuhl 1", "Stuhl 1", "Stuhl 3"}
        << QList<QStringList>{{"08:00-08:20 KONT", "09:00-09:30 BOGEN"}, {}, {"10:00-10:20 KONT"}} << 0 << "64";
    QTest::newRow("more chairs than columns")
        << twelve << QStringList{"Stuhl 1", "Stuhl 2", "Stuhl 3"}
        << QList<QStringList>{{"08:00-08:20 KONT", "09:00-09:30 BOGEN"}, {}, {"10:00-10:20 KONT"}} << 0 << "64";
}

void TestBadData::oddChairTables()
{
    QFETCH(QVariantList, chairs);
    QFETCH(QStringList, captions);
    QFETCH(QList<QStringList>, screen);
    QFETCH(int, dataError);
    QFETCH(QString, fee);
    m_practice = std::make_unique<Practice>(chairs);
    Practice& p = *m_practice;
    TempDatabase& db = p.ctx.tempDatabase;
    db.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    db.addBlock("Montag", "Stuhl 1", "BOGEN", "09:00", "09:30");
    db.addBlock("Montag", "Stuhl 3", "KONT", "10:00", "10:20");
    if (chairs.size() > 10)
        db.addBlock("Montag", "Stuhl 12", "KONT", "11:00", "11:20"); // a chair without a column
    const QStringList before = sorted(p.stored("Montag"));
    p.start();

    // Opened, edited and saved, twice over: nothing lost, nothing doubled.
    for (int pass = 0; pass < 2; ++pass) {
        p.open("Montag", dataError);
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(p.window->SSDay1(i)->caption(), captions[i]);
        QStringList first = screen[0];
        if (pass == 1)
            first.append("15:00-15:20 KONT");
        QCOMPARE(p.onScreen(0), first);
        for (int i = 1; i < screen.size(); ++i)
            QCOMPARE(p.onScreen(i), screen[i]);
        if (!fee.isEmpty())
            QCOMPARE(p.window->findChild<QLineEdit*>("txtHon")->text(), QString::number(fee.toInt() + pass * 18));
        if (pass == 0) {
            p.choose("KONT");
            p.click(0, "15:00");
        } else {
            p.window->SSDay1(0)->setFirstRow(0);
            QTest::mouseClick(p.window->SSDay1(0), Qt::RightButton, {}, p.window->SSDay1(0)->pointOfRow(0));
            p.click(0, "08:00");
        }
        p.action("mnuFileSave")->trigger();
    }
    QCOMPARE(sorted(p.stored("Montag")), sorted(QStringList(before) << "Stuhl 1|KONT|15:00|15:20"));
    QCOMPARE(p.ctx.messages.shown().size(), dataError ? 2 : 0);
}

void TestBadData::doctorColumnReads_data()
{
    QTest::addColumn<bool>("blockFirst"); // a block is on screen before the treatment table goes
    QTest::addColumn<bool>("tableGone");  // the treatment table cannot be read
    QTest::addColumn<int>("dataError");   // of the rebuild after the last step, 0 for none
    QTest::newRow("table gone, blocks on screen") << true << true << 1;
    QTest::newRow("table gone, day without blocks") << false << true << 0;
    // DR_START empty (94) and DR_DAUER text (13): the start is read first.
    QTest::newRow("two bad fields of one treatment") << false << false << 94;
}

void TestBadData::doctorColumnReads()
{
    QFETCH(bool, blockFirst);
    QFETCH(bool, tableGone);
    QFETCH(int, dataError);
    m_practice = std::make_unique<Practice>();
    Practice& p = *m_practice;
    TempDatabase& db = p.ctx.tempDatabase;
    db.addTreatment("X", 30, QVariant(), "zehn", 0, 0, 20);
    p.start();
    p.action("mnuFileNew")->trigger();
    if (blockFirst) {
        p.choose("KONT");
        p.click(0, "08:00");
        QCOMPARE(p.window->SSDay1(3)->count(), 1);
    }
    if (tableGone)
        db.exec("ALTER TABLE Behand RENAME TO Behand_weg");
    if (dataError)
        p.ctx.messages.answer(QMessageBox::Ok);
    if (tableGone && !blockFirst)
        p.action("mnuFileNew")->trigger(); // a day without blocks: nothing to read, no box
    if (blockFirst)
        p.click(0, "12:00", Qt::RightButton); // rebuilds from the block on screen
    if (!tableGone) {
        p.choose("X");
        p.click(0, "09:00");
        QCOMPARE(p.onScreen(0), QStringList{"09:00-09:30 X"});
    }
    QCOMPARE(p.ctx.messages.shown().size(), dataError ? 1 : 0);
    if (dataError)
        p.expectDataError(dataError);
    // The column is emptied before the treatments are read.
    QCOMPARE(p.window->SSDay1(3)->count(), 0);
}

LUNARIS_TEST_MAIN(TestBadData)
#include "tst_baddata.moc"
