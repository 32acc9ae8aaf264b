#pragma once

#include <QSqlTableModel>

// A table model that lists the rows in the order they were stored, as every other reader of the
// practice tables does (the n-th chair is the n-th column of the main window).
class InsertionOrderTableModel : public QSqlTableModel {
public:
    using QSqlTableModel::QSqlTableModel;

    // Reads every row at once: the positions the editor shows count from the whole table, and the
    // read is finished, so no lock stays on the file.
    bool selectAll();
    // The column that gives the insertion order (Database::rowIdColumn).
    void setRowIdColumn(const QString& column) { m_rowIdColumn = column; }

protected:
    QString orderByClause() const override;

private:
    QString m_rowIdColumn = QStringLiteral("rowid");
};
