#include "DamagedFile.h"

#include "store/Database.h"
#include "store/Tables.h"

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

void writePracticeDamagedOutsideOwnTables(const QString& path)
{
    {
        Database practice(path, QStringLiteral("practice"));
        practice.run(QStringLiteral("INSERT INTO Stuhl (STUHL) VALUES (?)"), {QStringLiteral("Stuhl 1")});
        practice.run(QStringLiteral("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)"), {QStringLiteral("KONT"), 20});
        IdealDayStore(practice).replaceDay(
            QStringLiteral("Montag"),
            {{QStringLiteral("Stuhl 1"), QStringLiteral("KONT"), QStringLiteral("08:00"), QStringLiteral("08:20")}});
        practice.run(QStringLiteral("CREATE TABLE Termine (NR INTEGER PRIMARY KEY, PATIENT TEXT)"));
        practice.run(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                    "INSERT INTO Termine (PATIENT) SELECT printf('Patient %05d', i) FROM n"));
    }
    damageRootOf(path, QStringLiteral("Termine"));
}
