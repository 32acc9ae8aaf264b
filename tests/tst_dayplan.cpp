#include "PdfOutput.h"
#include "StoredDay.h"
#include "TestContext.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "dayview/ClockTime.h"
#include "editing/DoctorColumn.h"
#include "print/DayPlanData.h"
#include "print/DayPlanLayout.h"
#include "print/PdfExport.h"
#include "print/PrintPreview.h"
#include "print/TemplatePrintout.h"
#include "store/Tables.h"

#include <QComboBox>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>

namespace {
constexpr double Tolerance = 0.6;                   // mm
constexpr int Dpi = 300;                            // of the page images
const QMarginsF PrinterMargins(6.5, 4.5, 5.5, 7.5); // mm, as a real printer's unprintable edge

// The demo practice's day as the main window shows it, with the doctor column it computes.
struct DemoDay {
    DemoDay(TestContext& context, int slot, const QString& open, const QString& close)
    {
        runSqlScript(context.tempDatabase.database(), TestPaths::sourceFile(QStringLiteral("resources/demo/demo.sql")));
        day = std::make_unique<StoredDay>(context.tempDatabase.database(), "Montag Standard", slot, open, close);
        const QList<const DayViewModel*> all = day->columns();
        fee = DoctorColumn::rebuild(all.mid(0, all.size() - 1), day->doctorColumn(),
                                    DoctorColumn::byCode(TreatmentTable(context.tempDatabase.database()).all()));
    }
    std::unique_ptr<StoredDay> day;
    qint64 fee = 0;
};

double toPixels(double millimetres)
{
    return millimetres * Dpi / 25.4;
}

// The words on one line of the page, in this order, starting with the first one.
bool hasLine(const PdfPage& page, const QStringList& words)
{
    for (qsizetype i = 0; i + words.size() <= page.words.size(); ++i) {
        bool all = true;
        for (qsizetype k = 0; k < words.size() && all; ++k) {
            const PdfWord& word = page.words[i + k];
            all = word.text == words[k] && qAbs(word.yMin - page.words[i].yMin) < Tolerance;
        }
        if (all)
            return true;
    }
    return false;
}

// Darkest grey (0 black, 255 white) on the column x between the heights y1 and y2 (mm).
int darkest(const QImage& image, double x, double y1, double y2)
{
    int value = 255;
    for (int y = int(toPixels(y1)); y <= int(toPixels(y2)); ++y)
        value = std::min(value, qGray(image.pixel(int(toPixels(x)), y)));
    return value;
}

// Share of an area (mm) that a printer without grey prints black: what is darker than middle grey.
double blackShare(const QImage& image, const QRectF& area)
{
    const QRect pixels(QPoint(int(toPixels(area.left())), int(toPixels(area.top()))),
                       QPoint(int(toPixels(area.right())), int(toPixels(area.bottom()))));
    int black = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            black += qGray(image.pixel(x, y)) < 128;
    return double(black) / (pixels.width() * pixels.height());
}

QRectF landscapeArea(const QPrinter& printer)
{
    QPageLayout layout = printer.pageLayout();
    layout.setOrientation(QPageLayout::Landscape);
    return layout.paintRect(QPageLayout::Millimeter);
}

DayPlanData plan(const QList<const DayViewModel*>& columns)
{
    DayPlanData data;
    data.columns = columns;
    return data;
}

PlanMetrics metrics(double pageHeight)
{
    return PlanMetrics{277, pageHeight, 6, 4, 3};
}
} // namespace

class TestDayPlan : public QObject {
    Q_OBJECT
private slots:
    void dayPlanOnPaper_data();
    void dayPlanOnPaper();
    void previewChoosesThePrintout_data();
    void previewChoosesThePrintout();
    void pagesSplitByTime_data();
    void pagesSplitByTime();
    void overlappingBlocksSideBySide();
    void headerFromTheStore_data();
    void headerFromTheStore();
};

