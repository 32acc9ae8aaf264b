#include "store/Tables.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/RowsJson.h"
#include "store/ServerSchema.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

QList<StoredBlock> IdealDayStore::storedBlocksOfDay(const QString& day) const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT rowid, STUHL, BEH, STARTZEIT, ENDZEIT FROM Template "
                                          "WHERE IDEALTAG = ? ORDER BY rowid"),
                           {day});
    QList<StoredBlock> blocks;
    while (readNext(q))
        blocks.append({q.value(0).toLongLong(), {q.value(1).toString(), q.value(2), q.value(3), q.value(4)}});
    return blocks;
}

namespace {
DayInStore readDay(QSqlQuery q)
{
    DayInStore stored;
    while (readNext(q)) {
        switch (q.value(0).toInt()) {
        case 0:
            stored.blocks.append(
                {q.value(1).toLongLong(), {q.value(2).toString(), q.value(3), q.value(4), q.value(5)}});
            break;
        case 1:
            stored.listed = true;
            stored.listingId = q.value(1).toLongLong();
            break;
        default:
            stored.chairs.append(q.value(2));
        }
    }
    return stored;
}

// The rows of the day (kind 0) and its listing (kind 1): one statement, as across a network each
// statement is a round trip.
const QString DayStatement =
    QStringLiteral("SELECT 0, rowid, STUHL, BEH, STARTZEIT, ENDZEIT FROM Template WHERE IDEALTAG = ? UNION ALL "
                   "SELECT 1, rowid, NULL, NULL, NULL, NULL FROM Idealtag WHERE IDEALTAG = ?");
} // namespace

DayInStore IdealDayStore::storedDay(const QString& day) const
{
    return readDay(m_db.run(DayStatement + QStringLiteral(" ORDER BY 1, 2"), {day, day}));
}

DayInStore IdealDayStore::storedDayWithChairs(const QString& day) const
{
    // Opening a day is the user's: the window goes on answering while the network holds the answer up.
    return readDay(m_db.runAwaited(
        DayStatement + QStringLiteral(" UNION ALL SELECT 2, rowid, STUHL, NULL, NULL, NULL FROM Stuhl ORDER BY 1, 2"),
        {day, day}));
}

bool sameStoredRows(const QList<StoredBlock>& a, const QList<StoredBlock>& b)
{
    const auto same = [](const QVariant& x, const QVariant& y) {
        return x.isNull() == y.isNull() && x.toString() == y.toString();
    };
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const TemplateRow& x = a[i].row;
        const TemplateRow& y = b[i].row;
        if (a[i].rowId != b[i].rowId || x.chair != y.chair || !same(x.code, y.code) ||
            !same(x.startTime, y.startTime) || !same(x.endTime, y.endTime))
            return false;
    }
    return true;
}

