#pragma once

#include <memory>

class QPrinter;

// Where the print-out goes. The program asks the system for its default printer; tests hand in a
// printer that writes a PDF file, or none at all.
class PrinterProvider {
public:
    virtual ~PrinterProvider() = default;
    // The default printer, owned by the provider and valid until the next call; null when the system
    // has no default printer.
    virtual QPrinter* defaultPrinter() = 0;
};

// The system's default printer, looked up afresh on every call so that a printer set up while the
// program runs is used at once.
class SystemPrinterProvider : public PrinterProvider {
public:
    SystemPrinterProvider();
    ~SystemPrinterProvider() override;
    QPrinter* defaultPrinter() override;

private:
    std::unique_ptr<QPrinter> m_printer;
};