void TestDayPlan::dayPlanOnPaper_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("practice");
    QTest::addColumn<QString>("dayName");
    QTest::addColumn<int>("pages");
    QTest::newRow("15-minute rows on one page") << 2 << "18:00"
                                                << "Praxis Dr. Weiß"
                                                << "Montag Standard" << 1;
    QTest::newRow("10-minute rows on two pages") << 1 << "18:00"
                                                 << "Praxis Dr. Weiß"
                                                 << "Montag Standard" << 2;
    QTest::newRow("unnamed day, no practice name") << 2 << "12:00"
                                                   << ""
                                                   << "" << 1;
}

// The printed day plan read back from the PDF: header and footer on every page, each treatment's box
// from its start row to its end row in its chair's column, overloaded doctor rows dark in black and white.
void TestDayPlan::dayPlanOnPaper()
{
    QFETCH(int, slot);
    QFETCH(QString, close);
    QFETCH(QString, practice);
    QFETCH(QString, dayName);
    QFETCH(int, pages);
    TestContext context;
    context.tempSettings.write("Lunaris", "Printer", "Darstellung", "Tagesplan");
    if (!practice.isEmpty())
        context.tempSettings.write("Lunaris", "Praxis", "Name", practice);
    DemoDay demo(context, slot, "08:00", close);
    QTemporaryDir dir;
    const QString file = dir.filePath("tagesplan.pdf");
    PdfFilePrinters printers(file);
    printers.defaultPrinter()->setPageMargins(PrinterMargins, QPageLayout::Millimeter);
    TemplatePrintout(context.services, printers).print(nullptr, dayName, demo.day->columns());
    QCOMPARE(context.messages.shown().size(), 0);

    const QList<PdfPage> pdf = pdfWords(file);
    QCOMPARE(pdf.size(), pages);
    const QRectF area = landscapeArea(*printers.defaultPrinter());
    const QList<const DayViewModel*> columns = demo.day->columns();
    const int chairs = int(columns.size()) - 1;
    const double chairWidth = (area.width() - DayPlanLayout::TimeWidth - DayPlanLayout::DoctorWidth) / chairs;
    const auto columnLeft = [&](int c) { return area.left() + DayPlanLayout::TimeWidth + c * chairWidth; };
    const QString today = QDate::currentDate().toString("dd.MM.yyyy");

    // Each row's time stands at the left of its row: where the rows lie on each page.
    QList<QMap<QString, double>> rowLabels(pages);
    QList<double> rowHeights(pages);
    for (int p = 0; p < pages; ++p) {
        const PdfPage& page = pdf[p];
        QVERIFY(page.width > page.height);
        QVERIFY2(hasLine(page, {"Seite", QString::number(p + 1), "von", QString::number(pages)}), qPrintable(today));
        QVERIFY(hasLine(page, {"Honorar:", QString::number(demo.fee), "€"}));
        QVERIFY(hasLine(page, {"Gedruckt", "am", today}));
        QVERIFY(hasLine(page, dayName.isEmpty() ? QStringList{"Idealtag", "ohne", "Namen"} : dayName.split(' ')));
        if (!practice.isEmpty())
            QVERIFY(hasLine(page, practice.split(' ')));
        for (const DayViewModel* column : columns)
            QVERIFY2(hasLine(page, column->caption().split(' ')), qPrintable(column->caption()));
        for (const PdfWord& word : page.words)
            if (word.xMax < area.left() + DayPlanLayout::TimeWidth && ClockTime::isValid(word.text))
                rowLabels[p].insert(word.text, word.yMin);
        QVERIFY(rowLabels[p].size() > 1);
        const QList<double> tops = rowLabels[p].values();
        rowHeights[p] = (tops.last() - tops.first()) / (tops.size() - 1);
    }
    // The day's rows, each on one page only.
    int rowsPrinted = 0;
    for (const auto& labels : rowLabels)
        rowsPrinted += int(labels.size());
    QCOMPARE(rowsPrinted, columns.first()->rowCount());

    QList<QImage> gray;
    for (int p = 0; p < pages; ++p) {
        gray.append(pdfPageImage(file, p + 1, Dpi));
        QVERIFY(!gray.last().isNull());
    }
    int boxes = 0;
    for (int c = 0; c < chairs; ++c)
        for (const DayBlock& block : columns[c]->blocks()) {
            // The row the block starts in (a block may start between two row times).
            const int slotMinutes = columns[c]->slotMinutes();
            const int dayStart = *ClockTime::minutesOf(columns[c]->dayStart());
            const int start = *ClockTime::minutesOf(block.startTime);
            const int rowStart = dayStart + (start - dayStart) / slotMinutes * slotMinutes;
            const QString rowTime = ClockTime::fromMinutes(rowStart);
            int p = 0;
            while (p < pages && !rowLabels[p].contains(rowTime))
                ++p;
            QVERIFY2(p < pages, qPrintable(rowTime));
            const double top = rowLabels[p][rowTime] - DayPlanLayout::TextInset +
                               double(start - rowStart) / slotMinutes * rowHeights[p];
            // The code at the top of the box, level with its start, in its chair's column.
            const auto code = std::find_if(pdf[p].words.begin(), pdf[p].words.end(), [&](const PdfWord& w) {
                return w.text == block.text && w.xMin > columnLeft(c) && w.xMax < columnLeft(c + 1) &&
                       qAbs(w.yMin - top - DayPlanLayout::TextInset) < Tolerance;
            });
            QVERIFY2(code != pdf[p].words.end(), qPrintable(block.text + " " + block.startTime));
            // The box: framed at its start and at its end, filled in between.
            const double rows = double(*ClockTime::minutesOf(block.endTime) - start) / slotMinutes;
            const double bottom = top + std::max(1.0, rows) * rowHeights[p];
            // Between the box's left frame and its text (overlapping blocks stand side by side).
            const double x = code->xMin - DayPlanLayout::TextIndent / 2;
            QVERIFY2(darkest(gray[p], x, top - 0.4, top + 0.4) < 100, qPrintable(block.text + " top"));
            QVERIFY2(darkest(gray[p], x, bottom - 0.4, bottom + 0.4) < 100, qPrintable(block.text + " bottom"));
            for (double y = top + 0.6; y < bottom - 0.6; y += 0.3)
                QVERIFY2(darkest(gray[p], x, y, y) > 200, qPrintable(block.text + " inside"));
            ++boxes;
        }
    QVERIFY(boxes > 5);

    // Overloaded doctor rows are hatched in black, so they stand out in black and white too.
    int overloaded = 0;
    int normal = 0;
    for (const DayBlock& demand : columns.last()->blocks()) {
        int p = 0;
        while (p < pages && !rowLabels[p].contains(demand.startTime))
            ++p;
        QVERIFY(p < pages);
        const double top = rowLabels[p][demand.startTime] - DayPlanLayout::TextInset;
        const QRectF cell(columnLeft(chairs) + 1, top + 0.6, DayPlanLayout::DoctorWidth - 2, rowHeights[p] - 1.2);
        const double share = blackShare(gray[p], cell);
        if (demand.color == DoctorColumn::Red) {
            QVERIFY2(share > 0.2, qPrintable(demand.startTime + QString(" %1").arg(share)));
            ++overloaded;
        } else {
            QVERIFY2(share < 0.12, qPrintable(demand.startTime + QString(" %1").arg(share)));
            ++normal;
        }
    }
    QVERIFY(overloaded > 0 && normal > 0);
}

