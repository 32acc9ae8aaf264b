#pragma once

#include "store/RecordTable.h"

#include <QAbstractTableModel>

#include <functional>

// The rows of one master table as the editor's text boxes see them, one column per bound field.
// Typing changes only the entries here; store() writes one record, remove() deletes one, each by
// the row's identity. Failures of the data layer are thrown as LunarisError.
class RecordModel : public QAbstractTableModel {
public:
    explicit RecordModel(RecordTable table) : m_table(std::move(table)) {}

    // Reads the table again; every entry and unstored record is dropped. Throws LunarisError; the
    // model is then empty.
    void selectAll();
    bool hasTable() const { return m_readable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Begins a new record at the end with the table's defaults; returns its row.
    int appendNew();
    bool isStored(int row) const { return m_rows.at(row).read.rowId >= 0; }
    // The record as read, and the values the entries would store (throws for a refused entry).
    const StoredRecord& read(int row) const { return m_rows.at(row).read; }
    QVariantList valuesToStore(int row) const;
    // The row of a stored record after a new read; -1 when it is gone.
    int rowOf(qint64 rowId) const;

    // Writes the entries of a record; returns its identity. For a stored record alongside runs in the
    // same transaction.
    qint64 store(int row, const std::function<void()>& alongside = {});
    void remove(int row, const std::function<void()>& alongside = {});
    // Drops the entries and any record not stored yet.
    void revertAll();

private:
    struct Row {
        StoredRecord read;
        QVariantList entries; // what the boxes hold: the read values until the user's entries arrive
    };

    RecordTable m_table;
    QList<Row> m_rows;
    bool m_readable = false;
};
