#include "MainWindowFixture.h"
#include "PdfOutput.h"
#include "StoredDay.h"
#include "TestContext.h"
#include "TestMain.h"
#include "print/PdfExport.h"
#include "print/PrintLayout.h"
#include "print/PrintPainter.h"
#include "print/PrintPreview.h"
#include "print/PrinterProvider.h"
#include "print/TemplatePrintout.h"
#include "settings/PrintSettings.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

namespace {
constexpr double Tolerance = 0.5;                   // mm
const QMarginsF PrinterMargins(6.5, 4.5, 5.5, 7.5); // mm; left and top differ so a swap shows

// A "default printer" that writes a PDF file; notes the mouse pointer while the print-out asks for it.
class PdfPrinters : public PrinterProvider {
public:
    explicit PdfPrinters(const QString& fileName) : m_printer(QPrinter::HighResolution)
    {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(fileName);
        m_printer.setPageSize(QPageSize(QPageSize::A4));
        m_printer.setPageOrientation(QPageLayout::Portrait);
        // A real printer cannot print up to the edge of the sheet.
        m_printer.setPageMargins(PrinterMargins, QPageLayout::Millimeter);
    }
    QPrinter* defaultPrinter() override
    {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        pointerWhileAsked = cursor ? cursor->shape() : Qt::ArrowCursor;
        return &m_printer;
    }
    QPrinter& printer() { return m_printer; }
    Qt::CursorShape pointerWhileAsked = Qt::ArrowCursor;

private:
    QPrinter m_printer;
};

QString pdfBoxes(const QString& fileName)
{
    return pdftotext(fileName, {"-bbox"});
}

// The document title as pdftotext reports it.
QString pdfTitle(const QString& fileName)
{
    static const QRegularExpression titleRe(QStringLiteral("<title>([^<]*)</title>"));
    return QTextDocumentFragment::fromHtml(titleRe.match(pdfBoxes(fileName)).captured(1)).toPlainText();
}

// The layout a print-out on this printer makes, with its positions moved from the printable area's
// corner to the sheet's: metrics measured on a twin printer set up alike.
QList<PrintPage> expectedLayout(const QString& fileName, const PrintSettings& settings, const QString& dayName,
                                const QList<const DayViewModel*>& columns, const QMarginsF& margins = PrinterMargins)
{
    QPrinter twin(QPrinter::HighResolution);
    twin.setOutputFormat(QPrinter::PdfFormat);
    twin.setOutputFileName(fileName);
    twin.setPageSize(QPageSize(QPageSize::A4));
    twin.setPageOrientation(QPageLayout::Landscape);
    twin.setPageMargins(margins, QPageLayout::Millimeter);
    PrintPainter painter(twin);
    if (!painter.begin(settings.fontName, settings.fontSize))
        return {};
    const PrintLayout layout(dayName, columns, painter.metrics(), settings.horOffset, settings.vertOffset);
    painter.end();
    const QPointF origin = twin.pageLayout().paintRect(QPageLayout::Millimeter).topLeft();
    QList<PrintPage> pages = layout.pages();
    for (PrintPage& page : pages)
        for (PrintText& text : page.texts) {
            text.x += origin.x();
            text.y += origin.y();
        }
    return pages;
}

// Every text of the layout is on its page of the PDF, where the layout puts it; returns the texts checked.
int compareWithLayout(const QList<PrintPage>& layout, const QList<PdfPage>& rendered)
{
    if (layout.size() != rendered.size()) {
        QTest::qFail(qPrintable(QString("%1 pages laid out, %2 in the PDF").arg(layout.size()).arg(rendered.size())),
                     __FILE__, __LINE__);
        return 0;
    }
    int checked = 0;
    for (int p = 0; p < layout.size(); ++p) {
        const PdfPage& page = rendered[p];
        if (!(page.width > page.height) || qAbs(page.width - 297) > 1 || qAbs(page.height - 210) > 1) {
            QTest::qFail("not an A4 landscape page", __FILE__, __LINE__);
            return 0;
        }
        for (const PrintText& text : layout[p].texts) {
            // pdftotext cuts lines into words; the first word starts where the text starts.
            const QString firstWord = text.text.split(' ').first();
            const auto found = std::find_if(page.words.begin(), page.words.end(), [&](const PdfWord& w) {
                return w.text == firstWord && qAbs(w.xMin - text.x) <= Tolerance && qAbs(w.yMin - text.y) <= Tolerance;
            });
            if (found == page.words.end()) {
                QTest::qFail(
                    qPrintable(
                        QString("page %1: \"%2\" at %3/%4 mm").arg(p + 1).arg(text.text).arg(text.x).arg(text.y)),
                    __FILE__, __LINE__);
                return 0;
            }
            ++checked;
        }
    }
    return checked;
}

// Picks a file in a save dialog and clicks its save button.
void choose(QDialog& d, const QString& file)
{
    auto* dialog = qobject_cast<QFileDialog*>(&d);
    QVERIFY(dialog);
    dialog->setDirectory(QFileInfo(file).path());
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(name);
    name->setText(QFileInfo(file).fileName());
    d.accept();
}

void storeDemoDay(TempDatabase& db)
{
    for (const char* chair : {"Stuhl 1", "Stuhl 2", "Stuhl 3", "Prophylaxe"})
        db.addChair(chair);
    const QList<QStringList> blocks{{"Stuhl 1", "ERST", "08:00", "08:30"},  {"Stuhl 1", "BRAC", "09:30", "11:00"},
                                    {"Stuhl 2", "KONT", "08:00", "08:20"},  {"Stuhl 2", "BOGEN", "08:20", "08:50"},
                                    {"Stuhl 3", "RETA", "09:00", "09:30"},  {"Prophylaxe", "PZR", "10:00", "10:40"},
                                    {"Stuhl 3", "AKTIV", "17:40", "18:00"}, {"Stuhl 2", "LOSE", "08:05", "08:15"}};
    for (const QStringList& b : blocks)
        db.addBlock("Montag Standard", b[0], b[1], b[2], b[3]);
}
} // namespace

