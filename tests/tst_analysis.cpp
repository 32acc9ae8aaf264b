#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "dayview/DayView.h"
#include "dayview/DayViewModel.h"
#include "editing/DayAnalysis.h"
#include "editing/TreatmentColors.h"

#include <QColorDialog>
#include <QDockWidget>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QToolTip>

namespace {
Treatment treatment(const QString& code, int drStart, int drDauer, double hon)
{
    return Treatment{code, QString(), 30, drStart, drDauer, 0, 0, hon};
}

// The day figures, the chairs and the warnings as one text each, so a row states a whole day.
QString dayFigures(const DayAnalysis& a)
{
    return QStringLiteral("fee=%1 perHour=%2 demanded=%3 available=%4 overloaded=%5/%6 peak=%7@%8")
        .arg(double(a.totalFeeCents) / 100, 0, 'f', 2)
        .arg(a.feePerOpeningHour, 0, 'f', 2)
        .arg(a.doctorMinutesDemanded)
        .arg(a.doctorMinutesAvailable)
        .arg(a.overloadedRows)
        .arg(a.overloadMinutes)
        .arg(a.peakMinutes)
        .arg(a.peakTime);
}

QStringList chairFigures(const DayAnalysis& a)
{
    QStringList result;
    for (const ChairFigures& c : a.chairs)
        result.append(QStringLiteral("%1: %2 blocks %3 min %4 % fee %5")
                          .arg(c.chair)
                          .arg(c.blocks)
                          .arg(c.bookedMinutes)
                          .arg(c.utilisation, 0, 'f', 1)
                          .arg(double(c.feeCents) / 100, 0, 'f', 2));
    return result;
}

QStringList warningTexts(const DayAnalysis& a)
{
    QStringList result;
    for (const AnalysisWarning& w : a.warnings)
        result.append(w.text);
    return result;
}
} // namespace

class TestAnalysis : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void panelFollowsTheDay();
    void warningsAreTheDayOnScreens_data();
    void warningsAreTheDayOnScreens();
    void panelPlaceIsKept();
    void startWithPanelAndColoursPaintsCleanly_data();
    void startWithPanelAndColoursPaintsCleanly();
    void coloursPerTreatment();
};

