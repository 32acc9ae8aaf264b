#pragma once

#include "store/OwnConnection.h"
#include "store/Tables.h"

#include <QList>
#include <QString>

class Database;

// The days of one backup, read from the backup file without changing it.
class BackupReader {
public:
    struct Day {
        QString name;
        int blocks = 0;
    };

    // Throws LunarisError when the file cannot be read as a practice file.
    explicit BackupReader(const QString& path);

    // The days named in the backup's Idealtag, in its order, with their rows counted.
    QList<Day> days() const;
    // A day's rows in the backup's order.
    QList<TemplateRow> rowsOf(const QString& day) const;

    // Rows written that the practice's tables no longer know.
    struct Strangers {
        int chairs = 0;     // rows of a chair that is gone: stored, but not shown
        int treatments = 0; // rows of a treatment that is gone
    };
    // Copies the days into the practice, each as the new stored day (the one it replaces is kept as a
    // version, so the restore can be undone); treatments and chairs stay as they are. Throws
    // LunarisError; days before the failing one stay restored.
    Strangers restoreInto(const Database& db, const QStringList& days) const;

private:
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;

    QString m_path;
    OwnConnection m_connection;
};
