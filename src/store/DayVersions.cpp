#include "store/DayVersions.h"

#include "store/Database.h"
#include "store/RowsJson.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QSysInfo>

namespace {
QString userName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

} // namespace

QStringList DayVersionTable::serverDefinition()
{
    return {
        QStringLiteral(R"(CREATE TABLE IF NOT EXISTS "IdealtagVersion" (
            "ID" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "IDEALTAG" text NOT NULL, "ZEIT" text NOT NULL,
            "ARBEITSPLATZ" text, "BENUTZER" text, "ZEILEN" text NOT NULL, "GELOESCHT" integer NOT NULL DEFAULT 0))"),
        QStringLiteral(R"(CREATE INDEX IF NOT EXISTS "IdealtagVersion_IDEALTAG" ON "IdealtagVersion" ("IDEALTAG"))")};
}

void DayVersionTable::ensure(const Database& db)
{
    if (db.isServer()) {
        for (const QString& statement : serverDefinition())
            db.run(statement);
        return;
    }
    db.run(QStringLiteral("CREATE TABLE IF NOT EXISTS IdealtagVersion (IDEALTAG TEXT NOT NULL, ZEIT TEXT NOT NULL, "
                          "ARBEITSPLATZ TEXT, BENUTZER TEXT, ZEILEN TEXT NOT NULL, "
                          "GELOESCHT INTEGER NOT NULL DEFAULT 0)"));
    db.run(QStringLiteral("CREATE INDEX IF NOT EXISTS IdealtagVersion_IDEALTAG ON IdealtagVersion (IDEALTAG)"));
}

bool DayVersionTable::presentOnServer(const Database& db)
{
    QSqlQuery present = db.run(QStringLiteral("SELECT to_regclass('\"IdealtagVersion\"') IS NOT NULL AND "
                                              "to_regclass('\"IdealtagVersion_IDEALTAG\"') IS NOT NULL"));
    return readNext(present) && present.value(0).toBool();
}

QVariantList DayVersionTable::versionValues(const QString& day, const QList<StoredBlock>& rows, VersionCause cause)
{
    return {day,
            QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
            QSysInfo::machineHostName(),
            userName(),
            encode(rows),
            int(cause)};
}

QString DayVersionTable::encode(const QList<StoredBlock>& rows)
{
    QList<TemplateRow> plain;
    plain.reserve(rows.size());
    for (const StoredBlock& block : rows)
        plain.append(block.row);
    return rowsToJson(plain);
}

QList<TemplateRow> DayVersionTable::decode(const QString& text)
{
    return rowsFromJson(text);
}

void DayVersionTable::keep(const QString& day, const QList<StoredBlock>& rows, VersionCause cause) const
{
    // A file of an older version, or one the planner made, gets the table with its first save.
    if (!m_db.isServer())
        ensure(m_db);
    m_db.run(QStringLiteral("INSERT INTO IdealtagVersion (IDEALTAG, ZEIT, ARBEITSPLATZ, BENUTZER, ZEILEN, GELOESCHT) "
                            "VALUES (?, ?, ?, ?, ?, ?)"),
             versionValues(day, rows, cause));
    prune(day);
}

void DayVersionTable::keepStored(const QString& day, VersionCause cause) const
{
    ensure(m_db);
    QVariantList values = versionValues(day, {}, cause);
    values.removeAt(4); // the rows come from the table
    values.append(day);
    // The same text as encode() writes, made by SQLite from the stored rows in their order.
    m_db.run(QStringLiteral("INSERT INTO IdealtagVersion (IDEALTAG, ZEIT, ARBEITSPLATZ, BENUTZER, GELOESCHT, ZEILEN) "
                            "SELECT ?, ?, ?, ?, ?, json_group_array(json_array(CAST(STUHL AS TEXT), CAST(BEH AS TEXT), "
                            "CAST(STARTZEIT AS TEXT), CAST(ENDZEIT AS TEXT))) FROM (SELECT * FROM Template "
                            "WHERE IDEALTAG = ? ORDER BY rowid)"),
             values);
    prune(day);
}

void DayVersionTable::moveVersions(const QString& from, const QString& to) const
{
    if (!m_db.isServer())
        ensure(m_db);
    m_db.run(QStringLiteral("UPDATE IdealtagVersion SET IDEALTAG = ? WHERE IDEALTAG = ?"), {to, from});
    // The name may have had versions of its own (a day of that name deleted earlier).
    prune(to);
}

