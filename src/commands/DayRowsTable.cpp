#include "commands/DayRowsTable.h"

#include <QHeaderView>

DayRowsTable::DayRowsTable(const QString& objectName, const QString& accessibleName, QWidget* parent)
    : QTableWidget(parent)
{
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setColumnCount(4);
    setHorizontalHeaderLabels(
        {QStringLiteral("Stuhl"), QStringLiteral("Behandlung"), QStringLiteral("Beginn"), QStringLiteral("Ende")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    // Tab leaves the table: it is only read.
    setTabKeyNavigation(false);
}

void DayRowsTable::showRows(const QList<TemplateRow>& rows)
{
    setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const TemplateRow& row = rows[i];
        const QStringList cells{row.chair, row.code.toString(), row.startTime.toString(), row.endTime.toString()};
        for (int column = 0; column < cells.size(); ++column)
            setItem(i, column, new QTableWidgetItem(cells[column]));
    }
}
