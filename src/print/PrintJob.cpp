#include "print/PrintJob.h"

#include "kernel/AppServices.h"
#include "print/DayPlanData.h"
#include "print/DayPlanPainter.h"
#include "print/PrintPainter.h"

PrintJob::PrintJob(const AppServices& services, const QString& dayName, const QList<const DayViewModel*>& columns)
    : m_services(services), m_settings(PrintSettings::read(services.settings)),
      m_view(PrintSettings::view(services.settings)), m_dayName(dayName), m_columns(columns)
{
}

bool PrintJob::paint(QPagedPaintDevice& device) const
{
    if (m_view == PrintView::List)
        return paintPrintout(device, m_settings, m_dayName, m_columns);
    // The treatments are read when the plan is drawn, so that the preview shows them as they are.
    return paintDayPlan(device, m_settings.fontName,
                        DayPlanData::gather(m_services.database, m_services.settings, m_dayName, m_columns));
}
