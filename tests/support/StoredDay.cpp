#include "StoredDay.h"

#include "kernel/Steps.h"
#include "store/Database.h"

#include <QFile>
#include <QRegularExpression>

StoredDay::StoredDay(const Database& database, const QString& day, int slotSetting, const QString& openTime,
                     const QString& closeTime)
{
    QSqlQuery chairs = database.run(QStringLiteral("SELECT STUHL FROM Stuhl ORDER BY rowid"));
    while (chairs.next()) {
        const QString chair = chairs.value(0).toString();
        DayViewModel& column = addColumn(chair, slotSetting, openTime, closeTime);
        QSqlQuery blocks =
            database.run(QStringLiteral("SELECT STARTZEIT, ENDZEIT, BEH FROM Template WHERE IDEALTAG = ? AND STUHL = ? "
                                        "ORDER BY rowid"),
                         {day, chair});
        while (blocks.next()) {
            // A block the column refuses is left out, as when the program loads the day.
            runStep([&] {
                column.add(blocks.value(0).toString(), blocks.value(1).toString(), blocks.value(2).toString(),
                           QColor(0, 255, 0));
            });
        }
    }
    addColumn(QStringLiteral("Dr.-Zeit"), slotSetting, openTime, closeTime);
}

QList<const DayViewModel*> StoredDay::columns() const
{
    QList<const DayViewModel*> result;
    for (const auto& column : m_columns)
        result.append(column.get());
    return result;
}

DayViewModel& StoredDay::addColumn(const QString& caption, int slotSetting, const QString& openTime,
                                   const QString& closeTime)
{
    auto column = std::make_unique<DayViewModel>();
    column->setSlotSize(slotSetting);
    column->setDayEnd(closeTime);
    column->setDayStart(openTime);
    column->setCaption(caption);
    m_columns.push_back(std::move(column));
    return *m_columns.back();
}

void runSqlScript(const Database& database, const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("cannot read " + fileName.toStdString());
    QString script = QString::fromUtf8(file.readAll());
    script.remove(QRegularExpression(QStringLiteral("^\\s*--[^\\n]*$"), QRegularExpression::MultilineOption));
    for (const QString& statement : script.split(QRegularExpression(QStringLiteral(";\\s*\\n")))) {
        const QString sql = statement.trimmed().remove(QRegularExpression(QStringLiteral(";$")));
        if (!sql.isEmpty())
            database.run(sql);
    }
}