void TestAnalysis::figures_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("close");      // the day opens at 08:00
    QTest::addColumn<QStringList>("blocks"); // "chair|start|end|code"
    QTest::addColumn<QString>("day");
    QTest::addColumn<QStringList>("chairs");
    QTest::addColumn<QStringList>("warnings");

    QStringList fullChair;
    for (int m = 8 * 60; m < 18 * 60; m += 10)
        fullChair.append(QStringLiteral("0|%1:%2|%3:%4|KURZ")
                             .arg(m / 60, 2, 10, QChar('0'))
                             .arg(m % 60, 2, 10, QChar('0'))
                             .arg((m + 10) / 60, 2, 10, QChar('0'))
                             .arg((m + 10) % 60, 2, 10, QChar('0')));

    QTest::newRow("empty day") << 1 << "18:00" << QStringList{}
                               << "fee=0.00 perHour=0.00 demanded=0 available=600 overloaded=0/0 peak=0@"
                               << QStringList{"Stuhl 1: 0 blocks 0 min 0.0 % fee 0.00",
                                              "Stuhl 2: 0 blocks 0 min 0.0 % fee 0.00"}
                               << QStringList{};
    // 60 blocks of 20 each, a doctor window of 5 minutes in every row.
    QTest::newRow("one chair full")
        << 1 << "18:00" << fullChair
        << "fee=1200.00 perHour=120.00 demanded=300 available=600 overloaded=0/0 peak=5@08:00"
        << QStringList{"Stuhl 1: 60 blocks 600 min 100.0 % fee 1200.00", "Stuhl 2: 0 blocks 0 min 0.0 % fee 0.00"}
        << QStringList{};
    // The doctor column's example: 10 + 10 in the 08:10 row, 10 at 08:20, 5 at 08:30.
    QTest::newRow("overload of two chairs, 10-minute rows")
        << 1 << "18:00" << QStringList{"0|08:00|08:30|A", "1|08:10|08:30|B"}
        << "fee=70.00 perHour=7.00 demanded=35 available=600 overloaded=1/10 peak=20@08:10"
        << QStringList{"Stuhl 1: 1 blocks 30 min 5.0 % fee 45.00", "Stuhl 2: 1 blocks 20 min 3.3 % fee 25.00"}
        << QStringList{};
    // 15-minute rows: A's window of 25 from 08:15 fills 08:15 and puts 10 into 08:30; B adds 10 at 08:30.
    QTest::newRow("15-minute rows") << 2 << "12:00" << QStringList{"0|08:05|08:35|A", "1|08:30|08:50|B"}
                                    << "fee=70.00 perHour=17.50 demanded=35 available=240 overloaded=1/5 peak=20@08:30"
                                    << QStringList{"Stuhl 1: 1 blocks 30 min 12.5 % fee 45.00",
                                                   "Stuhl 2: 1 blocks 20 min 8.3 % fee 25.00"}
                                    << QStringList{};
    QTest::newRow("a block past the closing time")
        << 1 << "12:00" << QStringList{"1|11:40|12:20|B"}
        << "fee=25.00 perHour=6.25 demanded=10 available=240 overloaded=0/0 peak=10@11:40"
        << QStringList{"Stuhl 1: 0 blocks 0 min 0.0 % fee 0.00", "Stuhl 2: 1 blocks 20 min 8.3 % fee 25.00"}
        << QStringList{"Stuhl 2, 11:40: „B“ endet um 12:20, nach der Schließzeit."};
    // Stored blocks may overlap (another program wrote them): their common time is booked once.
    QTest::newRow("overlapping stored blocks count their time once")
        << 1 << "12:00" << QStringList{"0|08:00|12:00|B", "0|09:00|10:00|B", "0|11:30|12:30|B"}
        << "fee=75.00 perHour=18.75 demanded=30 available=240 overloaded=0/0 peak=10@08:00"
        << QStringList{"Stuhl 1: 3 blocks 240 min 100.0 % fee 75.00", "Stuhl 2: 0 blocks 0 min 0.0 % fee 0.00"}
        << QStringList{"Stuhl 1, 11:30: „B“ endet um 12:30, nach der Schließzeit."};
    QTest::newRow("a treatment no longer in the table counts nothing")
        << 1 << "18:00" << QStringList{"0|09:00|09:30|WEG", "1|08:10|08:30|B"}
        << "fee=25.00 perHour=2.50 demanded=10 available=600 overloaded=0/0 peak=10@08:10"
        << QStringList{"Stuhl 1: 1 blocks 30 min 5.0 % fee 0.00", "Stuhl 2: 1 blocks 20 min 3.3 % fee 25.00"}
        << QStringList{"Stuhl 1, 09:00: Die Behandlung „WEG“ gibt es nicht mehr; sie zählt weder Honorar noch "
                       "Arztzeit."};
}

void TestAnalysis::figures()
{
    QFETCH(int, slot);
    QFETCH(QString, close);
    QFETCH(QStringList, blocks);
    QFETCH(QString, day);
    QFETCH(QStringList, chairs);
    QFETCH(QStringList, warnings);

    // A: a window of 25 minutes 10 after the start, fee 45; B: 10 minutes at the start, fee 25.
    const QHash<QString, Treatment> treatments =
        DoctorColumn::byCode({treatment("A", 10, 25, 45), treatment("B", 0, 10, 25), treatment("KURZ", 0, 5, 20)});
    DayViewModel columns[2];
    for (int c = 0; c < 2; ++c) {
        columns[c].setSlotSize(slot);
        columns[c].setDayEnd(close);
        columns[c].setDayStart("08:00");
        columns[c].setCaption(QStringLiteral("Stuhl %1").arg(c + 1));
    }
    for (const QString& b : blocks) {
        const QStringList f = b.split('|');
        columns[f[0].toInt()].add(f[1], f[2], f[3], Qt::green);
    }
    const QList<const DayViewModel*> chairList{&columns[0], &columns[1]};
    const DayAnalysis a =
        DayAnalysis::of(chairList, DayHours{"08:00", close, slot}, DoctorColumn::lookupIn(treatments));

    QCOMPARE(dayFigures(a), day);
    QCOMPARE(chairFigures(a), chairs);
    QCOMPARE(warningTexts(a), warnings);
    QVERIFY(a.failure.isEmpty());
    // The total is the doctor column's.
    DayViewModel doctor = columns[0];
    QCOMPARE(DoctorColumn::wholeUnits(a.totalFeeCents), DoctorColumn::rebuild(chairList, doctor, treatments));
    QCOMPARE(a.demand.size(), doctor.rowCount());
}