namespace {
bool byRowId(const StoredBlock& a, const StoredBlock& b)
{
    return a.rowId < b.rowId;
}

// The rows as stored under the identities they were given. Rows added one after the other get rising
// identities, so the identities in ascending order belong to the rows in theirs.
QList<StoredBlock> asStored(const QList<TemplateRow>& rows, QList<qint64> ids)
{
    if (ids.size() != rows.size())
        throw LunarisError(0, QStringLiteral("Die Blöcke wurden nicht vollständig gespeichert."));
    std::sort(ids.begin(), ids.end());
    QList<StoredBlock> stored;
    stored.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        stored.append(
            {ids[i],
             {rows[i].chair, storedField(rows[i].code), storedField(rows[i].startTime), storedField(rows[i].endTime)}});
    return stored;
}

void removeRows(const Database& db, const QString& day, const QList<qint64>& rowIds)
{
    if (rowIds.isEmpty())
        return;
    QJsonArray ids;
    for (const qint64 id : rowIds)
        ids.append(id);
    db.run(QStringLiteral("DELETE FROM Template WHERE IDEALTAG = ? AND rowid IN (SELECT value FROM json_each(?))"),
           {day, QString::fromUtf8(QJsonDocument(ids).toJson(QJsonDocument::Compact))});
}

// Inserts the rows in their order and returns them as stored.
QList<StoredBlock> insertRows(const Database& db, const QString& day, const QList<TemplateRow>& rows)
{
    if (rows.isEmpty())
        return {};
    QSqlQuery insert =
        db.run(QStringLiteral("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) SELECT ?, "
                              "value ->> 0, value ->> 1, value ->> 2, value ->> 3 FROM json_each(?) ORDER BY key "
                              "RETURNING rowid"),
               {day, rowsToJson(rows)});
    QList<qint64> ids;
    ids.reserve(rows.size());
    while (readNext(insert))
        ids.append(insert.value(0).toLongLong());
    return asStored(rows, ids);
}

// The file has no round trips to save: one statement a step.
QList<StoredBlock> writeInFile(const Database& db, const QString& day, const DayInStore& now, bool keepVersion,
                               VersionCause cause, const QList<qint64>& removed, const QList<TemplateRow>& rows)
{
    if (keepVersion)
        DayVersionTable(db).keepStored(day, cause);
    // Usually every stored row of the day is replaced.
    if (!removed.isEmpty() && removed.size() == now.blocks.size())
        db.run(QStringLiteral("DELETE FROM Template WHERE IDEALTAG = ?"), {day});
    else
        removeRows(db, day, removed);
    const QList<StoredBlock> inserted = insertRows(db, day, rows);
    if (!now.listed)
        db.run(QStringLiteral("INSERT INTO Idealtag (IDEALTAG) SELECT ? WHERE NOT EXISTS "
                              "(SELECT 1 FROM Idealtag WHERE IDEALTAG = ?)"),
               {day, day});
    return inserted;
}

// A PostgreSQL array literal of texts: {"a","b",NULL}.
QString textArray(const QList<QVariant>& values)
{
    QStringList elements;
    for (const QVariant& value : values) {
        if (hasNoValue(value)) {
            elements.append(QStringLiteral("NULL"));
            continue;
        }
        QString text = value.toString();
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        elements.append(QLatin1Char('"') + text + QLatin1Char('"'));
    }
    return QLatin1Char('{') + elements.join(QLatin1Char(',')) + QLatin1Char('}');
}

// A moment for the server, which reads it in its own time zone; none (unknown) as NULL.
QVariant serverTime(const QDateTime& moment)
{
    if (!moment.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return moment.toUTC().toString(Qt::ISODateWithMs);
}

// What the server did with a save: written, or refused because the day is no longer as expected.
struct ServerSave {
    bool written = false;
    QList<StoredBlock> stays;    // written: the stored rows the save kept
    QList<StoredBlock> inserted; // written: the rows it added
    DayInStore now;              // refused: the day as it is stored now
};

// Across a network every statement is a round trip: the comparison with what the window expects, the
// version, the removal, the name and the rows go in one statement, whatever the size of the day; it
// writes nothing when the comparison fails and then returns the day as stored. With the server's save function
// (ServerSchema::SaveFunction) that statement runs on its own, in autocommit, and takes the table lock itself; without
// it the caller's transaction has taken the lock before, so no other save comes between the comparison and the write.
// The function's call is sent unprepared: its one round trip is the first one too.
ServerSave saveOnServer(const Database& db, const QString& day, bool checking, bool askDeleted,
                        const QList<StoredBlock>& expected, bool replaceAll, const QSet<qint64>& replaced,
                        const QList<TemplateRow>& rows, VersionCause cause)
{
    QStringList ids;
    for (const qint64 id : replaced)
        ids.append(QString::number(id));
    QVariantList chairs, codes, starts, ends;
    for (const TemplateRow& row : rows) {
        chairs.append(row.chair);
        codes.append(row.code);
        starts.append(row.startTime);
        ends.append(row.endTime);
    }
    const QVariantList version = DayVersionTable::versionValues(day, {}, cause);
    const QString idArray = QLatin1Char('{') + ids.join(QLatin1Char(',')) + QLatin1Char('}');
    QSqlQuery result;
    if (db.hasSaveFunction()) {
        // The window goes on answering while the network holds the answer up.
        result = db.runAwaited(
            QStringLiteral("SELECT * FROM %1(CAST(? AS text), CAST(? AS boolean), CAST(? AS boolean), "
                           "CAST(? AS jsonb), CAST(? AS text), CAST(? AS text), CAST(? AS text), "
                           "CAST(? AS integer), CAST(? AS integer), CAST(? AS boolean), "
                           "CAST(? AS bigint[]), CAST(? AS text[]), CAST(? AS text[]), CAST(? AS text[]), "
                           "CAST(? AS text[]), CAST(? AS timestamptz))")
                .arg(ServerSchema::SaveFunction),
            {day, askDeleted, checking, storedRowsToJson(expected), version[1], version[2], version[3], int(cause),
             DayVersionTable::Kept, replaceAll, idArray, textArray(chairs), textArray(codes), textArray(starts),
             textArray(ends), serverTime(db.serverDeadline())});
    } else {
        QVariantList values{day, day, askDeleted, checking, storedRowsToJson(expected)};
        values << version.mid(0, 4) << int(cause) << day << day << DayVersionTable::Kept << day << replaceAll << idArray
               << day << day << textArray(chairs) << textArray(codes) << textArray(starts) << textArray(ends);
        result = db.run(
            QStringLiteral(
                "WITH cur AS (SELECT rowid, STUHL, BEH, STARTZEIT, ENDZEIT FROM Template WHERE IDEALTAG = ?), "
                "listed AS (SELECT EXISTS (SELECT 1 FROM Idealtag WHERE IDEALTAG = ?) AS v), "
                "ok AS (SELECT NOT (CAST(? AS boolean) AND NOT (SELECT v FROM listed)) AND (NOT CAST(? AS boolean) "
                "OR (SELECT coalesce(jsonb_agg(jsonb_build_array(rowid, coalesce(STUHL, ''), BEH, STARTZEIT, "
                "ENDZEIT) ORDER BY rowid), '[]') FROM cur) = CAST(? AS jsonb)) AS v), "
                "kept AS (SELECT EXISTS (SELECT 1 FROM cur) OR (SELECT v FROM listed) AS v), "
                "version AS (INSERT INTO IdealtagVersion (IDEALTAG, ZEIT, ARBEITSPLATZ, BENUTZER, ZEILEN, GELOESCHT) "
                "SELECT ?, ?, ?, ?, coalesce((SELECT json_agg(json_build_array(STUHL, BEH, STARTZEIT, ENDZEIT) "
                "ORDER BY rowid) FROM cur)::text, '[]'), CAST(? AS integer) WHERE (SELECT v FROM ok) AND "
                "(SELECT v FROM kept)), "
                "pruned AS (DELETE FROM IdealtagVersion WHERE (SELECT v FROM ok) AND IDEALTAG = ? AND rowid NOT IN "
                "(SELECT rowid FROM IdealtagVersion WHERE IDEALTAG = ? ORDER BY rowid DESC LIMIT "
                "(SELECT CAST(? AS integer) - CASE WHEN v THEN 1 ELSE 0 END FROM kept))), "
                "removed AS (DELETE FROM Template WHERE (SELECT v FROM ok) AND IDEALTAG = ? AND "
                "(CAST(? AS boolean) OR rowid = ANY(CAST(? AS bigint[]))) RETURNING rowid), "
                "listing AS (INSERT INTO Idealtag (IDEALTAG) SELECT ? WHERE (SELECT v FROM ok) AND "
                "NOT (SELECT v FROM listed)), "
                "ins AS (INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) SELECT ?, r.s, r.b, r.st, "
                "r.e FROM unnest(CAST(? AS text[]), CAST(? AS text[]), CAST(? AS text[]), CAST(? AS text[])) "
                "WITH ORDINALITY AS r(s, b, st, e, n) WHERE (SELECT v FROM ok) ORDER BY r.n RETURNING rowid) "
                "SELECT 0, rowid, NULL, NULL, NULL, NULL FROM ins "
                "UNION ALL SELECT 1, rowid, STUHL, BEH, STARTZEIT, ENDZEIT FROM cur WHERE (SELECT v FROM ok) AND "
                "rowid NOT IN (SELECT rowid FROM removed) "
                "UNION ALL SELECT 2, rowid, STUHL, BEH, STARTZEIT, ENDZEIT FROM cur WHERE NOT (SELECT v FROM ok) "
                "UNION ALL SELECT 3, CAST((SELECT v FROM listed) AS integer), NULL, NULL, NULL, NULL "
                "WHERE NOT (SELECT v FROM ok) "
                "UNION ALL SELECT 4, NULL, NULL, NULL, NULL, NULL WHERE (SELECT v FROM ok)"),
            values);
    }
    ServerSave save;
    bool answered = false;
    bool tooLate = false;
    QList<qint64> insertedIds;
    while (readNext(result)) {
        const StoredBlock block{result.value(1).toLongLong(),
                                {result.value(2).toString(), result.value(3), result.value(4), result.value(5)}};
        switch (result.value(0).toInt()) {
        case 0:
            insertedIds.append(block.rowId);
            break;
        case 1:
            save.stays.append(block);
            break;
        case 2:
            save.now.blocks.append(block);
            break;
        case 3:
            answered = true;
            save.now.listed = block.rowId != 0;
            break;
        case 5:
            tooLate = true;
            db.serverClockRead(block.rowId);
            break;
        default:
            answered = save.written = true;
        }
    }
    if (tooLate)
        throw LunarisError(Database::ServerUnreachable,
                           QStringLiteral("Der Datenbankserver konnte das Speichern nicht innerhalb von %1 Sekunden "
                                          "ausführen und hat es verworfen; es wurde nichts gespeichert. Bitte "
                                          "speichern Sie erneut.")
                               .arg(Database::StatementTimeoutMs / 1000));
    // A connection lost at the wrong moment has been seen to end the result early without an error:
    // a save is written only when the server says so.
    if (!answered && db.hasSaveFunction()) {
        // In autocommit the statement may have been written all the same: the connection is given up, and
        // the day as stored tells.
        db.noticeClosedConnection();
        throw LunarisError(Database::ServerUnreachable,
                           QStringLiteral("Der Datenbankserver hat das Speichern nicht bestätigt."));
    }
    if (!answered)
        throw LunarisError(Database::ServerUnreachable,
                           QStringLiteral("Der Datenbankserver hat das Speichern nicht bestätigt; es wurde nichts "
                                          "gespeichert."));
    if (save.written)
        save.inserted = asStored(rows, insertedIds);
    std::sort(save.stays.begin(), save.stays.end(), byRowId);
    std::sort(save.now.blocks.begin(), save.now.blocks.end(), byRowId);
    return save;
}

// After a save in autocommit whose answer was lost: whether the day as stored now is that save's work, and
// then which of its rows the save kept and which it added. The server's identities only rise, so the save's
// rows are the day's last, above every identity the save knew of, and none of the rows it replaced is left.
// Only another save of the very same rows between could look alike, and its result is the same.
bool writtenBy(const DayInStore& stored, const QList<TemplateRow>& rows, const QSet<qint64>& replaced, bool replaceAll,
               qint64 knownAbove, QList<StoredBlock>& stays, QList<StoredBlock>& inserted)
{
    if (!stored.listed || stored.blocks.size() < rows.size())
        return false;
    const qsizetype kept = stored.blocks.size() - rows.size();
    if (replaceAll && kept > 0)
        return false;
    stays = stored.blocks.mid(0, kept);
    inserted = stored.blocks.mid(kept);
    for (const StoredBlock& block : std::as_const(stays))
        if (replaced.contains(block.rowId))
            return false;
    QList<StoredBlock> expected;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (inserted[i].rowId <= knownAbove)
            return false;
        expected.append(
            {inserted[i].rowId,
             {rows[i].chair, storedField(rows[i].code), storedField(rows[i].startTime), storedField(rows[i].endTime)}});
    }
    return sameStoredRows(inserted, expected);
}

// The stored rows of the day that a save from this window replaces once the user agreed to overwrite
// what another workstation stored: those in chairs the window shows, but for rows it could not show.
QSet<qint64> replaceableRows(const QList<StoredBlock>& now, const RowsOnScreen& onScreen)
{
    QSet<qint64> unshown;
    for (const StoredBlock& block : onScreen.unshown)
        unshown.insert(block.rowId);
    QSet<qint64> replaced;
    for (const StoredBlock& block : now)
        if (!unshown.contains(block.rowId) && (onScreen.chairs.isEmpty() || onScreen.chairs.contains(block.row.chair)))
            replaced.insert(block.rowId);
    return replaced;
}
} // namespace

