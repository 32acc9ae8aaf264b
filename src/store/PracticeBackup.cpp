#include "store/PracticeBackup.h"

#include "kernel/LunarisError.h"
#include "store/BackupRotation.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/OwnConnection.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>

#include <algorithm>

namespace {
// SQLite's primary result codes that a backup meets with a sentence of its own.
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteIoErr = 10;
constexpr int SqliteFull = 13;
constexpr int SqliteCantOpen = 14;

LunarisError failure(const QString& reason)
{
    return LunarisError(PracticeBackup::Failed, reason);
}

QString noSpace(const QString& folder)
{
    return QStringLiteral("Auf dem Datenträger des Sicherungsordners „%1“ ist nicht genug Platz.").arg(folder);
}

// Words of our own; the engine's (English) text only as the detail line.
QString describe(const QSqlError& error, const QString& folder)
{
    QString sentence;
    switch (error.nativeErrorCode().toInt() % 256) {
    case SqliteFull:
        return noSpace(folder);
    case SqliteBusy:
    case SqliteLocked:
        sentence = QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt; die Datensicherung "
                                  "wurde nicht erstellt.");
        break;
    case SqliteCantOpen:
        sentence =
            QStringLiteral("Die Datensicherung kann im Sicherungsordner „%1“ nicht angelegt werden.").arg(folder);
        break;
    case SqliteIoErr:
        sentence =
            QStringLiteral("Beim Schreiben in den Sicherungsordner „%1“ ist ein Fehler aufgetreten.").arg(folder);
        break;
    default:
        sentence = QStringLiteral("Die Datensicherung konnte nicht geschrieben werden.");
        break;
    }
    const QString detail = (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).simplified();
    return detail.isEmpty() ? sentence : sentence + QStringLiteral("\r(Meldung: %1)").arg(detail);
}

// The tables of a practice file with their fields, in the order the program creates them.
const QList<QPair<QString, QString>> Tables{
    {QStringLiteral("Stuhl"), QStringLiteral("STUHL, TEXT")},
    {QStringLiteral("Behand"), QStringLiteral("BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON")},
    {QStringLiteral("Idealtag"), QStringLiteral("IDEALTAG")},
    {QStringLiteral("Template"), QStringLiteral("IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT")},
    {QStringLiteral("IdealtagVersion"), QStringLiteral("IDEALTAG, ZEIT, ARBEITSPLATZ, BENUTZER, ZEILEN, GELOESCHT")}};
} // namespace

BackupPlace BackupPlace::choose(const QStringList& settings, const QString& practiceFile)
{
    for (const QString& setting : settings) {
        const QString folder = setting.trimmed();
        // The settings dialog's default, the root of a Windows drive, means nothing was chosen.
        const bool chosen = !folder.isEmpty() && folder.compare(QStringLiteral("c:\\"), Qt::CaseInsensitive) != 0 &&
                            folder.compare(QStringLiteral("c:/"), Qt::CaseInsensitive) != 0 &&
                            folder.compare(QStringLiteral("c:"), Qt::CaseInsensitive) != 0;
        if (chosen)
            return {QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(folder)).absoluteFilePath()), false};
    }
    return {QFileInfo(practiceFile).absoluteDir().filePath(QStringLiteral("Sicherungen")), true};
}

PracticeBackup::PracticeBackup(const Database& db, const BackupPlace& place)
    : m_db(db), m_folder(place.folder), m_createFolder(place.isDefault)
{
}

void PracticeBackup::checkFolder() const
{
    const QString shown = QDir::toNativeSeparators(m_folder);
    if (!QFileInfo(m_folder).isDir() && !(m_createFolder && QDir().mkpath(m_folder)))
        throw failure(QStringLiteral("Der Sicherungsordner „%1“ ist nicht vorhanden.").arg(shown));
    if (!QFileInfo(m_folder).isWritable())
        throw failure(QStringLiteral("In den Sicherungsordner „%1“ darf nicht geschrieben werden.").arg(shown));
    // The copy is about as large as the file (the server's tables: no estimate, the write tells).
    const QStorageInfo storage(m_folder);
    if (!m_db.isServer() && storage.isValid() && storage.bytesAvailable() < QFileInfo(m_db.filePath()).size())
        throw failure(noSpace(shown));
}

QString PracticeBackup::make(const QDateTime& now) const
{
    // First, so that the space they take counts for this backup.
    removeStaleParts(now);
    checkFolder();
    const QString path = QDir(m_folder).filePath(BackupRotation::fileName(now));
    // Written under another name and renamed once checked: a backup that is there is complete.
    const QString part = path + QStringLiteral(".teil");
    QFile::remove(part);
    try {
        if (m_db.isServer())
            copyServer(part);
        else
            copyFile(part);
        checkIntegrity(part);
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    // A backup of the same minute is replaced by this newer one.
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        throw failure(QStringLiteral("Die Datensicherung „%1“ konnte nicht angelegt werden.")
                          .arg(QDir::toNativeSeparators(path)));
    }
    rotate(now);
    return path;
}

