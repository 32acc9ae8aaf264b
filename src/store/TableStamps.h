#pragma once

#include "store/SharedTables.h"

#include <QHash>

#include <optional>

class Database;

// In the file, a counter for each of the four shared tables, raised by triggers at every row another
// connection or this one writes there (the planner's writes fire them too). It tells which tables a commit
// elsewhere touched, where the file's data version only tells that something was committed. A table of
// Lunaris's own: the family's tables keep their columns.
class TableStamps {
public:
    static constexpr auto Table = "LunarisStand";

    using Counters = QHash<SharedTable, qint64>;

    // Creates the table and its triggers where they are missing, without waiting for another program's
    // lock. False when they cannot be there now: a read-only file, a file not yet checked, a lock held.
    static bool ensure(const Database& db);
    struct Reading {
        std::optional<Counters> counters; // none when they cannot be read
        bool busy = false;                // because another program holds the file: try again later
    };
    // The counters now, without waiting for another program's lock.
    static Reading readWithoutWaiting(const Database& db);
    // The tables whose counters differ.
    static SharedTables changedBetween(const Counters& before, const Counters& now);
};