RowsOnScreen IdealDayStore::replaceDay(const QString& day, const QList<TemplateRow>& rows,
                                       const RowsOnScreen& onScreen) const
{
    return *saveDay(day, rows, onScreen, {});
}

std::optional<RowsOnScreen> IdealDayStore::saveDay(const QString& day, const QList<TemplateRow>& rows,
                                                   const RowsOnScreen& onScreen,
                                                   const std::function<bool()>& confirmOverwrite,
                                                   const std::function<bool()>& confirmRecreate) const
{
    const bool sameDay = onScreen.day == day;
    const bool checking = sameDay && confirmOverwrite;
    // What this save believes stored, and which of those rows it replaces.
    QList<StoredBlock> expected = sameDay ? onScreen.stored : QList<StoredBlock>();
    bool expectListed = sameDay && onScreen.listed;
    ChangeStamp stamp = sameDay ? onScreen.stamp : ChangeStamp();
    QSet<qint64> replaced = onScreen.rowIds;
    // The version a save keeps tells whether it replaced a state its user had not seen.
    VersionCause cause = VersionCause::Saved;
    enum class Conflict { None, Changed, Deleted };
    for (;;) {
        Conflict conflict = Conflict::None;
        DayInStore now;
        RowsOnScreen written;
        const auto keep = [&](const QList<StoredBlock>& stays, const QList<StoredBlock>& inserted) {
            written.day = day;
            for (const StoredBlock& block : inserted)
                written.rowIds.insert(block.rowId);
            written.unshown = stays;
            written.stored = stays + inserted;
            std::sort(written.stored.begin(), written.stored.end(), byRowId);
            written.listed = true;
            // The file says where the day is listed; the server's identities are never reused, so the one
            // read before still names the listing unless the day was deleted meanwhile (then it names none).
            written.listingId = m_db.isServer() ? (sameDay ? onScreen.listingId : 0) : now.listingId;
            written.chairs = onScreen.chairs;
            // Inside the transaction, where no other program can commit before it ends.
            written.stamp = m_db.changeStamp();
            written.savedAt = QDateTime::currentDateTime();
        };
        const auto write = [&] {
            QList<StoredBlock> stays, inserted;
            if (m_db.isServer()) {
                const bool askDeleted = checking && expectListed && confirmRecreate;
                ServerSave save =
                    saveOnServer(m_db, day, checking, askDeleted, expected, !sameDay, replaced, rows, cause);
                if (!save.written) {
                    now = save.now;
                    conflict = askDeleted && !now.listed ? Conflict::Deleted : Conflict::Changed;
                    return;
                }
                stays = save.stays;
                inserted = save.inserted;
            } else {
                // Nobody wrote to the file since the day was read: its rows are known without reading them.
                const bool unchanged = sameDay && stamp.isValid() && m_db.changeStamp() == stamp;
                now = unchanged ? DayInStore{expected, expectListed, {}, onScreen.listingId} : storedDay(day);
                if (checking && !unchanged) {
                    if (expectListed && !now.listed && confirmRecreate) {
                        conflict = Conflict::Deleted;
                        return;
                    }
                    if (!sameStoredRows(now.blocks, expected)) {
                        conflict = Conflict::Changed;
                        return;
                    }
                }
                // Saved under another name (Save As), every stored row of that name is replaced.
                QList<qint64> removed;
                for (const StoredBlock& block : std::as_const(now.blocks)) {
                    if (!sameDay || replaced.contains(block.rowId))
                        removed.append(block.rowId);
                    else
                        stays.append(block);
                }
                inserted = writeInFile(m_db, day, now, !now.blocks.isEmpty() || now.listed, cause, removed, rows);
            }
            keep(stays, inserted);
        };
        if (m_db.isServer() && m_db.hasSaveFunction()) {
            // One statement in autocommit; after a lost answer the day as stored tells whether it was written.
            qint64 knownAbove = 0;
            for (const StoredBlock& block : std::as_const(expected))
                knownAbove = std::max(knownAbove, block.rowId);
            for (const qint64 id : std::as_const(replaced))
                knownAbove = std::max(knownAbove, id);
            const auto savedAfterAll = [&] {
                QList<StoredBlock> stays, inserted;
                if (!writtenBy(storedDay(day), rows, replaced, !sameDay, knownAbove, stays, inserted))
                    return false;
                keep(stays, inserted);
                return true;
            };
            m_db.writeAlone(write, savedAfterAll);
        } else {
            // After a COMMIT whose answer was lost: stored as written, or not at all.
            const auto writtenAfterAll = [&] {
                const DayInStore stored = storedDay(day);
                return stored.listed && sameStoredRows(stored.blocks, written.stored);
            };
            m_db.inTransaction(write, writtenAfterAll);
        }
        if (conflict == Conflict::None)
            return written;
        // Asked with no transaction open: every other workstation can read and write meanwhile.
        if (!(conflict == Conflict::Changed ? confirmOverwrite() : confirmRecreate()))
            return std::nullopt;
        if (conflict == Conflict::Changed)
            cause = VersionCause::Overwritten;
        // Agreed to replace the day as it is now; if it changes once more before the write, asked again.
        expected = now.blocks;
        expectListed = now.listed;
        stamp = {};
        replaced = replaceableRows(now.blocks, onScreen);
    }
}

