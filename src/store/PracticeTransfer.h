#pragma once

#include "store/ConnectionSetting.h"

#include <QList>
#include <QString>

// Copies a practice from its database file to a PostgreSQL server database: the four tables in
// one transaction, each in its stored order. The file is only read. A server whose tables already
// hold rows is refused, and nothing is written.
class PracticeTransfer {
public:
    struct TableCount {
        QString table;
        qint64 rows = 0;
        bool operator==(const TableCount&) const = default;
    };

    PracticeTransfer(QString filePath, ServerAddress server, QString password = {});

    // Runs the copy and returns the rows of each table, as counted on the server before the commit
    // (they equal the file's, or nothing is written). Throws LunarisError with a German description.
    QList<TableCount> run() const;

private:
    QString m_filePath;
    ServerAddress m_server;
    QString m_password;
};
