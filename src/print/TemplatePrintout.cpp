#include "print/TemplatePrintout.h"

#include "kernel/AppServices.h"
#include "print/PdfExport.h"
#include "print/PrintJob.h"
#include "print/PrinterProvider.h"
#include "ui/MessageService.h"

#include <QGuiApplication>
#include <QPrinter>

namespace {
// The busy pointer for as long as the command works; put back on every way out.
class BusyPointer {
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    void release()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = true;
};
} // namespace

TemplatePrintout::TemplatePrintout(AppServices& services)
    : m_services(services), m_ownPrinters(std::make_unique<SystemPrinterProvider>()), m_printers(*m_ownPrinters)
{
}

TemplatePrintout::TemplatePrintout(AppServices& services, PrinterProvider& printers)
    : m_services(services), m_printers(printers)
{
}

TemplatePrintout::~TemplatePrintout() = default;

void TemplatePrintout::print(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns)
{
    BusyPointer busy;
    const PrintJob job(m_services, dayName, columns);

    QPrinter* printer = m_printers.defaultPrinter();
    if (!printer) {
        // Returning silently would look as if the day had been printed; the PDF needs no printer.
        busy.release();
        if (askForPdf(parent))
            PdfExport(m_services).exportDay(parent, dayName, columns);
        return;
    }

    const QPageLayout::Orientation orientation = printer->pageLayout().orientation();
    printer->setPageOrientation(QPageLayout::Landscape);
    // Positions are measured from the corner of the printable area, as practices calibrate their
    // offsets against it.
    printer->setFullPage(false);

    const bool printed = job.paint(*printer);
    printer->setPageOrientation(orientation);

    if (!printed) {
        busy.release();
        warn(parent, RefusedText);
    }
}

bool TemplatePrintout::askForPdf(QWidget* parent)
{
    MessageRequest box{NoPrinterText, Title, QMessageBox::Warning};
    box.parent = parent;
    // "OK" is the way out (Esc, the close box), as in the plain message it was.
    box.choices = {PdfChoice, QStringLiteral("OK")};
    return m_services.messages.choose(box) == 0;
}

void TemplatePrintout::warn(QWidget* parent, const QString& text)
{
    m_services.messages.show({text, Title, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, parent});
}
