#pragma once

#include <QList>
#include <QString>

#include <memory>

struct AppServices;
class DayViewModel;
class PrinterProvider;
class QWidget;

// The print command: prints the ideal day shown in the main window at once on the default printer,
// landscape, as the list of its time rows or as the day plan, whichever the preview last chose. No
// printer dialog; the practice's printer values are read afresh each time. Without a default printer
// it says so and offers the PDF export.
class TemplatePrintout {
public:
    static inline const QString NoPrinterText = QStringLiteral("Es ist kein Standarddrucker eingerichtet.");
    static inline const QString RefusedText = QStringLiteral("Der Drucker hat den Auftrag nicht angenommen.");
    static inline const QString Title = QStringLiteral("Drucken");
    // Offered with NoPrinterText: the same print-out as a PDF file.
    static inline const QString PdfChoice = QStringLiteral("Als PDF exportieren...");

    // Prints on the system's default printer.
    explicit TemplatePrintout(AppServices& services);
    // Prints on what the provider gives (tests: a PDF file, or no printer).
    TemplatePrintout(AppServices& services, PrinterProvider& printers);
    ~TemplatePrintout();

    // columns: the chair columns in order, followed by the doctor column.
    void print(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns);

private:
    // Says that there is no default printer; true when the user takes the PDF export instead.
    bool askForPdf(QWidget* parent);
    void warn(QWidget* parent, const QString& text);

    AppServices& m_services;
    std::unique_ptr<PrinterProvider> m_ownPrinters;
    PrinterProvider& m_printers;
};