void IdealDayStore::deleteDay(const QString& day) const
{
    deleteDay(day, {}, {});
}

bool IdealDayStore::deleteDay(const QString& day, const RowsOnScreen& onScreen,
                              const std::function<bool()>& confirmChanged) const
{
    const bool checking = onScreen.day == day && confirmChanged;
    QList<StoredBlock> expected = onScreen.stored;
    for (;;) {
        bool changed = false;
        const auto remove = [&] {
            const DayInStore now = storedDay(day);
            if (checking && !sameStoredRows(now.blocks, expected) && (now.listed || !now.blocks.isEmpty())) {
                changed = true;
                expected = now.blocks;
                return;
            }
            if ((!now.blocks.isEmpty() || now.listed) && m_db.isServer())
                DayVersionTable(m_db).keep(day, now.blocks, VersionCause::Deleted);
            else if (!now.blocks.isEmpty() || now.listed)
                DayVersionTable(m_db).keepStored(day, VersionCause::Deleted);
            m_db.run(QStringLiteral("DELETE FROM Template WHERE IDEALTAG = ?"), {day});
            m_db.run(QStringLiteral("DELETE FROM Idealtag WHERE IDEALTAG = ?"), {day});
        };
        const auto removedAfterAll = [&] {
            const DayInStore stored = storedDay(day);
            return changed || (!stored.listed && stored.blocks.isEmpty());
        };
        m_db.inTransaction(remove, removedAfterAll);
        if (!changed)
            return true;
        if (!confirmChanged())
            return false;
    }
}