class TestPrintout : public QObject {
    Q_OBJECT
private slots:
    void pdfShowsTheLayout_data();
    void pdfShowsTheLayout();
    void settingsAreReadForEveryPrintout();
    void noDefaultPrinter_data();
    void noDefaultPrinter();
    void printerRefusesTheJob();
    void previewShowsThePrintout_data();
    void previewShowsThePrintout();
    void pdfExport();
    void pdfExportReplaces_data();
    void pdfExportReplaces();
    void pdfExportSaysWhatWentWrong_data();
    void pdfExportSaysWhatWentWrong();
    void menuItems();
};

void TestPrintout::pdfShowsTheLayout_data()
{
    QTest::addColumn<QStringList>("printer"); // Schriftart, Fontsize, Hor, Vert under "Kavemo"
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("pages");
    QTest::newRow("defaults, 10-minute rows: two pages") << QStringList{} << 1 << 2;
    QTest::newRow("15-minute rows, small font: one page") << QStringList{"Arial", "8", "0", "0"} << 2 << 1;
    QTest::newRow("offsets and another font") << QStringList{"DejaVu Serif", "11", "5", "10"} << 1 << 2;
}

void TestPrintout::pdfShowsTheLayout()
{
    QFETCH(QStringList, printer);
    QFETCH(int, slot);
    QFETCH(int, pages);
    TestContext context;
    const QStringList keys{"Schriftart", "Fontsize", "Hor", "Vert"};
    for (int i = 0; i < printer.size(); ++i)
        context.tempSettings.write("Kavemo", "Printer", keys[i], printer[i]);
    storeDemoDay(context.tempDatabase);
    StoredDay day(context.tempDatabase.database(), "Montag Standard", slot);
    day.doctorColumn().add("08:00", "08:05", "20", Qt::green);
    day.doctorColumn().add("09:30", "09:35", "40", Qt::red);

    QTemporaryDir dir;
    const QString pdf = dir.filePath("montag.pdf");
    PdfPrinters printers(pdf);
    TemplatePrintout(context.services, printers).print(nullptr, "Montag Standard", day.columns());

    QCOMPARE(context.messages.shown().size(), 0);
    QCOMPARE(printers.pointerWhileAsked, Qt::WaitCursor);
    QVERIFY(!QGuiApplication::overrideCursor());
    // The orientation the printer had is put back.
    QCOMPARE(printers.printer().pageLayout().orientation(), QPageLayout::Portrait);

    const QList<PrintPage> layout = expectedLayout(dir.filePath("twin.pdf"), PrintSettings::read(context.settings),
                                                   "Montag Standard", day.columns());
    const QList<PdfPage> rendered = pdfWords(pdf);
    QCOMPARE(layout.size(), pages);
    QCOMPARE(rendered.size(), pages);
    QVERIFY(compareWithLayout(layout, rendered) > 40);
}