void TestDayPlan::previewChoosesThePrintout_data()
{
    QTest::addColumn<QString>("stored"); // Printer/Darstellung; empty: nothing stored
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("kept");
    QTest::newRow("nothing stored: the list, the plan chosen") << ""
                                                               << "Liste (wie bisher)"
                                                               << "Tagesplan"
                                                               << "Tagesplan";
    QTest::newRow("the plan stored, the list chosen") << "Tagesplan"
                                                      << "Tagesplan"
                                                      << "Liste (wie bisher)"
                                                      << "Liste";
}

// The preview shows the stored choice, and what is chosen there is what it prints and what the PDF
// export and the print command make from then on.
void TestDayPlan::previewChoosesThePrintout()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, chosen);
    QFETCH(QString, kept);
    TestContext context;
    if (!stored.isEmpty())
        context.tempSettings.write("Lunaris", "Printer", "Darstellung", stored);
    DemoDay demo(context, 1, "08:00", "18:00");
    QTemporaryDir dir;
    const QString previewed = dir.filePath("preview.pdf");
    QString before;
    QString accessibleName;
    QString labelText;
    context.modals.handleNext([&](QDialog& d) {
        auto* preview = d.findChild<QPrintPreviewWidget*>();
        auto* choice = d.findChild<QComboBox*>("cboDarstellung");
        QVERIFY(preview && choice);
        before = choice->currentText();
        accessibleName = choice->accessibleName();
        for (const QLabel* label : d.findChildren<QLabel*>())
            if (label->buddy() == choice)
                labelText = label->text();
        choice->setCurrentIndex(choice->findText(chosen));
        auto* dialog = static_cast<QPrintPreviewDialog*>(&d);
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(previewed);
        preview->print();
        d.reject();
    });
    // The machine's own default printer (one that a package or another test set up meanwhile, in Letter say)
    // would give other pages than the export's A4.
    NoDefaultPrinter noPrinter;
    PrintPreview(context.services, &noPrinter).show(nullptr, "Montag Standard", demo.day->columns());
    QCOMPARE(context.modals.shownDialogs(), QStringList{"frmSeitenansicht"});
    QCOMPARE(context.messages.shown().size(), 0);
    QCOMPARE(before, shown);
    QCOMPARE(accessibleName, QString("Darstellung"));
    QCOMPARE(labelText, QString("&Darstellung:"));
    QCOMPARE(context.tempSettings.read("Lunaris", "Printer", "Darstellung"), kept);

    // The PDF export, made after the choice, gives the pages the preview printed.
    const QString exported = dir.filePath("export.pdf");
    QVERIFY(PdfExport(context.services).write(exported, "Montag Standard", demo.day->columns()));
    const QList<PdfPage> a = pdfWords(previewed);
    QVERIFY(samePages(a, pdfWords(exported)));
    const bool planPrinted = hasLine(a.first(), {"Seite", "1", "von", QString::number(a.size())});
    QCOMPARE(planPrinted, kept == "Tagesplan");
}