IdealDayStore::Renaming IdealDayStore::renameDay(const QString& from, const QString& to) const
{
    if (from == to)
        return Renaming::Renamed;
    Renaming result = Renaming::Renamed;
    m_db.inTransaction([&] {
        // Rows under the new name without a listing (the planner's) would become part of the day.
        const DayInStore taken = storedDay(to);
        if (taken.listed || !taken.blocks.isEmpty()) {
            result = Renaming::NameTaken;
            return;
        }
        const DayInStore day = storedDay(from);
        if (!day.listed && day.blocks.isEmpty()) {
            result = Renaming::Missing;
            return;
        }
        const DayVersionTable versions(m_db);
        versions.moveVersions(from, to);
        versions.keep(to, day.blocks, VersionCause::Renamed);
        m_db.run(QStringLiteral("UPDATE Template SET IDEALTAG = ? WHERE IDEALTAG = ?"), {to, from});
        m_db.run(QStringLiteral("UPDATE Idealtag SET IDEALTAG = ? WHERE IDEALTAG = ?"), {to, from});
    });
    return result;
}

std::optional<QString> IdealDayStore::renamedAs(const RowsOnScreen& shown) const
{
    const bool hasRows = !shown.stored.isEmpty();
    if (!shown.listed || (!shown.listingId && !hasRows))
        return std::nullopt;
    // A rename keeps the identities of the day's listing and rows; where they are now is its name.
    QSqlQuery q = m_db.run(QStringLiteral("SELECT 0, IDEALTAG FROM Idealtag WHERE rowid = ? UNION ALL "
                                          "SELECT 1, IDEALTAG FROM Template WHERE rowid = ?"),
                           {shown.listingId, hasRows ? shown.stored.first().rowId : qint64(0)});
    QString listing, row;
    while (readNext(q))
        (q.value(0).toInt() == 0 ? listing : row) = q.value(1).toString();
    // The file reuses the identities of deleted rows: both have to agree where both are known.
    QString name = shown.listingId ? listing : row;
    if (name.isEmpty() || name == shown.day || (hasRows && row != name))
        return std::nullopt;
    if (!shown.listingId && !IdealtagTable(m_db).contains(name))
        return std::nullopt;
    return name;
}
