#pragma once

#include <QFlags>
#include <QString>

// The family's four tables that Lunaris reads and writes; what a change elsewhere may have touched.
enum class SharedTable {
    Template = 0x1,
    Idealtag = 0x2,
    Behand = 0x4,
    Stuhl = 0x8,
};
Q_DECLARE_FLAGS(SharedTables, SharedTable)
Q_DECLARE_OPERATORS_FOR_FLAGS(SharedTables)

inline constexpr SharedTables AllSharedTables =
    SharedTables(SharedTable::Template) | SharedTable::Idealtag | SharedTable::Behand | SharedTable::Stuhl;

// The table by its name as the database spells it (any case); none for another table.
SharedTables sharedTableNamed(const QString& name);
