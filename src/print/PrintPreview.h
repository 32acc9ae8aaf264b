#pragma once

#include <QList>
#include <QString>

struct AppServices;
class DayViewModel;
class PrintJob;
class PrinterProvider;
class QPrintPreviewDialog;
class QWidget;

// Seitenansicht: Qt's print preview of exactly the print-out (the same layout code), landscape, on the
// default printer's pages; from there the user may print to any printer of the system. Without a
// default printer it lays out on A4 landscape. Its tool bar chooses the print-out, list or day plan;
// the choice is kept for the print command and the PDF export.
class PrintPreview {
public:
    static inline const QString Title = QStringLiteral("Seitenansicht");
    static inline const QString ListCaption = QStringLiteral("Liste (wie bisher)");
    static inline const QString DayPlanCaption = QStringLiteral("Tagesplan");

    // printers: where the print-out would go; null means the system's default printer.
    PrintPreview(AppServices& services, PrinterProvider* printers);

    void show(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns);

private:
    void addViewChoice(QPrintPreviewDialog& dialog, PrintJob& job);

    AppServices& m_services;
    PrinterProvider* m_printers;
};
