#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

class Database;

// One field of a master table (Behand, Stuhl) and what it takes.
struct RecordField {
    enum class Kind { Text, WholeNumber, Number };
    QString name;
    Kind kind = Kind::Text;
};

// A row of a master table as it was read: its own identity in the table and its values, field by field.
struct StoredRecord {
    qint64 rowId = -1; // -1: not stored yet
    QVariantList values;
};

// Record-at-a-time access to a master table for the editors. A record is identified by the row's own
// identity, never by its values: the tables have no key, and two rows may be alike in every field.
// A write or deletion of a record that another program changed or removed since it was read is
// refused (ChangedElsewhere), so nobody's change is overwritten unseen.
class RecordTable {
public:
    static constexpr int ChangedElsewhere = 3197;
    static constexpr int RuleViolated = 3317;

    RecordTable(const Database& database, QString table, QList<RecordField> fields);

    const QString& table() const { return m_table; }
    const QList<RecordField>& fields() const { return m_fields; }

    // Every row in the order it was stored; throws LunarisError.
    QList<StoredRecord> readAll() const;
    // The values a new record starts with: the table's numeric defaults, nothing elsewhere.
    QVariantList defaults() const;

    // The value a field stores for what the user typed. Number fields take a decimal comma or point,
    // whole-number fields only whole numbers; anything else is refused with the message the table's
    // own rules give, so no text lands in a number field of a table without them. Empty is NULL.
    QVariant valueFor(int field, const QVariant& entry) const;
    // How a stored value is shown for typing: fractions with a decimal comma.
    QString displayText(int field, const QVariant& value) const;

    // Each runs in one transaction together with alongside (work on other tables that belongs to it).
    qint64 insert(const QVariantList& values) const;
    void update(const StoredRecord& read, const QVariantList& values,
                const std::function<void()>& alongside = {}) const;
    void remove(const StoredRecord& read, const std::function<void()>& alongside = {}) const;

private:
    QString fieldList() const;
    // "rowid = ? AND F1 IS ? AND …" with its values: the record exactly as it was read.
    QString unchangedSince(const StoredRecord& read, QVariantList& values) const;
    void requireOneRow(int affected) const;

    const Database& m_db;
    QString m_table;
    QList<RecordField> m_fields;
};
