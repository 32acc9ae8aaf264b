#include "store/OwnConnection.h"

#include <QAtomicInt>
#include <QSqlDatabase>

OwnConnection::OwnConnection(const QString& path, const QString& options)
{
    static QAtomicInt counter;
    m_name = QStringLiteral("eigene-%1").arg(counter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(options);
    if (!db.open())
        m_error = db.lastError();
}

OwnConnection::~OwnConnection()
{
    QSqlDatabase::removeDatabase(m_name);
}

QSqlQuery OwnConnection::query() const
{
    return QSqlQuery(QSqlDatabase::database(m_name, false));
}
