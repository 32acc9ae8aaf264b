#pragma once

#include "dayview/DayViewModel.h"

#include <QList>
#include <QString>

class frmLunaris;

// A block put into the open day as a user's step puts it (through the day's history and its
// placement rules): the columns, the doctor column, the fee and `Modified` follow. False when the
// rules refuse it.
bool placeBlock(frmLunaris& window, int chair, const QString& start, const QString& end, const QString& code);
// Every chair's blocks replaced in one step; blocks[i] are chair i's.
void replaceBlocks(frmLunaris& window, const QList<QList<DayBlock>>& blocks);
