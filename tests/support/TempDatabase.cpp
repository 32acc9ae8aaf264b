#include "TempDatabase.h"

#include "kernel/LunarisError.h"

#include <QSqlRecord>
#include <QtTest>

TempDatabase::TempDatabase()
{
    reopen();
}

void TempDatabase::reopen()
{
    m_database.reset();
    m_database = std::make_unique<Database>(path(), QStringLiteral("test-%1").arg(quintptr(this)));
}

void TempDatabase::exec(const QString& sql, const QVariantList& values)
{
    try {
        m_database->run(sql, values);
    } catch (const LunarisError& e) {
        QTest::qFail(qPrintable(QStringLiteral("SQL failed: %1: %2").arg(sql, e.description())), __FILE__, __LINE__);
    }
}

QStringList TempDatabase::rows(const QString& sql, const QVariantList& values)
{
    QStringList result;
    try {
        QSqlQuery q = m_database->run(sql, values);
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields.append(q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
            result.append(fields.join(QLatin1Char('|')));
        }
    } catch (const LunarisError& e) {
        QTest::qFail(qPrintable(QStringLiteral("SQL failed: %1: %2").arg(sql, e.description())), __FILE__, __LINE__);
    }
    return result;
}

void TempDatabase::addChair(const QString& name, const QString& text)
{
    exec(QStringLiteral("INSERT INTO Stuhl (STUHL, TEXT) VALUES (?, ?)"), {name, text});
}

void TempDatabase::addTreatment(const QString& code, const QVariant& dauer, const QVariant& drStart,
                                const QVariant& drDauer, const QVariant& drStart2, const QVariant& drDauer2,
                                const QVariant& hon, const QString& text)
{
    exec(QStringLiteral("INSERT INTO Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
         {code, text, dauer, drStart, drDauer, drStart2, drDauer2, hon});
}

void TempDatabase::addDayName(const QString& name)
{
    exec(QStringLiteral("INSERT INTO Idealtag (IDEALTAG) VALUES (?)"), {name});
}

void TempDatabase::addBlock(const QString& day, const QString& chair, const QVariant& code, const QVariant& start,
                            const QVariant& end)
{
    exec(QStringLiteral("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) VALUES (?, ?, ?, ?, ?)"),
         {day, chair, code, start, end});
}
