#include "store/Tables.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"

#include <cmath>

namespace {
constexpr int TypeMismatch = 13;

Treatment treatmentFrom(const QSqlQuery& q)
{
    return Treatment{q.value(0).toString(),
                     q.value(1).toString(),
                     q.value(2),
                     q.value(3),
                     q.value(4),
                     q.value(5),
                     q.value(6),
                     q.value(7)};
}

const QString kTreatmentColumns = QStringLiteral("BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON");

QList<TemplateRow> templateRows(QSqlQuery query)
{
    QList<TemplateRow> rows;
    while (readNext(query))
        rows.append({query.value(0).toString(), query.value(1), query.value(2), query.value(3)});
    return rows;
}
} // namespace

double number(const QVariant& field)
{
    if (field.isNull())
        throw LunarisError(LunarisError::InvalidNull, QStringLiteral("Unzulässige Verwendung von Null"));
    bool ok = false;
    const double value = field.toDouble(&ok);
    // Text such as "nan" or "inf" converts, but is no number to calculate with.
    if (!ok || !std::isfinite(value))
        throw LunarisError(TypeMismatch, QStringLiteral("Typen unverträglich"));
    return value;
}

int wholeNumber(const QVariant& field)
{
    const double value = number(field);
    if (value < -32768.0 || value > 32767.0)
        throw LunarisError(LunarisError::Overflow, QStringLiteral("Überlauf"));
    return static_cast<int>(value);
}

QString textOf(const QVariant& field)
{
    if (field.isNull())
        throw LunarisError(LunarisError::InvalidNull, QStringLiteral("Unzulässige Verwendung von Null"));
    return field.toString();
}

QStringList ChairTable::names() const
{
    QStringList names;
    for (const QVariant& name : storedNames())
        names.append(name.toString());
    return names;
}

QVariantList ChairTable::storedNames() const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT STUHL FROM Stuhl ORDER BY rowid"));
    QVariantList names;
    while (readNext(q))
        names.append(q.value(0));
    return names;
}

int ChairTable::count() const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT COUNT(*) FROM Stuhl"));
    return readNext(q) ? q.value(0).toInt() : 0;
}

QStringList TreatmentTable::codes() const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT BEH FROM Behand ORDER BY rowid"));
    QStringList codes;
    while (readNext(q))
        codes.append(q.value(0).toString());
    return codes;
}

std::optional<Treatment> TreatmentTable::find(const QString& code) const
{
    QSqlQuery q = m_db.run(
        QStringLiteral("SELECT %1 FROM Behand WHERE BEH = ? ORDER BY rowid LIMIT 1").arg(kTreatmentColumns), {code});
    if (!readNext(q))
        return std::nullopt;
    return treatmentFrom(q);
}

QList<Treatment> TreatmentTable::all() const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT %1 FROM Behand ORDER BY rowid").arg(kTreatmentColumns));
    QList<Treatment> treatments;
    while (readNext(q))
        treatments.append(treatmentFrom(q));
    return treatments;
}

QStringList IdealtagTable::names() const
{
    // A row without a name (another program may leave one) cannot be opened; listing it as an
    // empty line would only puzzle.
    QSqlQuery q = m_db.run(QStringLiteral("SELECT IDEALTAG FROM Idealtag WHERE IDEALTAG IS NOT NULL ORDER BY rowid"));
    QStringList names;
    while (readNext(q))
        names.append(q.value(0).toString());
    return names;
}

bool IdealtagTable::contains(const QString& name) const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT 1 FROM Idealtag WHERE IDEALTAG = ? LIMIT 1"), {name});
    return readNext(q);
}

void IdealtagTable::add(const QString& name) const
{
    m_db.run(QStringLiteral("INSERT INTO Idealtag (IDEALTAG) VALUES (?)"), {name});
}

void IdealtagTable::remove(const QString& name) const
{
    m_db.run(QStringLiteral("DELETE FROM Idealtag WHERE IDEALTAG = ?"), {name});
}

QList<TemplateRow> IdealDayStore::blocksOf(const QString& day, const QString& chair) const
{
    return templateRows(m_db.run(QStringLiteral("SELECT STUHL, BEH, STARTZEIT, ENDZEIT FROM Template "
                                                "WHERE IDEALTAG = ? AND STUHL = ? ORDER BY rowid"),
                                 {day, chair}));
}

QList<TemplateRow> IdealDayStore::blocksOfDay(const QString& day) const
{
    return templateRows(m_db.run(
        QStringLiteral("SELECT STUHL, BEH, STARTZEIT, ENDZEIT FROM Template WHERE IDEALTAG = ? ORDER BY rowid"),
        {day}));
}

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

// "?, ?, ?" for count values, or count / perRow groups "(?, ?), (?, ?)".
QString placeholders(qsizetype count, int perRow = 1)
{
    const QString group =
        perRow == 1 ? QStringLiteral("?")
                    : QLatin1Char('(') + QStringList(perRow, QStringLiteral("?")).join(", ") + QLatin1Char(')');
    return QStringList(count / perRow, group).join(QStringLiteral(", "));
}

