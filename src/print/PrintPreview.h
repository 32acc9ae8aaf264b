#pragma once

#include <QList>
#include <QString>

struct AppServices;
class DayViewModel;
class PrinterProvider;
class QWidget;

// Seitenansicht: Qt's print preview of exactly the print-out (the same layout code), landscape, on the
// default printer's pages; from there the user may print to any printer of the system. Without a
// default printer it lays out on A4 landscape.
class PrintPreview {
public:
    static inline const QString Title = QStringLiteral("Seitenansicht");

    // printers: where the print-out would go; null means the system's default printer.
    PrintPreview(AppServices& services, PrinterProvider* printers);

    void show(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns);

private:
    AppServices& m_services;
    PrinterProvider* m_printers;
};
