#include "print/PrinterProvider.h"

#include <QPrinter>
#include <QPrinterInfo>

SystemPrinterProvider::SystemPrinterProvider() = default;
SystemPrinterProvider::~SystemPrinterProvider() = default;

QPrinter* SystemPrinterProvider::defaultPrinter()
{
    // QPrinter::isValid() is true even without any printer; only the printer info tells.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        m_printer.reset();
        return nullptr;
    }
    m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return m_printer.get();
}
