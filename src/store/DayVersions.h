#pragma once

#include "store/Tables.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class Database;

// What replaced a version of a day; stored as GELOESCHT (0 and 1 as ever, so older readers keep them apart).
// Overwritten: a save whose user agreed to replace the day saved elsewhere meanwhile, unseen.
enum class VersionCause { Saved = 0, Deleted = 1, Renamed = 2, Overwritten = 3 };

// A stored day as it was before a save, a delete or a rename replaced it.
struct DayVersion {
    qint64 id = 0;
    QString day;
    QDateTime time; // local time of the save or delete that replaced it
    QString host;   // the workstation that replaced it
    QString user;
    QList<TemplateRow> rows;
    bool deleted = false;     // replaced by a delete
    bool renamed = false;     // the day's name changed then; its rows stayed as they are here
    bool overwritten = false; // replaced by a save elsewhere whose user had not seen this state
};

// Table IdealtagVersion, Lunaris's own (the planner never reads it): every version of a day that a
// save, a delete or a rename replaced, at most Kept per day. A renamed day takes its versions along.
class DayVersionTable {
public:
    static constexpr int Kept = 100;

    explicit DayVersionTable(const Database& db) : m_db(db) {}
    // Creates the table when it is missing (the file: when writable; the server: under the schema's lock).
    static void ensure(const Database& db);
    // The statements that create the table and its index on the server when missing.
    static QStringList serverDefinition();
    // Whether the server database has the table and its index (asked without any right to create them).
    static bool presentOnServer(const Database& db);

    // Keeps the rows as the day's version replaced now; runs inside the caller's transaction.
    void keep(const QString& day, const QList<StoredBlock>& rows, VersionCause cause) const;
    // The same for the file, with the day's rows as they are stored now, copied by the database itself.
    void keepStored(const QString& day, VersionCause cause) const;
    // The day's versions, the newest first; empty when the table does not exist (a read-only file).
    QList<DayVersion> versionsOf(const QString& day) const;
    // The versions of `from` become those of `to` (renamed), the oldest going beyond Kept; in the caller's transaction.
    void moveVersions(const QString& from, const QString& to) const;
    // A chair renamed together with the stored days' rows: every version's rows of it take the new name too,
    // so that restoring an older version shows them in that chair's column. In the caller's transaction.
    void renameChair(const QString& from, const QString& to) const;
    // The newest version of the day that holds exactly these rows, when a save elsewhere replaced them unseen
    // (VersionCause::Overwritten); none when the newest such version was replaced otherwise, or there is none.
    std::optional<DayVersion> overwritten(const QString& day, const QList<StoredBlock>& rows) const;
    // Days that have versions but are no longer stored, in the order they were deleted (newest first).
    QStringList deletedDays() const;

    // The values of a new row of the table, in its field order (IDEALTAG to GELOESCHT).
    static QVariantList versionValues(const QString& day, const QList<StoredBlock>& rows, VersionCause cause);
    static QString encode(const QList<StoredBlock>& rows);
    static QList<TemplateRow> decode(const QString& text);

private:
    bool exists() const;
    void prune(const QString& day) const;
    const Database& m_db;
};