// A server is usually across the network, where every statement costs a round trip: rows go in as
// many at a time as Database::maxBoundValues allows, so on the server a save of the largest day sends
// as many statements as one of a small day.
void removeRows(const Database& db, const QString& day, const QList<qint64>& rowIds)
{
    const qsizetype perStatement = db.maxBoundValues() - 1; // one value is the day
    for (qsizetype first = 0; first < rowIds.size(); first += perStatement) {
        const QList<qint64> chunk = rowIds.mid(first, perStatement);
        QVariantList values{day};
        for (const qint64 rowId : chunk)
            values.append(rowId);
        db.run(
            QStringLiteral("DELETE FROM Template WHERE IDEALTAG = ? AND rowid IN (%1)").arg(placeholders(chunk.size())),
            values);
    }
}

// Inserts the rows in their order (which is the order they come back in) and returns their identities.
QSet<qint64> insertRows(const Database& db, const QString& day, const QList<TemplateRow>& rows)
{
    constexpr int ValuesPerRow = 5;
    const qsizetype perStatement = db.maxBoundValues() / ValuesPerRow;
    QSet<qint64> rowIds;
    for (qsizetype first = 0; first < rows.size(); first += perStatement) {
        const QList<TemplateRow> chunk = rows.mid(first, perStatement);
        QVariantList values;
        values.reserve(chunk.size() * ValuesPerRow);
        for (const TemplateRow& row : chunk)
            values << day << row.chair << row.code << row.startTime << row.endTime;
        QSqlQuery insert = db.run(QStringLiteral("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) "
                                                 "VALUES %1 RETURNING rowid")
                                      .arg(placeholders(values.size(), ValuesPerRow)),
                                  values);
        while (readNext(insert))
            rowIds.insert(insert.value(0).toLongLong());
    }
    return rowIds;
}
} // namespace

RowsOnScreen IdealDayStore::replaceDay(const QString& day, const QList<TemplateRow>& rows,
                                       const RowsOnScreen& onScreen) const
{
    return *saveDay(day, rows, onScreen, {});
}

std::optional<RowsOnScreen> IdealDayStore::saveDay(const QString& day, const QList<TemplateRow>& rows,
                                                   const RowsOnScreen& onScreen,
                                                   const std::function<bool()>& confirmOverwrite) const
{
    const bool sameDay = onScreen.day == day;
    RowsOnScreen written{day, {}, sameDay ? onScreen.unshown : QList<StoredBlock>(), {}};
    bool declined = false;
    m_db.inTransaction([&] {
        QSet<qint64> replaced = onScreen.rowIds;
        if (sameDay && confirmOverwrite) {
            const QList<StoredBlock> now = storedBlocksOfDay(day);
            if (!sameStoredRows(now, onScreen.stored)) {
                if (!confirmOverwrite()) {
                    declined = true;
                    return;
                }
                // Overwriting replaces what the other saved as well; only rows this window could not show stay.
                replaced.clear();
                for (const StoredBlock& block : now)
                    replaced.insert(block.rowId);
                for (const StoredBlock& block : onScreen.unshown)
                    replaced.remove(block.rowId);
            }
        }
        if (sameDay)
            removeRows(m_db, day, QList<qint64>(replaced.cbegin(), replaced.cend()));
        else
            m_db.run(QStringLiteral("DELETE FROM Template WHERE IDEALTAG = ?"), {day});
        written.rowIds = insertRows(m_db, day, rows);
        m_db.run(QStringLiteral("INSERT INTO Idealtag (IDEALTAG) SELECT ? WHERE NOT EXISTS "
                                "(SELECT 1 FROM Idealtag WHERE IDEALTAG = ?)"),
                 {day, day});
        if (confirmOverwrite)
            written.stored = storedBlocksOfDay(day);
    });
    if (declined)
        return std::nullopt;
    return written;
}

int IdealDayStore::daysUsingChair(const QString& chair) const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT COUNT(DISTINCT IDEALTAG) FROM Template WHERE STUHL = ?"), {chair});
    return readNext(q) ? q.value(0).toInt() : 0;
}

void IdealDayStore::renameChair(const QString& from, const QString& to) const
{
    m_db.run(QStringLiteral("UPDATE Template SET STUHL = ? WHERE STUHL = ?"), {to, from});
}

void IdealDayStore::removeChair(const QString& chair) const
{
    m_db.run(QStringLiteral("DELETE FROM Template WHERE STUHL = ?"), {chair});
}

void IdealDayStore::deleteDay(const QString& day) const
{
    m_db.inTransaction([&] {
        m_db.run(QStringLiteral("DELETE FROM Template WHERE IDEALTAG = ?"), {day});
        m_db.run(QStringLiteral("DELETE FROM Idealtag WHERE IDEALTAG = ?"), {day});
    });
}
