#pragma once

#include "store/Tables.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// A stored day as it was before a save or a delete replaced it.
struct DayVersion {
    qint64 id = 0;
    QString day;
    QDateTime time; // local time of the save or delete that replaced it
    QString host;   // the workstation that replaced it
    QString user;
    QList<TemplateRow> rows;
    bool deleted = false; // replaced by a delete
};

// Table IdealtagVersion, Lunaris's own (the planner never reads it): every version of a day that a
// save or a delete replaced, at most Kept per day.
class DayVersionTable {
public:
    static constexpr int Kept = 100;

    explicit DayVersionTable(const Database& db) : m_db(db) {}
    // Creates the table when it is missing (the file: when writable; the server: under the schema's lock).
    static void ensure(const Database& db);
    // Whether the server database has the table and its index (asked without any right to create them).
    static bool presentOnServer(const Database& db);

    // Keeps the rows as the day's version replaced now; runs inside the caller's transaction.
    void keep(const QString& day, const QList<StoredBlock>& rows, bool deleted) const;
    // The same for the file, with the day's rows as they are stored now, copied by the database itself.
    void keepStored(const QString& day, bool deleted) const;
    // The day's versions, the newest first; empty when the table does not exist (a read-only file).
    QList<DayVersion> versionsOf(const QString& day) const;
    // Days that have versions but are no longer stored, in the order they were deleted (newest first).
    QStringList deletedDays() const;

    // The values of a new row of the table, in its field order (IDEALTAG to GELOESCHT).
    static QVariantList versionValues(const QString& day, const QList<StoredBlock>& rows, bool deleted);
    static QString encode(const QList<StoredBlock>& rows);
    static QList<TemplateRow> decode(const QString& text);

private:
    bool exists() const;
    void prune(const QString& day) const;
    const Database& m_db;
};
