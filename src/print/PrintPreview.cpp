#include "print/PrintPreview.h"

#include "kernel/AppServices.h"
#include "kernel/Steps.h"
#include "print/PdfExport.h"
#include "print/PrintJob.h"
#include "print/PrinterProvider.h"
#include "ui/ModalRunner.h"

#include <QComboBox>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

#include <memory>

PrintPreview::PrintPreview(AppServices& services, PrinterProvider* printers)
    : m_services(services), m_printers(printers)
{
}

void PrintPreview::show(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns)
{
    PrintJob job(m_services, dayName, columns);
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
                     [&](QPrinter* target) { job.paint(*target); });
    addViewChoice(dialog, job);
    m_services.modals.run(dialog);
    printer->setPageOrientation(orientation);
}

void PrintPreview::addViewChoice(QPrintPreviewDialog& dialog, PrintJob& job)
{
    auto* toolBar = dialog.findChild<QToolBar*>();
    auto* pages = dialog.findChild<QPrintPreviewWidget*>();
    if (!toolBar || !pages)
        return;
    auto* choice = new QComboBox(toolBar);
    choice->setObjectName(QStringLiteral("cboDarstellung"));
    choice->addItem(ListCaption, int(PrintView::List));
    choice->addItem(DayPlanCaption, int(PrintView::DayPlan));
    choice->setCurrentIndex(choice->findData(int(job.view())));
    choice->setAccessibleName(QStringLiteral("Darstellung"));
    auto* label = new QLabel(QStringLiteral("&Darstellung:"), toolBar);
    label->setBuddy(choice);
    label->setContentsMargins(6, 0, 3, 0);
    toolBar->addSeparator();
    toolBar->addWidget(label);
    toolBar->addWidget(choice);
    QObject::connect(choice, &QComboBox::currentIndexChanged, &dialog, [this, choice, pages, &job] {
        const auto view = PrintView(choice->currentData().toInt());
        job.setView(view);
        // Kept for "Drucken..." and the PDF export; a store that cannot be written only loses the choice.
        runStep([&] { PrintSettings::saveView(m_services.settings, view); });
        pages->updatePreview();
    });
}
