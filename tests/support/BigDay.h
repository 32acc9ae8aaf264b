#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A day that fills every chair from 08:00 to 18:00, in two versions whose rows differ in count, times
// and codes, so a stored mix of the two (or a part of either) is told apart from both.
struct BigDayBlock {
    QString start;
    QString end;
    QString code;
};

// Version 0: 10-minute blocks "ALT"; version 1: 20-minute blocks "NEU".
QList<BigDayBlock> bigDayBlocks(int version);
// The Template rows a save of the version writes for these chairs, as "STUHL|BEH|STARTZEIT|ENDZEIT".
QStringList bigDayRows(int version, const QStringList& chairs);