void TestPrintout::settingsAreReadForEveryPrintout()
{
    TestContext context;
    storeDemoDay(context.tempDatabase);
    StoredDay day(context.tempDatabase.database(), "Montag Standard");
    QTemporaryDir dir;
    PdfPrinters printers(dir.filePath("first.pdf"));
    TemplatePrintout printout(context.services, printers);
    printout.print(nullptr, "Montag Standard", day.columns());
    context.tempSettings.write("Kavemo", "Printer", "Hor", "20");
    printers.printer().setOutputFileName(dir.filePath("second.pdf"));
    printout.print(nullptr, "Montag Standard", day.columns());

    const double margin = PrinterMargins.left();
    for (const auto& [file, left] : {std::pair{"first.pdf", margin}, std::pair{"second.pdf", margin + 20.0}}) {
        const QList<PdfPage> pages = pdfWords(dir.filePath(file));
        QVERIFY(!pages.isEmpty());
        const auto name = std::find_if(pages.first().words.begin(), pages.first().words.end(),
                                       [](const PdfWord& w) { return w.text == "Montag"; });
        QVERIFY2(name != pages.first().words.end(), file);
        QVERIFY2(qAbs(name->xMin - left) <= Tolerance, file);
    }
}

void TestPrintout::noDefaultPrinter_data()
{
    QTest::addColumn<int>("choice"); // 0: the PDF offered, 1: OK (also Esc and the close box)
    QTest::addColumn<bool>("fileChosen");
    QTest::newRow("OK") << 1 << false;
    QTest::newRow("Als PDF exportieren..., saved") << 0 << true;
    QTest::newRow("Als PDF exportieren..., dialog cancelled") << 0 << false;
}