void TestAnalysis::panelFollowsTheDay()
{
    MainWindowFixture f(3);
    f.ctx.tempDatabase.addTreatment("ERST", 30, 0, 20, 0, 0, 45);
    f.ctx.tempDatabase.addTreatment("BEFU", 20, 0, 10, 0, 0, 62.5);
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "ERST", "08:00", "08:30");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 2", "BEFU", "08:00", "08:20");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 2", "ERST", "07:00", "07:30"); // before the opening: not shown
    f.ctx.tempDatabase.addDayName("Montag");
    f.start();

    QAction* toggle = f.action("mnuViewAnalysis");
    QCOMPARE(toggle->text(), QString("&Auswertung"));
    QVERIFY(toggle->isCheckable());
    QVERIFY(!toggle->isChecked());
    auto* dock = f.window->findChild<QDockWidget*>("dockAuswertung");
    QVERIFY(dock && dock->isHidden());
    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QVERIFY(!dock->isHidden());

    auto* total = f.window->findChild<QLabel*>("lblHonorarGesamt");
    auto* overloaded = f.window->findChild<QLabel*>("lblUeberlasteteZeilen");
    auto* table = f.window->findChild<QTableWidget*>("tblStuehle");
    auto* warnings = f.window->findChild<QListWidget*>("lstWarnungen");
    auto* fee = f.window->findChild<QLineEdit*>("txtHon");

    f.newDay();
    f.choose("ERST");
    f.click(0, "09:00");
    QCOMPARE(total->text(), QString("45,00 €"));
    QCOMPARE(fee->text(), QString("45"));
    QCOMPARE(total->accessibleName(), QString("Honorar gesamt: 45,00 €"));
    QCOMPARE(table->item(0, 3)->text(), QString("5,0 %"));
    f.choose("BEFU");
    f.click(1, "09:10");
    // The panel shows the exact sum; the box rounds it once, commercially.
    QCOMPARE(total->text(), QString("107,50 €"));
    QCOMPARE(fee->text(), QString("108"));
    QCOMPARE(table->item(1, 4)->text(), QString("62,50 €"));
    QCOMPARE(overloaded->text(), QString("1"));
    QCOMPARE(table->item(1, 2)->text(), QString("20"));
    QCOMPARE(table->item(1, 3)->text(), QString("3,3 %"));
    QCOMPARE(table->item(1, 3)->data(Qt::AccessibleTextRole).toString(), QString("Stuhl 2 Auslastung: 3,3 %"));
    // One more 45,00 adds 45 to the box, also on a half (halves to the even neighbour would show 152).
    f.choose("ERST");
    f.click(2, "10:00");
    QCOMPARE(total->text(), QString("152,50 €"));
    QCOMPARE(fee->text(), QString("153"));
    f.click(2, "10:00", Qt::RightButton);
    f.click(1, "09:10", Qt::RightButton);
    QCOMPARE(total->text(), QString("45,00 €"));
    QCOMPARE(overloaded->text(), QString("0"));
    QCOMPARE(warnings->item(0)->text(), QString("Keine Warnungen."));

    // Opening a stored day: its figures, and the row no column could show among the warnings.
    f.ctx.messages.answer(QMessageBox::No); // the edits above are not saved
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    compareBox(f.ctx.messages.last(), "Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(f.onScreen(1), QStringList{"08:00-08:20 BEFU"});
    QCOMPARE(total->text(), QString("107,50 €"));
    QCOMPARE(fee->text(), QString("108"));
    QCOMPARE(table->item(0, 1)->text(), QString("1"));
    QCOMPARE(overloaded->text(), QString("1"));
    QCOMPARE(warnings->item(0)->text(),
             QString("Stuhl 2, 07:00: Der gespeicherte Eintrag „ERST“ kann nicht angezeigt werden."));
    // Columns and figures are sized only when a text grows; every text still fits whole.
    QStyleOptionViewItem cell;
    cell.initFrom(table);
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column) {
            const QModelIndex index = table->model()->index(row, column);
            QVERIFY2(table->columnWidth(column) >= table->itemDelegate()->sizeHint(cell, index).width(),
                     qPrintable(index.data().toString()));
        }
    for (QLabel* figure : {total, overloaded})
        QVERIFY2(figure->width() >= figure->sizeHint().width(), qPrintable(figure->objectName()));
    f.expectNothingPending();
}

void TestAnalysis::warningsAreTheDayOnScreens_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("warning"); // the panel's first warning afterwards
    QTest::newRow("Save As under a new name") << "save as"
                                              << "Keine Warnungen.";
    QTest::newRow("Open of a day without warnings") << "open"
                                                    << "Keine Warnungen.";
    QTest::newRow("a failed load names the day's rows") << "failed open"
                                                        << "Der Idealtag konnte nicht gelesen werden (Fehler ";
}

