#pragma once

#include "store/ConnectionSetting.h"
#include "store/PracticeValueTable.h"

#include <QList>
#include <QString>

#include <functional>

// Copies a practice from its database file to a PostgreSQL server database, in one transaction: the four
// tables, each in its stored order, the days' versions, and the practice's values (hours, colours, name) as
// the user kept them beside the file. The file is only read. A server whose four tables already hold rows is
// refused, and nothing is written.
class PracticeTransfer {
public:
    struct TableCount {
        QString table;
        qint64 rows = 0;
        bool operator==(const TableCount&) const = default;
    };

    PracticeTransfer(QString filePath, ServerAddress server, QString password = {},
                     QList<PracticeValue> practiceValues = {});

    // Told the rows copied so far and the rows in all; false stops the copy (nothing is written then).
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    // The number of the failure when the copy was stopped through the progress.
    static constexpr int CancelledNumber = 3059;

    // Runs the copy and returns the rows of each table, as counted on the server before the commit
    // (they equal the file's, or nothing is written). Throws LunarisError with a German description:
    // a refused row is named with its table, its place in the file's order, its values and the reason.
    // The connections are its own, made in the calling thread, so it may run in a worker thread.
    QList<TableCount> run(const Progress& progress = {}) const;

private:
    QString m_filePath;
    ServerAddress m_server;
    QString m_password;
    QList<PracticeValue> m_practiceValues;
};
