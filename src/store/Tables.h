#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

#include "store/ChangeStamp.h"

class Database;

// One row of table Behand. Numeric fields are kept raw: files written by other programs may hold
// NULL or text there, and each reader decides what that means (see wholeNumber / number).
struct Treatment {
    QString code; // BEH
    QString text; // TEXT
    QVariant dauer, drStart, drDauer, drStart2, drDauer2, hon;
};

// A numeric field as a whole number; throws LunarisError 94 for NULL and 13 for a non-number
// (infinity and NaN included).
int wholeNumber(const QVariant& field);
// A numeric field as a number; throws like wholeNumber.
double number(const QVariant& field);
// A text field; throws LunarisError 94 for NULL.
QString textOf(const QVariant& field);

// One row of table Template. Fields read from the file stay raw for the same reason as above.
struct TemplateRow {
    QString chair;      // STUHL
    QVariant code;      // BEH
    QVariant startTime; // STARTZEIT
    QVariant endTime;   // ENDZEIT
};

// A row of table Template as it is stored, with its place in the table.
struct StoredBlock {
    qint64 rowId;
    TemplateRow row;
};

// The stored rows of one day as the screen knows them: those it shows (loaded, or written by the last
// save) and those it could not show. A save replaces only the shown ones; the others stay as stored.
struct RowsOnScreen {
    QString day;
    QSet<qint64> rowIds;
    QList<StoredBlock> unshown;
    // Every stored row of the day as the window last read or wrote it: when the table holds other rows
    // at the next save, someone else has saved the day meanwhile.
    QList<StoredBlock> stored;
    // The day was listed in Idealtag then: gone at the next save means deleted elsewhere.
    bool listed = false;
    // Identity of the day's row in Idealtag when it was read (0: not known). A rename elsewhere keeps it.
    qint64 listingId = 0;
    // False when the stored rows could not be read: a save under this name could delete rows never seen.
    bool complete = true;
    // The chairs that have a column here: rows of other chairs are never replaced by a save.
    QSet<QString> chairs;
    // Database::changeStamp() when `stored` was read or written; unchanged means no one wrote since.
    ChangeStamp stamp;
    // When this window wrote `stored` (invalid: read, not written here).
    QDateTime savedAt;
};

// A stored day as it is now: its rows and whether Idealtag lists it.
struct DayInStore {
    QList<StoredBlock> blocks;
    bool listed = false;
    // STUHL of every row of table Stuhl in table order, when read with the day.
    QVariantList chairs;
    qint64 listingId = 0; // the row in Idealtag, when listed
};

// Whether two lists of stored rows are the same rows with the same fields, in the same order.
bool sameStoredRows(const QList<StoredBlock>& a, const QList<StoredBlock>& b);

// A row of table Stuhl: its identity, which a rename keeps, and its name.
struct ChairRow {
    qint64 id = 0;
    QString name;
    bool operator==(const ChairRow&) const = default;
};

// Table Stuhl: the chairs, in table order (column n is the n-th row).
class ChairTable {
public:
    explicit ChairTable(const Database& db) : m_db(db) {}
    QStringList names() const;
    QList<ChairRow> rows() const; // in table order
    // STUHL of every row as stored: a NULL stays NULL (no caption can be made of it).
    QVariantList storedNames() const;
    int count() const;

private:
    const Database& m_db;
};

// Table Behand: the treatments.
class TreatmentTable {
public:
    explicit TreatmentTable(const Database& db) : m_db(db) {}
    QStringList codes() const;                                // in table order
    std::optional<Treatment> find(const QString& code) const; // the first row with this code
    QList<Treatment> all() const;                             // in table order

private:
    const Database& m_db;
};

// Table Idealtag: the names of the stored ideal days.
class IdealtagTable {
public:
    explicit IdealtagTable(const Database& db) : m_db(db) {}
    QStringList names() const; // in table order; rows without a name are left out
    bool contains(const QString& name) const;
    void add(const QString& name) const;
    void remove(const QString& name) const;

private:
    const Database& m_db;
};

// Table Template: the blocks of the stored ideal days.
class IdealDayStore {
public:
    explicit IdealDayStore(const Database& db) : m_db(db) {}
    QList<TemplateRow> blocksOf(const QString& day, const QString& chair) const;
    QList<TemplateRow> blocksOfDay(const QString& day) const;
    QList<StoredBlock> storedBlocksOfDay(const QString& day) const; // in table order
    DayInStore storedDay(const QString& day) const;                 // one statement
    DayInStore storedDayWithChairs(const QString& day) const;       // one statement, the chairs too
    // Replaces the stored blocks of the day by rows, and registers the name in Idealtag when it is
    // not there yet; one transaction, so a failure leaves the stored day as it was. Returns the rows
    // written. When onScreen belongs to this day, only its shown rows are replaced: rows the load
    // could not show (bad fields, chairs without a column) were never seen and stay.
    // Like replaceDay, but when the day is the one onScreen belongs to and its stored rows have changed
    // since (another workstation, the planner), asks confirmOverwrite first, in the same transaction
    // as the write so nothing can come in between. Nothing comes back, and nothing is written, when the
    // answer is no.
    // The question is asked with no transaction open, so every other workstation can go on meanwhile;
    // the write compares again and asks again if the day changed once more. confirmRecreate is asked
    // when the day was deleted elsewhere since it was read (without it, the day is simply stored).
    std::optional<RowsOnScreen> saveDay(const QString& day, const QList<TemplateRow>& rows,
                                        const RowsOnScreen& onScreen, const std::function<bool()>& confirmOverwrite,
                                        const std::function<bool()>& confirmRecreate = {}) const;
    RowsOnScreen replaceDay(const QString& day, const QList<TemplateRow>& rows,
                            const RowsOnScreen& onScreen = {}) const;
    // Removes every block of the day and its name in Idealtag; one transaction, which keeps the
    // removed day as a version.
    void deleteDay(const QString& day) const;
    // As above, but when the day changed since onScreen was read, confirmChanged is asked first (outside
    // any transaction). False when the answer was no: nothing deleted.
    bool deleteDay(const QString& day, const RowsOnScreen& onScreen, const std::function<bool()>& confirmChanged) const;

    enum class Renaming { Renamed, NameTaken, Missing };
    // Gives the day another name in Idealtag and Template, in one transaction: its rows keep their
    // identities, its versions move along, and a version records the rename. NameTaken (nothing
    // changed) when a day of that name is listed or has rows; Missing (nothing changed) when the day
    // is neither listed nor has rows (deleted elsewhere meanwhile).
    Renaming renameDay(const QString& from, const QString& to) const;
    // The name the day of `shown` has now, when it was renamed elsewhere since it was read.
    std::optional<QString> renamedAs(const RowsOnScreen& shown) const;

    // How many stored days have rows in this chair.
    int daysUsingChair(const QString& chair) const;
    // Moves or removes the rows of a chair in every day; callers run these in the chair's own transaction.
    void renameChair(const QString& from, const QString& to) const;
    void removeChair(const QString& chair) const;

private:
    const Database& m_db;
};