void TestAnalysis::warningsAreTheDayOnScreens()
{
    QFETCH(QString, step);
    QFETCH(QString, warning);
    MainWindowFixture f(2);
    f.ctx.tempDatabase.addTreatment("ERST", 30, 0, 20, 0, 0, 45);
    f.ctx.tempDatabase.addDayName("Montag");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "ERST", "08:00", "08:30");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 2", "ERST", "07:00", "07:30"); // before the opening: not shown
    f.ctx.tempDatabase.addDayName("Dienstag");
    f.ctx.tempDatabase.addBlock("Dienstag", "Stuhl 1", "ERST", "09:00", "09:30");
    f.start();
    f.action("mnuViewAnalysis")->trigger();
    auto* warnings = f.window->findChild<QListWidget*>("lstWarnungen");
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    QCOMPARE(warnings->item(0)->text(),
             QString("Stuhl 2, 07:00: Der gespeicherte Eintrag „ERST“ kann nicht angezeigt werden."));

    if (step == "save as") {
        f.ctx.modals.handleNext(saveAs("Mittwoch"));
        f.action("mnuFileSaveAs")->trigger();
        QCOMPARE(f.stored("Mittwoch"), QStringList{"Stuhl 1|ERST|08:00|08:30"});
    } else {
        if (step == "failed open") {
            f.ctx.tempDatabase.exec("ALTER TABLE Template RENAME TO Vorlage");
            f.ctx.messages.answer(QMessageBox::Ok);
        }
        f.ctx.modals.handleNext(openName("Dienstag"));
        f.action("mnuFileOpen")->trigger();
    }
    QVERIFY2(warnings->item(0)->text().startsWith(warning), qPrintable(warnings->item(0)->text()));
    QCOMPARE(warnings->count(), 1);
    if (step == "failed open")
        QVERIFY(f.ctx.messages.last().text.endsWith(" Fehler: Bitte Öffnungszeit und Datenbank überprüfen"));
    f.expectNothingPending();
}

void TestAnalysis::panelPlaceIsKept()
{
    MainWindowFixture f(2);
    f.start();
    auto* dock = f.window->findChild<QDockWidget*>("dockAuswertung");
    f.action("mnuViewAnalysis")->trigger();
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "AuswertungSichtbar"), QString("1"));
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "AuswertungOrt"), QString("unten"));
    // The columns make room for the panel: they end above it, and beside it.
    QApplication::processEvents();
    for (int i = 0; i <= 2; ++i)
        QVERIFY(f.window->SSDay1(i)->geometry().bottom() < f.window->centralWidget()->height());
    f.window->addDockWidget(Qt::RightDockWidgetArea, dock);
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "AuswertungOrt"), QString("rechts"));
    QApplication::processEvents();
    QVERIFY(f.window->SSDay1(2)->geometry().right() < f.window->centralWidget()->width());

    f.window.reset();
    f.start();
    dock = f.window->findChild<QDockWidget*>("dockAuswertung");
    QVERIFY(!dock->isHidden());
    QVERIFY(f.action("mnuViewAnalysis")->isChecked());
    QCOMPARE(f.window->dockWidgetArea(dock), Qt::RightDockWidgetArea);

    // The panel's close box hides it for the next start too.
    dock->close();
    QVERIFY(!f.action("mnuViewAnalysis")->isChecked());
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "AuswertungSichtbar"), QString("0"));
    f.window.reset();
    f.start();
    QVERIFY(f.window->findChild<QDockWidget*>("dockAuswertung")->isHidden());
}

void TestAnalysis::startWithPanelAndColoursPaintsCleanly_data()
{
    QTest::addColumn<QSize>("size"); // of the window at the start
    QTest::newRow("the default size") << QSize();
    QTest::newRow("columns without height") << QSize(400, 120);
    QTest::newRow("columns without width") << QSize(60, 500);
}

void TestAnalysis::startWithPanelAndColoursPaintsCleanly()
{
    QFETCH(QSize, size);
    // A painter begun on a picture of no size warns at every step of a frame.
    QTest::failOnWarning(QRegularExpression("QPainter|Painter not active"));
    MainWindowFixture f(3, size);
    f.ctx.tempSettings.write("Lunaris", "Settings", "AuswertungSichtbar", "1");
    f.ctx.tempSettings.write("Lunaris", "Settings", "FarbenJeBehandlung", "1");
    f.ctx.tempSettings.write("Kavemo", "Praxis", "Slot", "1");
    f.ctx.tempDatabase.addTreatment("ERST", 30, 0, 20, 0, 0, 45);
    f.ctx.tempDatabase.addTreatment("BEFU", 20, 0, 10, 0, 0, 62.5);
    f.start();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.newDay();
    f.place(0, "08:00", "08:30", "ERST");
    f.place(1, "08:10", "08:30", "BEFU");
    QApplication::processEvents();
    f.window->resize(size.isValid() ? QSize(900, 700) : QSize(200, 90));
    QApplication::processEvents();
    QVERIFY(f.window->findChild<QDockWidget*>("dockAuswertung")->isVisible());
}

