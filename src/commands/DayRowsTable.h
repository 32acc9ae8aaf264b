#pragma once

#include "store/Tables.h"

#include <QTableWidget>

// A day's rows shown read-only beside a list of stored states (versions, backups): chair, treatment,
// start, end.
class DayRowsTable : public QTableWidget {
public:
    DayRowsTable(const QString& objectName, const QString& accessibleName, QWidget* parent);
    void showRows(const QList<TemplateRow>& rows);
};
