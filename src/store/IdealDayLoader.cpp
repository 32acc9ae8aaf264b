#include "store/IdealDayLoader.h"

#include "app/LunarisError.h"
#include "app/Steps.h"
#include "dayview/DayViewModel.h"
#include "store/Tables.h"

namespace {
constexpr int NoCurrentRecord = 3021;
}

void IdealDayLoader::load(const Database& database, const QList<DayViewModel*>& chairColumns, const QString& day)
{
    const QStringList chairs = ChairTable(database).names();
    const IdealDayStore store(database);
    for (int i = 0; i < chairColumns.size(); ++i) {
        DayViewModel& column = *chairColumns[i];
        column.clear();
        // Chairs deleted during the run leave columns without a chair row.
        if (i >= chairs.size())
            throw LunarisError(NoCurrentRecord, QStringLiteral("Kein aktueller Datensatz."));
        column.setCaption(chairs[i]);
        for (const TemplateRow& row : store.blocksOf(day, chairs[i])) {
            const QString start = textOf(row.startTime);
            const QString end = textOf(row.endTime);
            const QString code = textOf(row.code);
            runStepSkippingRefusal([&] { column.add(start, end, code, BlockColor); });
        }
    }
}