void TestDayPlan::pagesSplitByTime_data()
{
    // A page of height h has 21.7 mm of header and footer with these metrics.
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("close");
    QTest::addColumn<double>("pageHeight");
    QTest::addColumn<QList<int>>("breaks"); // the first row of each page, then the end
    QTest::newRow("40 rows fit one page") << 2 << "08:00"
                                          << "18:00" << 200.0 << QList<int>{0, 40};
    QTest::newRow("60 rows: two even pages, cut at 13:00") << 1 << "08:00"
                                                           << "18:00" << 200.0 << QList<int>{0, 30, 60};
    QTest::newRow("opening at 07:30: cut at the full hour nearest half") << 1 << "07:30"
                                                                         << "18:00" << 200.0 << QList<int>{0, 33, 63};
    QTest::newRow("no full hour within a page: cut where it is full") << 1 << "08:00"
                                                                      << "09:00" << 41.7 << QList<int>{0, 5, 6};
    QTest::newRow("a page lower than a row: one row a page") << 2 << "08:00"
                                                             << "09:00" << 22.0 << QList<int>{0, 1, 2, 3, 4};
}

void TestDayPlan::pagesSplitByTime()
{
    QFETCH(int, slot);
    QFETCH(QString, open);
    QFETCH(QString, close);
    QFETCH(double, pageHeight);
    QFETCH(QList<int>, breaks);
    DayViewModel chair;
    DayViewModel doctor;
    for (DayViewModel* column : {&chair, &doctor}) {
        column->setSlotSize(slot);
        column->setDayEnd(close);
        column->setDayStart(open);
    }
    const DayPlanLayout layout(plan({&chair, &doctor}), metrics(pageHeight));
    QList<int> found;
    for (const PlanPage& page : layout.pages())
        found.append(page.firstRow);
    found.append(layout.pages().last().endRow);
    QCOMPARE(found, breaks);
    // Every page's rows end above its footer.
    for (const PlanPage& page : layout.pages())
        QVERIFY(layout.bodyTop() + (page.endRow - page.firstRow) * layout.rowHeight() <= pageHeight - 3 + 1e-9);
    QVERIFY(layout.rowHeight() <= DayPlanLayout::MaxRowHeight);
}

