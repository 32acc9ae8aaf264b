#include "print/PrintPreview.h"

#include "kernel/AppServices.h"
#include "print/PdfExport.h"
#include "print/PrintPainter.h"
#include "print/PrintSettings.h"
#include "print/PrinterProvider.h"
#include "ui/ModalRunner.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include <memory>

PrintPreview::PrintPreview(AppServices& services, PrinterProvider* printers)
    : m_services(services), m_printers(printers)
{
}

void PrintPreview::show(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns)
{
    const PrintSettings settings = PrintSettings::read(m_services.settings);
    SystemPrinterProvider systemPrinters;
    PrinterProvider& printers = m_printers ? *m_printers : systemPrinters;

    QPrinter* printer = printers.defaultPrinter();
    std::unique_ptr<QPrinter> a4;
    if (!printer) {
        // No default printer: the pages of the PDF export; the preview's print button still offers
        // every printer the system has.
        a4 = std::make_unique<QPrinter>(QPrinter::HighResolution);
        a4->setPageLayout(PdfExport::pageLayout());
        printer = a4.get();
    }
    const QPageLayout::Orientation orientation = printer->pageLayout().orientation();
    printer->setPageOrientation(QPageLayout::Landscape);
    printer->setFullPage(false);
    printer->setDocName(dayName);

    QPrintPreviewDialog dialog(printer, parent);
    dialog.setObjectName(QStringLiteral("frmSeitenansicht"));
    dialog.setWindowTitle(Title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* target) { paintPrintout(*target, settings, dayName, columns); });
    m_services.modals.run(dialog);
    printer->setPageOrientation(orientation);
}
