#include "store/Database.h"

#include "app/LunarisError.h"
#include "store/SchemaSql.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlRecord>

namespace {
constexpr int CannotOpen = 3044;
constexpr int NotADatabase = 3343;
constexpr int MissingTable = 3078;
constexpr int MissingField = 3265;

struct TableFields {
    const char* table;
    QStringList fields;
};

const QList<TableFields>& requiredSchema()
{
    static const QList<TableFields> schema = {
        {"Template", {"IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT"}},
        {"Idealtag", {"IDEALTAG"}},
        {"Behand", {"BEH", "TEXT", "DAUER", "DR_START", "DR_DAUER", "DR_START2", "DR_DAUER2", "HON"}},
        {"Stuhl", {"STUHL", "TEXT"}},
    };
    return schema;
}

QString uniqueDescription(const QString& field)
{
    if (field == QLatin1String("STUHL"))
        return QStringLiteral("Ein Stuhl mit diesem Namen ist bereits vorhanden.");
    if (field == QLatin1String("BEH"))
        return QStringLiteral("Eine Behandlung mit diesem Kürzel ist bereits vorhanden.");
    if (field == QLatin1String("IDEALTAG"))
        return QStringLiteral("Ein Idealtag mit diesem Namen ist bereits vorhanden.");
    return QStringLiteral("Der Wert im Feld %1 ist bereits vorhanden.").arg(field);
}

// SQLite names the failed rule in English; the user gets it in German.
QString constraintDescription(const QString& driverText)
{
    static const QRegularExpression check(QStringLiteral("CHECK constraint failed: (\\w+)_(ganzzahl|zahl)"));
    static const QRegularExpression notNull(QStringLiteral("NOT NULL constraint failed: \\w+\\.(\\w+)"));
    static const QRegularExpression unique(QStringLiteral("UNIQUE constraint failed: \\w+\\.(\\w+)"));
    if (const auto m = check.match(driverText); m.hasMatch()) {
        if (m.captured(2) == QLatin1String("ganzzahl"))
            return QStringLiteral("Im Feld %1 ist nur eine ganze Zahl erlaubt.").arg(m.captured(1));
        return QStringLiteral("Im Feld %1 ist nur eine Zahl erlaubt.").arg(m.captured(1));
    }
    if (const auto m = notNull.match(driverText); m.hasMatch())
        return QStringLiteral("Das Feld %1 darf nicht leer sein.").arg(m.captured(1));
    if (const auto m = unique.match(driverText); m.hasMatch())
        return uniqueDescription(m.captured(1));
    return {};
}
} // namespace

QString describeDatabaseError(const QSqlError& error)
{
    const QString driverText = error.databaseText();
    const int code = error.nativeErrorCode().toInt();
    switch (code & 0xff) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt.");
    case 8: // SQLITE_READONLY
        return QStringLiteral("Die Datenbank ist schreibgeschützt.");
    case 10: // SQLITE_IOERR
    case 13: // SQLITE_FULL
        return QStringLiteral("Die Datenbank konnte nicht geschrieben werden (Schreibfehler oder Datenträger voll).");
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return QStringLiteral("Die Datenbank ist beschädigt.");
    case 19: // SQLITE_CONSTRAINT
        if (const QString text = constraintDescription(driverText); !text.isEmpty())
            return text;
        return QStringLiteral("Die Daten verletzen eine Regel der Tabelle.");
    default:
        break;
    }
    if (driverText.isEmpty() && error.driverText().isEmpty())
        return {};
    return QStringLiteral("Datenbankfehler: %1").arg(driverText.isEmpty() ? error.driverText() : driverText);
}

LunarisError databaseFailure(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    QString description = describeDatabaseError(error);
    if (description.isEmpty())
        description = QStringLiteral("Unbekannter Datenbankfehler.");
    return LunarisError(ok && code != 0 ? code : 3000, description);
}

Database::Database(const QString& filePath, const QString& connectionName)
    : m_filePath(filePath), m_connectionName(connectionName)
{
    if (QFileInfo::exists(m_filePath)) {
        checkIsDatabaseFile();
        open();
        checkSchema();
    } else {
        create();
    }
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Database::checkIsDatabaseFile() const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw LunarisError(CannotOpen, QStringLiteral("Die Datenbank „%1“ kann nicht gelesen werden.").arg(m_filePath));
    static const QByteArray header("SQLite format 3\0", 16);
    if (file.read(header.size()) != header)
        throw LunarisError(NotADatabase, QStringLiteral("Die Datei „%1“ ist keine Datenbank dieses Programms. "
                                                        "Sie wird nicht verändert; bitte prüfen Sie die Datei.")
                                             .arg(m_filePath));
}

void Database::open()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open())
        throw LunarisError(CannotOpen, QStringLiteral("Die Datenbank „%1“ kann nicht geöffnet werden: %2")
                                           .arg(m_filePath, describeDatabaseError(db.lastError())));
}

void Database::checkSchema() const
{
    const QSqlDatabase db = connection();
    const QStringList tables = db.tables();
    for (const TableFields& required : requiredSchema()) {
        const QString table = QString::fromLatin1(required.table);
        if (!tables.contains(table))
            throw LunarisError(MissingTable, QStringLiteral("In der Datenbank „%1“ fehlt die Tabelle „%2“. "
                                                            "Die Datei wird nicht verändert.")
                                                 .arg(m_filePath, table));
        const QSqlRecord record = db.record(table);
        for (const QString& field : required.fields)
            if (!record.contains(field))
                throw LunarisError(MissingField,
                                   QStringLiteral("In der Datenbank „%1“ fehlt das Feld „%2“ in der Tabelle „%3“. "
                                                  "Die Datei wird nicht verändert.")
                                       .arg(m_filePath, field, table));
    }
    // An older file lacks the index that keeps loading a day independent of the number of stored days.
    // Adding it changes no data; a read-only file simply goes without.
    QSqlQuery(QStringLiteral("CREATE INDEX IF NOT EXISTS Template_IDEALTAG_STUHL ON Template (IDEALTAG, STUHL)"), db);
}

void Database::create()
{
    open();
    try {
        inTransaction([this] {
            const QStringList statements = QString::fromUtf8(kSchemaSql).split(QLatin1Char(';'), Qt::SkipEmptyParts);
            for (const QString& statement : statements) {
                QString sql;
                for (const QString& line : statement.split(QLatin1Char('\n')))
                    if (!line.trimmed().startsWith(QLatin1String("--")))
                        sql += line + QLatin1Char('\n');
                if (!sql.trimmed().isEmpty())
                    run(sql);
            }
        });
    } catch (const LunarisError& e) {
        // Leave no empty file behind: the next start would take it for a foreign file.
        connection().close();
        if (QFileInfo(m_filePath).size() == 0)
            QFile::remove(m_filePath);
        throw LunarisError(
            e.number(),
            QStringLiteral("Die Datenbank „%1“ konnte nicht angelegt werden: %2").arg(m_filePath, e.description()));
    }
}

QSqlQuery Database::run(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw databaseFailure(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw databaseFailure(query.lastError());
    return query;
}

void Database::inTransaction(const std::function<void()>& work) const
{
    // IMMEDIATE takes the write lock at once, so a sister program's lock is waited for before any change.
    run(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        work();
        run(QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery rollback(connection());
        rollback.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}
