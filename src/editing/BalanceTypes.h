#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The plain data the day's balancing works on: no widget, no database, times in minutes since midnight.

// What the balancing needs of a treatment: its doctor windows (relative to the block's start) and its fee.
struct BalanceTreatment {
    QString code;
    int minutes = 0; // length of a new block
    int drStart = 0, drMinutes = 0, drStart2 = 0, drMinutes2 = 0;
    qint64 feeCents = 0;
};

// One block of the day: its chair (index into the chairs), start and length.
struct BalanceBlock {
    QString code;
    int chair = 0;
    int start = 0;
    int minutes = 0;

    bool operator==(const BalanceBlock&) const = default;
};

struct BalanceOptions {
    bool chairChangeAllowed = false;
    std::optional<int> maxShiftMinutes; // none: any shift
    bool keepHalfDay = true;            // a forenoon block stays before noon, an afternoon one after it
    int timeLimitMs = 2000;
};

struct BalanceDay {
    int chairCount = 0;
    int dayStart = 8 * 60; // the first row's start
    int dayEnd = 18 * 60;  // the end of the last row
    int slotMinutes = 10;
    QList<BalanceBlock> blocks;
    QHash<QString, BalanceTreatment> treatments;
    // Chair time no block may share that the doctor column does not count (stored rows not on screen).
    QList<BalanceBlock> busy;

    int rowCount() const { return slotMinutes > 0 ? (dayEnd - dayStart) / slotMinutes : 0; }
};

// A block that changed its place: the block's index in the day's list, and where it was and is.
struct BalanceMove {
    int block = -1;
    QString code;
    int fromChair = 0, toChair = 0;
    int fromStart = 0, toStart = 0;

    bool operator==(const BalanceMove&) const = default;
};

// What a search found. `blocks` is the whole day afterwards, in the order of the input; new blocks of
// filling come after the existing ones.
struct BalanceResult {
    bool found = false;  // false: stopped before any answer (the day stays as it is)
    bool proven = false; // the search ended: nothing better exists
    bool cancelled = false;
    qint64 elapsedMs = 0;
    int overloadBefore = 0; // minutes above the row length, summed over the rows
    int overloadAfter = 0;
    int totalShiftMinutes = 0;
    QList<BalanceBlock> blocks;
    QList<BalanceMove> moves;
    // Filling: the blocks added, and how many of each wanted code found no place.
    QList<BalanceBlock> added;
    QList<QPair<QString, int>> notPlaced;
};

// How many more blocks of a treatment filling should place.
struct WantedBlocks {
    QString code;
    int count = 0;
};
