#pragma once

#include <QString>

// Overwrites the root page of a table or index of a database file, as a failing disk would. The file
// must not be open in this process.
void damageRootOf(const QString& path, const QString& name);
