#include "DamagedFile.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {
constexpr qint64 PageSize = 4096; // SQLite's default, which the program keeps
}

void damageRootOf(const QString& path, const QString& name)
{
    qint64 root = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = ?"));
        q.addBindValue(name);
        QVERIFY(q.exec() && q.next());
        root = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek((root - 1) * PageSize));
    QCOMPARE(file.write(QByteArray(PageSize, '\xA5')), PageSize);
}