void TestPrintout::noDefaultPrinter()
{
    QFETCH(int, choice);
    QFETCH(bool, fileChosen);
    TestContext context;
    context.tempDatabase.addChair("Stuhl 1");
    context.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    StoredDay day(context.tempDatabase.database(), "Montag");
    NoDefaultPrinter printers;
    QTemporaryDir dir;
    const QString file = dir.filePath("montag.pdf");
    bool cursorBack = false;
    context.messages.answerChoice(choice, [&] { cursorBack = !QGuiApplication::overrideCursor(); });
    if (choice == 0)
        context.modals.handleNext([&](QDialog& d) {
            QCOMPARE(d.windowTitle(), QString("Als PDF exportieren"));
            fileChosen ? choose(d, file) : d.reject();
        });
    TemplatePrintout(context.services, printers).print(nullptr, "Montag", day.columns());

    QCOMPARE(context.messages.shown().size(), 1);
    const MessageRequest box = context.messages.last();
    QCOMPARE(box.text, QString("Es ist kein Standarddrucker eingerichtet."));
    QCOMPARE(box.title, QString("Drucken"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.choices, QStringList({"Als PDF exportieren...", "OK"}));
    QCOMPARE(box.defaultChoice, 0);
    QCOMPARE(context.modals.shownDialogs().size(), choice == 0 ? 1 : 0);
    QCOMPARE(QFileInfo::exists(file), fileChosen);
    if (fileChosen) {
        QCOMPARE(pdfTitle(file), QString("Montag"));
        QVERIFY(pdfWords(file).first().words.size() > 3);
    }
    QVERIFY(cursorBack);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(context.modals.pendingHandlers(), 0);
}

void TestPrintout::printerRefusesTheJob()
{
    TestContext context;
    context.tempDatabase.addChair("Stuhl 1");
    StoredDay day(context.tempDatabase.database(), "Montag");
    QTemporaryDir dir;
    PdfPrinters printers(dir.filePath("no/such/folder/montag.pdf"));
    context.messages.answer(QMessageBox::Ok);
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    TemplatePrintout(context.services, printers).print(nullptr, "Montag", day.columns());

    QCOMPARE(context.messages.shown().size(), 1);
    const MessageRequest box = context.messages.last();
    QCOMPARE(box.text, QString("Der Drucker hat den Auftrag nicht angenommen."));
    QCOMPARE(box.title, QString("Drucken"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(printers.printer().pageLayout().orientation(), QPageLayout::Portrait);
    QVERIFY(!QFile::exists(dir.filePath("no/such/folder/montag.pdf")));
}

void TestPrintout::previewShowsThePrintout_data()
{
    QTest::addColumn<bool>("defaultPrinter");
    QTest::newRow("on the default printer's pages") << true;
    QTest::newRow("no default printer: A4 landscape") << false;
}

void TestPrintout::previewShowsThePrintout()
{
    QFETCH(bool, defaultPrinter);
    TestContext context;
    storeDemoDay(context.tempDatabase);
    StoredDay day(context.tempDatabase.database(), "Montag Standard");
    day.doctorColumn().add("08:00", "08:05", "20", Qt::green);
    QTemporaryDir dir;
    PdfPrinters printers(dir.filePath("print.pdf"));
    NoDefaultPrinter noPrinter;

    // The print-out itself: on the printer, or without one the PDF export's A4 landscape pages.
    const QString printed = dir.filePath("print.pdf");
    if (defaultPrinter)
        TemplatePrintout(context.services, printers).print(nullptr, "Montag Standard", day.columns());
    else
        QVERIFY(PdfExport(context.services).write(printed, "Montag Standard", day.columns()));
    const QList<PdfPage> printedPages = pdfWords(printed);
    QVERIFY(!printedPages.isEmpty());

    // The preview's pages, printed from the preview into a PDF file.
    const QString previewed = dir.filePath("preview.pdf");
    int previewPages = 0;
    QPageLayout previewLayout;
    context.modals.handleNext([&](QDialog& d) {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(&d);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Seitenansicht"));
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(preview);
        previewPages = preview->pageCount();
        previewLayout = dialog->printer()->pageLayout();
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(previewed);
        preview->print();
        dialog->reject();
    });
    PrintPreview(context.services, defaultPrinter ? static_cast<PrinterProvider*>(&printers) : &noPrinter)
        .show(nullptr, "Montag Standard", day.columns());
    QCOMPARE(context.modals.shownDialogs(), QStringList{"frmSeitenansicht"});
    QCOMPARE(context.messages.shown().size(), 0);

    QCOMPARE(previewLayout.orientation(), QPageLayout::Landscape);
    QCOMPARE(previewLayout.pageSize().id(), QPageSize::A4);
    QCOMPARE(previewPages, int(printedPages.size()));
    const QList<PdfPage> previewedPages = pdfWords(previewed);
    QCOMPARE(previewedPages.size(), printedPages.size());
    QVERIFY(samePages(previewedPages, printedPages));
    // The printer is left as it was.
    QCOMPARE(printers.printer().pageLayout().orientation(), QPageLayout::Portrait);
}

void TestPrintout::pdfExport()
{
    TestContext context;
    context.tempSettings.write("Kavemo", "Printer", "Hor", "3");
    storeDemoDay(context.tempDatabase);
    StoredDay day(context.tempDatabase.database(), "Montag Standard");
    day.doctorColumn().add("09:30", "09:35", "40", Qt::red);
    NoDefaultPrinter noPrinter;
    context.services.printers = &noPrinter;
    QTemporaryDir dir;
    const QString file = dir.filePath("export.pdf");
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(documents).isDir())
        documents = QDir::homePath();
    context.modals.handleNext([&](QDialog& d) {
        auto* dialog = qobject_cast<QFileDialog*>(&d);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Als PDF exportieren"));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->selectedFiles(), QStringList{QDir(documents).filePath("Montag Standard.pdf")});
        choose(d, file);
    });
    PdfExport(context.services).exportDay(nullptr, "Montag Standard", day.columns());
    QCOMPARE(context.messages.shown().size(), 0);

    QCOMPARE(pdfTitle(file), QString("Montag Standard"));
    const double m = PdfExport::MarginMillimetres;
    const QList<PrintPage> layout = expectedLayout(dir.filePath("twin.pdf"), PrintSettings::read(context.settings),
                                                   "Montag Standard", day.columns(), QMarginsF(m, m, m, m));
    QVERIFY(compareWithLayout(layout, pdfWords(file)) > 40);
    QCOMPARE(PdfExport::proposedFileName(""), QString("Idealtag.pdf"));
    QCOMPARE(PdfExport::proposedFileName("Mo/Di: früh?"), QString("Mo_Di_ früh_.pdf"));
}

void TestPrintout::pdfExportReplaces_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("Ja replaces the file") << QMessageBox::Yes;
    QTest::newRow("Nein goes back to the dialog") << QMessageBox::No;
}

void TestPrintout::pdfExportReplaces()
{
    QFETCH(QMessageBox::StandardButton, answer);
    TestContext context;
    storeDemoDay(context.tempDatabase);
    StoredDay day(context.tempDatabase.database(), "Montag Standard");
    QTemporaryDir dir;
    const QString file = dir.filePath("alt.pdf");
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("alt");
    }
    context.modals.handleNext([&](QDialog& d) { choose(d, file); });
    if (answer == QMessageBox::No)
        context.modals.handleNext([&](QDialog& d) {
            QCOMPARE(static_cast<QFileDialog*>(&d)->selectedFiles(), QStringList{file});
            d.reject();
        });
    context.messages.answer(answer);
    PdfExport(context.services).exportDay(nullptr, "", day.columns());

    QCOMPARE(context.messages.shown().size(), 1);
    compareBox(context.messages.last(), "Die Datei „alt.pdf“ ist bereits vorhanden.\nMöchten Sie sie ersetzen?",
               "Als PDF exportieren", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(context.messages.last().defaultButton, QMessageBox::No);
    QCOMPARE(context.modals.pendingHandlers(), 0);
    if (answer == QMessageBox::Yes) {
        QCOMPARE(pdfTitle(file), QString("Idealtag"));
        QVERIFY(pdfText(file).contains("Stuhl 1"));
    } else {
        QFile old(file);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("alt"));
    }
}

