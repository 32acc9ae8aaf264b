#include "store/Tables.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/DayVersions.h"

#include <algorithm>
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

QList<ChairRow> ChairTable::rows() const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT rowid, STUHL FROM Stuhl ORDER BY rowid"));
    QList<ChairRow> rows;
    while (readNext(q))
        rows.append({q.value(0).toLongLong(), q.value(1).toString()});
    return rows;
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
    if (m_db.isServer()) {
        // The treatments as an edit step knows them: last read while the server is away or while nothing has
        // changed since, so that placing goes on without waiting on the network.
        const QList<Treatment> known = all();
        const auto first =
            std::find_if(known.cbegin(), known.cend(), [&](const Treatment& t) { return t.code == code; });
        return first == known.cend() ? std::nullopt : std::optional<Treatment>(*first);
    }
    QSqlQuery q = m_db.run(
        QStringLiteral("SELECT %1 FROM Behand WHERE BEH = ? ORDER BY rowid LIMIT 1").arg(kTreatmentColumns), {code});
    if (!readNext(q))
        return std::nullopt;
    return treatmentFrom(q);
}

QList<Treatment> TreatmentTable::all() const
{
    return m_db.readOrLastKnown<QList<Treatment>>("Behand", [this] {
        QSqlQuery q = m_db.run(QStringLiteral("SELECT %1 FROM Behand ORDER BY rowid").arg(kTreatmentColumns));
        QList<Treatment> treatments;
        while (readNext(q))
            treatments.append(treatmentFrom(q));
        return treatments;
    });
}

QStringList IdealtagTable::names() const
{
    // A row without a name (another program may leave one) cannot be opened; listing it as an
    // empty line would only puzzle.
    // Asked for by the Open dialog: the window goes on answering while the network holds the answer up.
    QSqlQuery q =
        m_db.runAwaited(QStringLiteral("SELECT IDEALTAG FROM Idealtag WHERE IDEALTAG IS NOT NULL ORDER BY rowid"));
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

int IdealDayStore::daysUsingChair(const QString& chair) const
{
    QSqlQuery q = m_db.run(QStringLiteral("SELECT COUNT(DISTINCT IDEALTAG) FROM Template WHERE STUHL = ?"), {chair});
    return readNext(q) ? q.value(0).toInt() : 0;
}

void IdealDayStore::renameChair(const QString& from, const QString& to) const
{
    m_db.run(QStringLiteral("UPDATE Template SET STUHL = ? WHERE STUHL = ?"), {to, from});
    // The days' versions follow, so that an older version is not restored under a name no column has.
    DayVersionTable(m_db).renameChair(from, to);
}

void IdealDayStore::removeChair(const QString& chair) const
{
    // Every day that loses rows keeps its state before as a version, so Datei → Versionen brings them back.
    // A server without the versions table (a role that may not create it) deletes as before.
    if (!m_db.isServer() || DayVersionTable::presentOnServer(m_db)) {
        QStringList days;
        QSqlQuery q = m_db.run(
            QStringLiteral("SELECT DISTINCT IDEALTAG FROM Template WHERE STUHL = ? ORDER BY IDEALTAG"), {chair});
        while (readNext(q))
            days.append(q.value(0).toString());
        for (const QString& day : std::as_const(days))
            DayVersionTable(m_db).keep(day, storedDay(day).blocks, VersionCause::Saved);
    }
    m_db.run(QStringLiteral("DELETE FROM Template WHERE STUHL = ?"), {chair});
}
