#include "store/BackupReader.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/PracticeBackup.h"

#include <QDir>
#include <QSet>

BackupReader::BackupReader(const QString& path)
    : m_path(path), m_connection(path, QStringLiteral("QSQLITE_OPEN_READONLY"))
{
    if (!m_connection.isOpen())
        run(QStringLiteral("SELECT 1"));
}

QSqlQuery BackupReader::run(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query = m_connection.query();
    query.setForwardOnly(true);
    bool ok = m_connection.isOpen() && query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!ok || !query.exec())
        throw LunarisError(
            PracticeBackup::Failed,
            QStringLiteral("Die Datensicherung „%1“ kann nicht gelesen werden.").arg(QDir::toNativeSeparators(m_path)));
    return query;
}

QList<BackupReader::Day> BackupReader::days() const
{
    QList<Day> days;
    QSqlQuery query =
        run(QStringLiteral("SELECT d.IDEALTAG, (SELECT COUNT(*) FROM Template t WHERE t.IDEALTAG = d.IDEALTAG) "
                           "FROM Idealtag d WHERE d.IDEALTAG IS NOT NULL ORDER BY d.rowid"));
    while (query.next())
        days.append({query.value(0).toString(), query.value(1).toInt()});
    return days;
}

QList<TemplateRow> BackupReader::rowsOf(const QString& day) const
{
    QList<TemplateRow> rows;
    QSqlQuery query = run(
        QStringLiteral("SELECT STUHL, BEH, STARTZEIT, ENDZEIT FROM Template WHERE IDEALTAG = ? ORDER BY rowid"), {day});
    while (query.next())
        rows.append({query.value(0).toString(), query.value(1), query.value(2), query.value(3)});
    return rows;
}

BackupReader::Restored BackupReader::restoreInto(const Database& db, const QStringList& days) const
{
    const QStringList chairList = ChairTable(db).names();
    const QStringList codeList = TreatmentTable(db).codes();
    const QSet<QString> chairs(chairList.cbegin(), chairList.cend());
    const QSet<QString> codes(codeList.cbegin(), codeList.cend());
    Restored restored;
    for (const QString& day : days) {
        try {
            const QList<TemplateRow> rows = rowsOf(day);
            // Every stored row of the day is replaced, in one transaction that keeps the former day.
            IdealDayStore(db).replaceDay(day, rows);
            for (const TemplateRow& row : rows) {
                restored.strangers.chairs += chairs.contains(row.chair) ? 0 : 1;
                restored.strangers.treatments += codes.contains(row.code.toString()) ? 0 : 1;
            }
        } catch (const LunarisError& e) {
            restored.failure = e.description();
            restored.notRestored = days.mid(restored.days.size());
            return restored;
        }
        restored.days.append(day);
    }
    return restored;
}
