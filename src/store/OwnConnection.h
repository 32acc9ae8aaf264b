#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>

// A connection of its own to one SQLite file (a backup being made or read), in the calling thread;
// removed again with the object.
class OwnConnection {
public:
    // `options`: QSQLITE connect options, e.g. "QSQLITE_OPEN_READONLY".
    OwnConnection(const QString& path, const QString& options);
    ~OwnConnection();
    OwnConnection(const OwnConnection&) = delete;
    OwnConnection& operator=(const OwnConnection&) = delete;

    bool isOpen() const { return !m_error.isValid(); }
    const QSqlError& error() const { return m_error; }
    QSqlQuery query() const;

private:
    QString m_name;
    QSqlError m_error;
};
