#include "print/DayPlanData.h"

#include "editing/DoctorColumn.h"
#include "kernel/Steps.h"
#include "settings/SettingsStore.h"
#include "store/Tables.h"

DayPlanData DayPlanData::gather(const Database& database, const SettingsStore& settings, const QString& dayName,
                                const QList<const DayViewModel*>& columns)
{
    DayPlanData data;
    // The settings dialog's placeholder is no practice's name: an unset name is left out.
    data.practiceName =
        settings.getSetting(SettingsStore::ProgramApp, QStringLiteral("Praxis"), QStringLiteral("Name"), QString());
    data.dayName = dayName;
    data.printDate = QDate::currentDate();
    data.columns = columns;
    if (columns.isEmpty())
        return data;
    runStep([&] {
        const QHash<QString, Treatment> treatments = DoctorColumn::byCode(TreatmentTable(database).all());
        for (const Treatment& t : treatments)
            data.treatmentTexts.insert(t.code, t.text);
        // The one computation the fee box uses; the doctor column lends the day's rows.
        const DoctorLoad load = DoctorColumn::compute(columns.mid(0, columns.size() - 1), *columns.last(),
                                                      DoctorColumn::lookupIn(treatments));
        data.fee = QString::number(DoctorColumn::wholeUnits(load.feeCents));
    });
    return data;
}
