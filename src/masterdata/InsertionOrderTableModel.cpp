#include "masterdata/InsertionOrderTableModel.h"

bool InsertionOrderTableModel::selectAll()
{
    if (!select())
        return false;
    while (canFetchMore())
        fetchMore();
    return true;
}

QString InsertionOrderTableModel::orderByClause() const
{
    return QStringLiteral("ORDER BY ") + m_rowIdColumn;
}