// Blocks of one chair that overlap share its column side by side; a block running past closing time
// ends at the last row.
void TestDayPlan::overlappingBlocksSideBySide()
{
    DayViewModel chair;
    DayViewModel doctor;
    for (const auto& [start, end] :
         {std::pair{"08:00", "09:00"}, {"08:20", "08:40"}, {"08:40", "09:00"}, {"17:30", "18:30"}})
        chair.add(start, end, "BRAC", Qt::green);
    const DayPlanLayout layout(plan({&chair, &doctor}), metrics(400));
    QCOMPARE(layout.pages().size(), 1);
    const QList<PlanBox> boxes = layout.pages().first().boxes;
    QCOMPARE(boxes.size(), 4);
    const double full = 277 - DayPlanLayout::TimeWidth - DayPlanLayout::DoctorWidth - DayPlanLayout::TextInset;
    const double half =
        277 / 2.0 - (DayPlanLayout::TimeWidth + DayPlanLayout::DoctorWidth) / 2 - DayPlanLayout::TextInset;
    for (int i = 0; i < 3; ++i)
        QVERIFY(qAbs(boxes[i].rect.width() - half) < 1e-6);
    QVERIFY(qAbs(boxes[3].rect.width() - full) < 1e-6);
    for (int i = 0; i < boxes.size(); ++i)
        for (int k = i + 1; k < boxes.size(); ++k)
            QVERIFY(!boxes[i].rect.intersects(boxes[k].rect));
    QCOMPARE(boxes[3].rect.bottom(), layout.bodyTop() + chair.rowCount() * layout.rowHeight());
}

void TestDayPlan::headerFromTheStore_data()
{
    QTest::addColumn<QString>("hon"); // of ERST; empty: as in the demo practice
    QTest::addColumn<QString>("fee");
    QTest::newRow("the demo practice") << ""
                                       << "Honorar: 893 €";
    // A sum no fee box shows exactly is no fee: the plan says so instead of printing a wrong one.
    QTest::newRow("a fee beyond exact sums") << "1e17"
                                             << "Honorar: –";
}

void TestDayPlan::headerFromTheStore()
{
    QFETCH(QString, hon);
    QFETCH(QString, fee);
    TestContext context;
    context.tempSettings.write("Lunaris", "Praxis", "Name", "Praxis am Markt");
    DemoDay demo(context, 1, "08:00", "18:00");
    if (!hon.isEmpty())
        context.tempDatabase.exec("UPDATE Behand SET HON = ? WHERE BEH = 'ERST'", {hon.toDouble()});
    const DayPlanData data =
        DayPlanData::gather(context.tempDatabase.database(), context.settings, "Montag Standard", demo.day->columns());
    QCOMPARE(data.treatmentTexts.value("BRAC"), QString("Brackets eingliedern"));
    const DayPlanLayout layout(data, metrics(200));
    QStringList header;
    for (const PlanText& text : layout.pages().first().texts)
        header.append(text.text);
    QVERIFY(header.contains("Praxis am Markt"));
    QVERIFY2(header.contains(fee), qPrintable(header.join('|')));
}

LUNARIS_TEST_MAIN(TestDayPlan)
#include "tst_dayplan.moc"
