// Prints the demo practice's "Montag Standard" through the program's print command, for the test
// with a real print queue (and for looking at the print-out): on the system's default printer, or
// with --pdf FILE into a PDF file; --tagesplan prints the day plan instead of the list. Exits 0 when the command showed
// no message, 1 when it did.

#include "StoredDay.h"
#include "TempSettings.h"
#include "TestPaths.h"
#include "app/frmLunaris.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "print/PrinterProvider.h"
#include "print/TemplatePrintout.h"
#include "settings/PrintSettings.h"
#include "settings/SettingsStore.h"
#include "store/Database.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QAction>
#include <QApplication>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {
// No one is there to answer a box: report it and go on.
class ReportedMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override
    {
        std::fprintf(stderr, "Meldung [%s]: %s\n", qPrintable(request.title), qPrintable(request.text));
        ++count;
        return QMessageBox::Ok;
    }
    int count = 0;
};

class PdfFilePrinter : public PrinterProvider {
public:
    explicit PdfFilePrinter(const QString& fileName) : m_printer(QPrinter::HighResolution)
    {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(fileName);
        m_printer.setPageSize(QPageSize(QPageSize::A4));
    }
    QPrinter* defaultPrinter() override { return &m_printer; }

private:
    QPrinter m_printer;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype pdfArg = args.indexOf(QStringLiteral("--pdf"));
    const QString pdfFile = pdfArg > 0 && pdfArg + 1 < args.size() ? args[pdfArg + 1] : QString();

    // The practice's printer values are the defaults: no settings of the machine are read.
    TempSettings settingsFolder;
    SettingsStore settings;
    if (args.contains(QStringLiteral("--tagesplan")))
        PrintSettings::saveView(settings, PrintView::DayPlan);
    QTemporaryDir dataFolder;
    Database database(dataFolder.filePath(QStringLiteral("Kavemo.mdb")), QStringLiteral("print-demo"));
    runSqlScript(database, TestPaths::sourceFile(QStringLiteral("resources/demo/demo.sql")));

    ReportedMessages messages;
    ExecModalRunner modals;
    std::unique_ptr<PdfFilePrinter> pdfPrinter;
    if (!pdfFile.isEmpty())
        pdfPrinter = std::make_unique<PdfFilePrinter>(pdfFile);
    AppServices services{database, settings, messages, modals, pdfPrinter.get()};

    // The day drawn in the real main window, as Open leaves it, then its print command.
    LunarisState state;
    state.DatabaseFile = database.filePath();
    frmLunaris window(state, services);
    if (!window.Form_Load(1024))
        return 2;
    state.DayOpen = true;
    state.CurrentIdealtag = QStringLiteral("Montag Standard");
    window.Termin_load();
    window.switchOn(true);
    window.findChild<QAction*>(QStringLiteral("mnuFilePrint"))->trigger();
    return messages.count == 0 ? 0 : 1;
}