void PracticeBackup::copyFile(const QString& target) const
{
    // Read-only, waiting for a writer in another program: SQLite copies one consistent state.
    const OwnConnection source(
        m_db.filePath(), QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(Database::BusyTimeoutMs));
    if (!source.isOpen())
        throw failure(describe(source.error(), QDir::toNativeSeparators(m_folder)));
    QSqlQuery query = source.query();
    query.prepare(QStringLiteral("VACUUM INTO ?"));
    query.addBindValue(target);
    if (!query.exec())
        throw failure(describe(query.lastError(), QDir::toNativeSeparators(m_folder)));
}

void PracticeBackup::copyServer(const QString& target) const
{
    static QAtomicInt counter;
    const QString folder = QDir::toNativeSeparators(m_folder);
    // A connection lost while the program sat idle is made anew before the read begins.
    m_db.run(QStringLiteral("SELECT 1"));
    // One read-only transaction in repeatable read: the five tables as one state of the practice, whatever
    // other workstations write meanwhile. Its statements go to the connection itself, so that a connection
    // lost half-way fails the backup instead of reading the rest on a new one, outside that state.
    const QSqlDatabase server = m_db.connection();
    QSqlQuery begin(server);
    if (!begin.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY")))
        throw failure(QStringLiteral("Die Datensicherung wurde nicht erstellt. ") +
                      databaseFailure(begin.lastError()).description());
    try {
        // A new practice file with the program's schema, filled with the server's rows in their order.
        const Database copy(target, QStringLiteral("sicherung-server-%1").arg(counter.fetchAndAddRelaxed(1)));
        DayVersionTable::ensure(copy);
        copy.inTransaction([&] {
            for (const auto& [table, fields] : Tables) {
                QSqlQuery rows(server);
                rows.setForwardOnly(true);
                if (!rows.exec(m_db.sql(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(fields, table))))
                    throw databaseFailure(rows.lastError());
                const int count = int(fields.count(QLatin1Char(',')) + 1);
                QStringList marks(count, QStringLiteral("?"));
                const QString insert =
                    QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, fields, marks.join(QLatin1Char(',')));
                QSqlQuery write(copy.connection());
                write.prepare(insert);
                while (readNext(rows)) {
                    for (int i = 0; i < count; ++i)
                        write.bindValue(i, rows.value(i));
                    if (!write.exec())
                        throw failure(describe(write.lastError(), folder));
                }
                if (m_tableCopied)
                    m_tableCopied(table);
            }
        });
        QSqlQuery(server).exec(QStringLiteral("COMMIT"));
    } catch (const LunarisError& e) {
        QSqlQuery(server).exec(QStringLiteral("ROLLBACK"));
        if (e.number() == Failed)
            throw;
        // The new file's tables may already not fit: the data layer keeps SQLite's number.
        if (e.number() == SqliteFull)
            throw failure(noSpace(folder));
        throw failure(QStringLiteral("Die Datensicherung wurde nicht erstellt. ") + e.description());
    }
}

void PracticeBackup::checkIntegrity(const QString& path)
{
    const OwnConnection copy(path, QStringLiteral("QSQLITE_OPEN_READONLY"));
    QSqlQuery query = copy.query();
    if (!copy.isOpen() || !query.exec(QStringLiteral("PRAGMA integrity_check")) || !query.next() ||
        query.value(0).toString() != QLatin1String("ok"))
        throw failure(QStringLiteral("Die Datensicherung hat die Prüfung nicht bestanden und wurde verworfen."));
}

void PracticeBackup::removeStaleParts(const QDateTime& now) const
{
    // A backup cut short (the program killed, the power gone) leaves its practice-sized part behind. One
    // written to a day ago is no backup of another workstation still under way.
    const QFileInfoList parts = QDir(m_folder).entryInfoList({QStringLiteral("Kavemo-*.mdb.teil")}, QDir::Files);
    for (const QFileInfo& part : parts)
        if (BackupRotation::timeOf(part.completeBaseName()) && part.lastModified() < now.addDays(-1))
            QFile::remove(part.absoluteFilePath());
}

void PracticeBackup::rotate(const QDateTime& now) const
{
    QList<QDateTime> times;
    for (const BackupFile& backup : list())
        times.append(backup.time);
    for (const QDateTime& time : BackupRotation::expired(times, now))
        QFile::remove(QDir(m_folder).filePath(BackupRotation::fileName(time)));
}

QList<BackupFile> PracticeBackup::list() const
{
    QList<BackupFile> backups;
    const QFileInfoList files =
        QDir(m_folder).entryInfoList({QStringLiteral("Kavemo-*.mdb")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QFileInfo& file : files)
        if (const std::optional<QDateTime> time = BackupRotation::timeOf(file.fileName()))
            backups.append({file.absoluteFilePath(), *time, file.size()});
    return backups;
}

bool PracticeBackup::madeOn(const QDate& day) const
{
    const QList<BackupFile> backups = list();
    return std::any_of(backups.cbegin(), backups.cend(),
                       [&](const BackupFile& backup) { return backup.time.date() == day; });
}

int PracticeBackup::dayCount(const QString& backupPath)
{
    const OwnConnection backup(backupPath, QStringLiteral("QSQLITE_OPEN_READONLY"));
    QSqlQuery query = backup.query();
    if (!backup.isOpen() || !query.exec(QStringLiteral("SELECT COUNT(*) FROM Idealtag")) || !query.next())
        throw failure(QStringLiteral("Die Datensicherung „%1“ kann nicht gelesen werden.")
                          .arg(QDir::toNativeSeparators(backupPath)));
    return query.value(0).toInt();
}