void TestPrintout::pdfExportSaysWhatWentWrong_data()
{
    // "readonly": a file in a temporary folder without write permission; "full": one there that links
    // to /dev/full.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    // /proc takes no files, not even from the administrator.
    QTest::newRow("a folder without write permission")
        << "/proc/Montag Standard.pdf"
        << "In den Ordner „/proc“ kann nicht geschrieben werden. Bitte wählen Sie einen anderen Ordner.";
    QTest::newRow("a read-only file") << "readonly"
                                      << "Die Datei „alt.pdf“ ist schreibgeschützt. Bitte wählen Sie einen anderen "
                                         "Namen.";
    // Every write to /dev/full fails as on a full disk; the file chosen links to it.
    QTest::newRow("a full disk") << "full"
                                 << "Die Datei „voll.pdf“ konnte nicht geschrieben werden: Der Datenträger ist voll. "
                                    "Bitte schaffen Sie Platz oder wählen Sie einen anderen Ort.";
}

void TestPrintout::pdfExportSaysWhatWentWrong()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
#ifdef Q_OS_WIN
    if (file != "readonly")
        QSKIP("/proc and /dev/full are Linux's; under Wine, as root, no Windows folder refuses a file");
#endif
    TestContext context;
    storeDemoDay(context.tempDatabase);
    StoredDay day(context.tempDatabase.database(), "Montag Standard");
    QTemporaryDir dir;
    if (file == "readonly") {
        file = dir.filePath("alt.pdf");
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("alt");
        old.close();
        QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (file == "full") {
        file = dir.filePath("voll.pdf");
        QVERIFY(QFile::link("/dev/full", file));
    }
    context.modals.handleNext([&](QDialog& d) { choose(d, file); });
    const bool exists = QFileInfo::exists(file);
    if (exists)
        context.messages.answer(QMessageBox::Yes); // replace it
    context.messages.answer(QMessageBox::Ok);
    PdfExport(context.services).exportDay(nullptr, "Montag Standard", day.columns());

    QCOMPARE(context.messages.shown().size(), exists ? 2 : 1);
    compareBox(context.messages.last(), message, "Als PDF exportieren", QMessageBox::Warning, QMessageBox::Ok);
    if (file.startsWith("/proc"))
        QVERIFY(!QFile::exists(file));
    if (file.endsWith("alt.pdf")) {
        QFile old(file);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("alt"));
    }
}

void TestPrintout::menuItems()
{
    MainWindowFixture f(2);
    f.start();
    QStringList file;
    for (QAction* a : f.window->findChild<QMenu*>("mnuFile")->actions())
        file.append(a->isSeparator() ? "-" : a->text());
    QCOMPARE(file.mid(7), (QStringList{"&Drucken...", "Seitena&nsicht...", "Als &PDF exportieren...", "-",
                                       "Datensicherung &erstellen", "Aus Datensicherung &holen...", "-", "&Beenden"}));
    QVERIFY(!f.action("mnuFilePreview")->isEnabled());
    QVERIFY(!f.action("mnuFilePdf")->isEnabled());
    f.newDay();
    QVERIFY(f.action("mnuFilePreview")->isEnabled());
    QVERIFY(f.action("mnuFilePdf")->isEnabled());

    // An unnamed day is proposed as "Idealtag.pdf"; cancelling writes nothing and asks nothing.
    f.ctx.modals.handleNext([](QDialog& d) {
        QCOMPARE(QFileInfo(static_cast<QFileDialog*>(&d)->selectedFiles().value(0)).fileName(),
                 QString("Idealtag.pdf"));
        d.reject();
    });
    f.action("mnuFilePdf")->trigger();
    f.expectNothingPending();
    QCOMPARE(f.ctx.messages.shown().size(), 0);
}

LUNARIS_TEST_MAIN(TestPrintout)
#include "tst_printout.moc"
