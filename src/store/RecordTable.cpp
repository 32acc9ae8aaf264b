#include "store/RecordTable.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"

#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>

#include <cmath>

RecordTable::RecordTable(const Database& database, QString table, QList<RecordField> fields)
    : m_db(database), m_table(std::move(table)), m_fields(std::move(fields))
{
}

QString RecordTable::fieldList() const
{
    QStringList names;
    for (const RecordField& field : m_fields)
        names.append(field.name);
    return names.join(QStringLiteral(", "));
}

QList<StoredRecord> RecordTable::readAll() const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(fieldList(), m_table));
    QList<StoredRecord> records;
    while (readNext(q)) {
        StoredRecord record{q.value(0).toLongLong(), {}};
        for (int i = 0; i < m_fields.size(); ++i)
            record.values.append(q.value(i + 1));
        records.append(record);
    }
    return records;
}

QVariantList RecordTable::defaults() const
{
    const QSqlRecord columns = m_db.connection().record(m_db.sql(m_table));
    QVariantList values;
    for (const RecordField& field : m_fields) {
        QVariant value;
        if (field.kind != RecordField::Kind::Text) {
            const QVariant stated = columns.field(field.name).defaultValue();
            bool isNumber = false;
            stated.toString().toDouble(&isNumber);
            if (isNumber)
                value = stated;
        }
        values.append(value);
    }
    return values;
}

QVariant RecordTable::valueFor(int field, const QVariant& entry) const
{
    const RecordField& f = m_fields.at(field);
    if (f.kind == RecordField::Kind::Text || entry.isNull())
        return entry;
    const QString text = entry.toString().trimmed();
    if (text.isEmpty())
        return {};
    static const QRegularExpression whole(QStringLiteral("^[+-]?\\d+$"));
    static const QRegularExpression fraction(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)$"));
    const bool wholeOnly = f.kind == RecordField::Kind::WholeNumber;
    bool ok = false;
    if (whole.match(text).hasMatch()) {
        const qlonglong value = text.toLongLong(&ok);
        if (ok)
            return value;
    } else if (!wholeOnly && fraction.match(text).hasMatch()) {
        const double value = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (ok && std::isfinite(value))
            return value;
    }
    throw LunarisError(RuleViolated, numberRuleDescription(f.name, wholeOnly));
}

QString RecordTable::displayText(int field, const QVariant& value) const
{
    if (m_fields.at(field).kind == RecordField::Kind::Number && value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
    return value.toString();
}

QString RecordTable::unchangedSince(const StoredRecord& read, QVariantList& values) const
{
    // The rowid names the row; the fields tell whether it is still as the user saw it.
    QString condition = QStringLiteral("rowid = ?");
    values.append(read.rowId);
    for (int i = 0; i < m_fields.size(); ++i) {
        // The server has no IS with a value; its long form means the same (NULL equals NULL).
        condition +=
            (m_db.isServer() ? QStringLiteral(" AND %1 IS NOT DISTINCT FROM ?") : QStringLiteral(" AND %1 IS ?"))
                .arg(m_fields.at(i).name);
        values.append(read.values.value(i));
    }
    return condition;
}

void RecordTable::requireOneRow(int affected) const
{
    if (affected != 1)
        throw LunarisError(ChangedElsewhere, QStringLiteral("Der Datensatz wurde inzwischen von einem anderen "
                                                            "Programm geändert oder gelöscht. Er wird neu gelesen."));
}

qint64 RecordTable::insert(const QVariantList& values) const
{
    qint64 rowId = -1;
    m_db.inTransaction([&] {
        const QString marks = QStringList(m_fields.size(), QStringLiteral("?")).join(QStringLiteral(", "));
        QSqlQuery q = m_db.run(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING rowid").arg(m_table, fieldList(), marks), values);
        rowId = readNext(q) ? q.value(0).toLongLong() : -1;
    });
    return rowId;
}

void RecordTable::update(const StoredRecord& read, const QVariantList& values,
                         const std::function<void()>& alongside) const
{
    m_db.inTransaction([&] {
        QStringList assignments;
        for (const RecordField& field : m_fields)
            assignments.append(field.name + QStringLiteral(" = ?"));
        QVariantList bound = values;
        const QString condition = unchangedSince(read, bound);
        QSqlQuery q = m_db.run(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(m_table, assignments.join(QStringLiteral(", ")), condition),
            bound);
        requireOneRow(q.numRowsAffected());
        if (alongside)
            alongside();
    });
}

void RecordTable::remove(const StoredRecord& read, const std::function<void()>& alongside) const
{
    m_db.inTransaction([&] {
        QVariantList bound;
        const QString condition = unchangedSince(read, bound);
        QSqlQuery q = m_db.run(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_table, condition), bound);
        requireOneRow(q.numRowsAffected());
        if (alongside)
            alongside();
    });
}
