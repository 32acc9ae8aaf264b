#pragma once

#include "settings/PrintSettings.h"

#include <QList>
#include <QString>

struct AppServices;
class DayViewModel;
class QPagedPaintDevice;

// One print-out of the day shown in the main window: the list or the day plan, as the settings
// choose, with the printer values as they are when the job is made.
class PrintJob {
public:
    // columns: the chair columns in order, followed by the doctor column.
    PrintJob(const AppServices& services, const QString& dayName, const QList<const DayViewModel*>& columns);

    PrintView view() const { return m_view; }
    void setView(PrintView view) { m_view = view; }
    // Paints the print-out in the device's orientation and page size; false when the device refuses.
    bool paint(QPagedPaintDevice& device) const;

private:
    const AppServices& m_services;
    PrintSettings m_settings;
    PrintView m_view;
    QString m_dayName;
    QList<const DayViewModel*> m_columns;
};