namespace {
// The colour inside a row of a column, right of the time gutter and below the block's text.
QColor colourAt(DayView& view, const QString& time)
{
    const QPoint p = view.pointOfRow(view.rowOfTime(time));
    return view.grab().toImage().pixelColor(p.x() + view.width() / 5, p.y());
}
} // namespace

void TestAnalysis::coloursPerTreatment()
{
    MainWindowFixture f(2);
    f.ctx.tempDatabase.addTreatment("ERST", 30, 0, 20, 0, 0, 45);
    f.ctx.tempDatabase.addTreatment("BEFU", 30, 0, 10, 0, 0, 60);
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "ERST", "08:00", "08:30");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "WEG", "09:00", "09:30");
    f.ctx.tempDatabase.addBlock("Montag", "Stuhl 2", "BEFU", "08:00", "08:30");
    f.ctx.tempDatabase.addDayName("Montag");
    f.start();

    // The colour is chosen in the treatment editor, for the code of the current record.
    QAction* colours = f.action("mnuViewColors");
    QCOMPARE(colours->text(), QString("&Farben je Behandlung"));
    QVERIFY(!colours->isChecked());
    f.ctx.modals.handleNext([&](QDialog& editor) {
        QCOMPARE(editor.findChild<QLineEdit*>("txtFields0")->text(), QString("ERST"));
        f.ctx.modals.handleNext([](QDialog& d) {
            auto* dialog = qobject_cast<QColorDialog*>(&d);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QString("Farbe für „ERST“"));
            dialog->setCurrentColor(QColor("#203080"));
            d.accept();
        });
        QTest::mouseClick(editor.findChild<QPushButton*>("cmdFarbe"), Qt::LeftButton);
        editor.reject();
    });
    f.action("mnuBeh")->trigger();
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Farben", "ERST"), QString("#203080"));

    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    DayView* chair1 = f.window->SSDay1(0);
    DayView* chair2 = f.window->SSDay1(1);
    // Unticked: the specified green; a treatment no longer in the table is hatched grey either way.
    QCOMPARE(colourAt(*chair1, "08:10"), QColor(0, 255, 0));
    QCOMPARE(colourAt(*chair2, "08:10"), QColor(0, 255, 0));
    const QList<QColor> hatched{QColor(210, 210, 210), QColor(120, 120, 120)};
    QVERIFY(hatched.contains(colourAt(*chair1, "09:10")));

    colours->trigger();
    QVERIFY(colours->isChecked());
    QCOMPARE(f.ctx.tempSettings.read("Lunaris", "Settings", "FarbenJeBehandlung"), QString("1"));
    QCOMPARE(colourAt(*chair1, "08:10"), QColor("#203080"));
    QCOMPARE(colourAt(*chair2, "08:10"), QColor(0, 255, 0)); // no colour chosen for BEFU
    QVERIFY(hatched.contains(colourAt(*chair1, "09:10")));
    QCOMPARE(TreatmentColors::textColorOn(QColor("#203080")), QColor(Qt::white));
    QCOMPARE(TreatmentColors::textColorOn(QColor(0, 255, 0)), QColor(Qt::black));

    // The hatched block says why.
    const QPoint p = chair1->pointOfRow(chair1->rowOfTime("09:10"));
    QHelpEvent help(QEvent::ToolTip, p, chair1->mapToGlobal(p));
    QApplication::sendEvent(chair1, &help);
    QCOMPARE(QToolTip::text(), QString("Die Behandlung „WEG“ gibt es nicht mehr."));

    // The panel's legend lists the day's coloured treatments.
    f.action("mnuViewAnalysis")->trigger();
    auto* legend = f.window->findChild<QListWidget*>("lstLegende");
    QVERIFY(!legend->isHidden());
    QCOMPARE(legend->count(), 1);
    QCOMPARE(legend->item(0)->text(), QString("ERST"));
    colours->trigger();
    QVERIFY(legend->isHidden());
    f.expectNothingPending();
}

LUNARIS_TEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
