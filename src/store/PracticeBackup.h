#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class Database;

// One backup in the backup folder.
struct BackupFile {
    QString path;
    QDateTime time;  // the minute it was made, from its name
    qint64 size = 0; // bytes
};

// Where the backups go: the folder the settings name, else `Sicherungen` beside the practice file.
struct BackupPlace {
    QString folder;
    bool isDefault = false; // the program's own folder, created when missing

    // The first usable of the program's setting and the family's ("c:\", the settings dialog's
    // default, or nothing is not), else the default folder.
    static BackupPlace choose(const QStringList& settings, const QString& practiceFile);
};

// The practice's backups in one folder: each a complete practice file named by the minute it was made
// ("Kavemo-2026-12-08-1405.mdb"), which the program can open like the practice file itself. The file
// is copied by SQLite itself (a consistent state, even while another program writes); the server's
// tables are copied into a new practice file. A backup counts only once its integrity check passed.
class PracticeBackup {
public:
    // Raised with a German reason when a backup cannot be made.
    static constexpr int Failed = 3090;

    // The folder is created when missing only when it is the program's default; a folder the settings
    // name may be a drive that is not there at the moment.
    PracticeBackup(const Database& db, const BackupPlace& place);

    // Makes a backup named after `now`, then removes the ones no longer kept. Parts of backups cut short
    // (".teil") older than a day go first. Returns its path.
    QString make(const QDateTime& now) const;
    // The backups in the folder, the newest first.
    QList<BackupFile> list() const;
    // Whether a backup was made on that day.
    bool madeOn(const QDate& day) const;
    // How many days a backup holds; throws LunarisError when it cannot be read.
    static int dayCount(const QString& backupPath);
    // Called after each of the server's tables was read into the backup, with the read still open: where
    // tests write meanwhile to prove that the backup holds one state of the practice.
    void setTableCopiedHook(std::function<void(const QString& table)> hook) { m_tableCopied = std::move(hook); }

private:
    void checkFolder() const;
    void copyFile(const QString& target) const;
    void copyServer(const QString& target) const;
    static void checkIntegrity(const QString& path);
    // Removes the parts of backups cut short that were last written to more than a day before `now`.
    void removeStaleParts(const QDateTime& now) const;
    void rotate(const QDateTime& now) const;

    const Database& m_db;
    QString m_folder;
    bool m_createFolder;
    std::function<void(const QString&)> m_tableCopied;
};
