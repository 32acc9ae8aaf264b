#include "BigDay.h"

#include <QTime>

QList<BigDayBlock> bigDayBlocks(int version)
{
    const int minutes = version == 0 ? 10 : 20;
    const QString code = version == 0 ? QStringLiteral("ALT") : QStringLiteral("NEU");
    QList<BigDayBlock> blocks;
    for (QTime start(8, 0); start < QTime(18, 0); start = start.addSecs(minutes * 60))
        blocks.append({start.toString(QStringLiteral("hh:mm")),
                       start.addSecs(minutes * 60).toString(QStringLiteral("hh:mm")), code});
    return blocks;
}

QStringList bigDayRows(int version, const QStringList& chairs)
{
    QStringList rows;
    for (const QString& chair : chairs)
        for (const BigDayBlock& block : bigDayBlocks(version))
            rows.append(QStringList{chair, block.code, block.start, block.end}.join(QLatin1Char('|')));
    return rows;
}