void DayVersionTable::renameChair(const QString& from, const QString& to) const
{
    if (!exists())
        return;
    // Only versions that may hold the name are read: a name that JSON writes as it is appears in them in
    // quotes (LIKE finds a few more in the file, ignoring case; the rows below decide).
    static const QRegularExpression escaped(QStringLiteral("[\"\\\\\\x00-\\x1f]"));
    QString select = QStringLiteral("SELECT rowid, ZEILEN FROM IdealtagVersion");
    QVariantList values;
    if (!escaped.match(from).hasMatch()) {
        QString pattern = from;
        pattern.replace(QLatin1Char('%'), QStringLiteral("\\%")).replace(QLatin1Char('_'), QStringLiteral("\\_"));
        select += QStringLiteral(" WHERE ZEILEN LIKE ? ESCAPE '\\'");
        values.append(QStringLiteral("%\"%1\"%").arg(pattern));
    }
    QList<std::pair<qint64, QString>> changed;
    QSqlQuery q = m_db.run(select, values);
    while (readNext(q)) {
        QList<TemplateRow> rows = decode(q.value(1).toString());
        bool renamed = false;
        for (TemplateRow& row : rows)
            if (row.chair == from) {
                row.chair = to;
                renamed = true;
            }
        if (renamed)
            changed.append({q.value(0).toLongLong(), rowsToJson(rows)});
    }
    for (const auto& [id, rows] : std::as_const(changed))
        m_db.run(QStringLiteral("UPDATE IdealtagVersion SET ZEILEN = ? WHERE rowid = ?"), {rows, id});
}

void DayVersionTable::prune(const QString& day) const
{
    // The oldest go once a day has more than Kept.
    m_db.run(QStringLiteral("DELETE FROM IdealtagVersion WHERE IDEALTAG = ? AND rowid NOT IN "
                            "(SELECT rowid FROM IdealtagVersion WHERE IDEALTAG = ? ORDER BY rowid DESC LIMIT %1)")
                 .arg(Kept),
             {day, day});
}

bool DayVersionTable::exists() const
{
    QSqlQuery q =
        m_db.isServer()
            ? m_db.run(QStringLiteral("SELECT 1 FROM information_schema.tables WHERE table_schema = "
                                      "current_schema() AND table_name = 'IdealtagVersion'"))
            : m_db.run(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'IdealtagVersion'"));
    return readNext(q);
}

QList<DayVersion> DayVersionTable::versionsOf(const QString& day) const
{
    QList<DayVersion> versions;
    if (!exists())
        return versions;
    QSqlQuery q = m_db.run(QStringLiteral("SELECT rowid, ZEIT, ARBEITSPLATZ, BENUTZER, ZEILEN, GELOESCHT FROM "
                                          "IdealtagVersion WHERE IDEALTAG = ? ORDER BY rowid DESC"),
                           {day});
    while (readNext(q))
        versions.append({q.value(0).toLongLong(), day, QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs),
                         q.value(2).toString(), q.value(3).toString(), decode(q.value(4).toString()),
                         q.value(5).toInt() == int(VersionCause::Deleted),
                         q.value(5).toInt() == int(VersionCause::Renamed),
                         q.value(5).toInt() == int(VersionCause::Overwritten)});
    return versions;
}

std::optional<DayVersion> DayVersionTable::overwritten(const QString& day, const QList<StoredBlock>& rows) const
{
    const QString wanted = encode(rows);
    for (const DayVersion& version : versionsOf(day))
        if (rowsToJson(version.rows) == wanted)
            return version.overwritten ? std::optional<DayVersion>(version) : std::nullopt;
    return std::nullopt;
}

QStringList DayVersionTable::deletedDays() const
{
    QStringList days;
    if (!exists())
        return days;
    QSqlQuery q = m_db.run(QStringLiteral("SELECT IDEALTAG, MAX(rowid) FROM IdealtagVersion WHERE IDEALTAG NOT IN "
                                          "(SELECT IDEALTAG FROM Idealtag WHERE IDEALTAG IS NOT NULL) "
                                          "GROUP BY IDEALTAG ORDER BY 2 DESC"));
    while (readNext(q))
        days.append(q.value(0).toString());
    return days;
}
