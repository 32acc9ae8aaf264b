#pragma once

#include "store/OwnConnection.h"
#include "store/Tables.h"

#include <QList>
#include <QString>
#include <QStringList>

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
    struct Restored {
        QStringList days;        // restored, in the order asked
        QStringList notRestored; // the day that failed and the ones after it
        QString failure;         // why, in German; empty when every day came back
        Strangers strangers;     // among the restored days' rows
    };
    // Copies the days into the practice one after the other, each as the new stored day (the one it replaces
    // is kept as a version, so the restore can be undone); treatments and chairs stay as they are. A day that
    // fails stays as it was, and the days after it are not tried: the days before it stay restored.
    Restored restoreInto(const Database& db, const QStringList& days) const;

private:
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;

    QString m_path;
    OwnConnection m_connection;
};
