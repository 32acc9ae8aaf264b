#include "store/DemoPractice.h"

#include "store/Database.h"
#include "store/DemoSql.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>

namespace {
// The script's statements without its comments and its own transaction (the caller's encloses them).
QStringList demoStatements()
{
    QString script = QString::fromUtf8(kDemoSql);
    script.remove(QRegularExpression(QStringLiteral("^\\s*--[^\\n]*$"), QRegularExpression::MultilineOption));
    QStringList statements;
    for (const QString& part : script.split(QRegularExpression(QStringLiteral(";\\s*(\\n|$)")))) {
        const QString statement = part.trimmed();
        const QString word = statement.section(QLatin1Char(' '), 0, 0).toUpper();
        if (!statement.isEmpty() && word != QLatin1String("BEGIN") && word != QLatin1String("COMMIT"))
            statements.append(statement);
    }
    return statements;
}
} // namespace

PracticeContents PracticeContents::of(const Database& db)
{
    QSqlQuery q = db.run(QStringLiteral("SELECT (SELECT COUNT(*) FROM Stuhl), (SELECT COUNT(*) FROM Behand), "
                                        "(SELECT COUNT(*) FROM Idealtag) + (SELECT COUNT(*) FROM Template)"));
    PracticeContents contents;
    if (readNext(q))
        contents = {q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()};
    return contents;
}

PracticeContents PracticeContents::masterData(const Database& db)
{
    QSqlQuery q = db.run(QStringLiteral("SELECT (SELECT COUNT(*) FROM Stuhl), (SELECT COUNT(*) FROM Behand)"));
    PracticeContents contents;
    if (readNext(q))
        contents = {q.value(0).toInt(), q.value(1).toInt(), 0};
    return contents;
}

bool DemoPractice::load(const Database& db)
{
    bool loaded = false;
    db.inTransaction([&] {
        // Asked inside the transaction: another workstation may have begun its practice meanwhile.
        if (!PracticeContents::of(db).isEmpty())
            return;
        for (const QString& statement : demoStatements())
            db.run(statement);
        loaded = true;
    });
    return loaded;
}
