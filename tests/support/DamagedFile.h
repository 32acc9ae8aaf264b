#pragma once

#include <QString>

// Overwrites the root page of a table or index of a database file, as a failing disk would. The file
// must not be open in this process.
void damageRootOf(const QString& path, const QString& name);

// A practice file with chair "Stuhl 1", treatment KONT (20 minutes) and "Montag" with one KONT block at
// 08:00, beside a planner's table "Termine" of 2000 rows whose root page is damaged: damage outside the
// program's own tables, which the background check finds.
void writePracticeDamagedOutsideOwnTables(const QString& path);
