#include "masterdata/RecordModel.h"

void RecordModel::selectAll()
{
    beginResetModel();
    m_rows.clear();
    m_readable = false;
    try {
        for (const StoredRecord& record : m_table.readAll())
            m_rows.append({record, record.values});
        m_readable = true;
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

int RecordModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_table.fields().size());
}

QVariant RecordModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const Row& row = m_rows.at(index.row());
    const QVariant& entry = row.entries.at(index.column());
    // An entry the user made is shown as typed; a stored value as the field shows it.
    if (entry == row.read.values.value(index.column()))
        return m_table.displayText(index.column(), entry);
    return entry;
}

bool RecordModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    Row& row = m_rows[index.row()];
    const QVariant& stored = row.read.values.value(index.column());
    // The box shows the stored value as text; getting that text back changes nothing.
    const bool unchanged = (value.isNull() && stored.isNull()) ||
                           (!stored.isNull() && value.toString() == m_table.displayText(index.column(), stored)) ||
                           (stored.isNull() && value.toString().isEmpty() && row.read.rowId >= 0);
    row.entries[index.column()] = unchanged ? stored : value;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

int RecordModel::appendNew()
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    const QVariantList defaults = m_table.defaults();
    m_rows.append({StoredRecord{-1, defaults}, defaults});
    endInsertRows();
    return row;
}

QVariantList RecordModel::valuesToStore(int row) const
{
    const Row& r = m_rows.at(row);
    QVariantList values;
    for (int i = 0; i < r.entries.size(); ++i) {
        // A stored value nobody changed is written back as it is, whatever another program put there.
        const bool untouched = r.read.rowId >= 0 && r.entries.at(i) == r.read.values.value(i) &&
                               r.entries.at(i).typeId() == r.read.values.value(i).typeId();
        values.append(untouched ? r.entries.at(i) : m_table.valueFor(i, r.entries.at(i)));
    }
    return values;
}

int RecordModel::rowOf(qint64 rowId) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).read.rowId == rowId)
            return i;
    return -1;
}

qint64 RecordModel::store(int row, const std::function<void()>& alongside)
{
    const QVariantList values = valuesToStore(row);
    const Row& r = m_rows.at(row);
    if (r.read.rowId < 0)
        return m_table.insert(values); // a new record: nothing else refers to it yet
    m_table.update(r.read, values, alongside);
    return r.read.rowId;
}

void RecordModel::remove(int row, const std::function<void()>& alongside)
{
    m_table.remove(m_rows.at(row).read, alongside);
}

void RecordModel::revertAll()
{
    beginResetModel();
    QList<Row> kept;
    for (Row& row : m_rows) {
        if (row.read.rowId < 0)
            continue;
        row.entries = row.read.values;
        kept.append(row);
    }
    m_rows = kept;
    endResetModel();
}
