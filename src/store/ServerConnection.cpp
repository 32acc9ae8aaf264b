#include "store/ServerConnection.h"

#include <QUuid>

namespace {
const QString Driver = QStringLiteral("QPSQL");

// A value for libpq's key=value connection text, quoted as libpq reads it.
QString quoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// libpq's and the server's reasons for the common failures, as the user should read them.
QString germanReason(const QString& text, const ServerAddress& address)
{
    const auto has = [&text](const char* part) { return text.contains(QLatin1String(part), Qt::CaseInsensitive); };
    if (has("password authentication failed"))
        return QStringLiteral("Der Server hat das Passwort für den Benutzer „%1“ abgelehnt.").arg(address.user);
    if (has("no password supplied"))
        return QStringLiteral("Der Server verlangt ein Passwort für den Benutzer „%1“, es ist aber keins hinterlegt.")
            .arg(address.user);
    if (has("database") && has("does not exist"))
        return QStringLiteral("Die Datenbank „%1“ gibt es auf dem Server nicht.").arg(address.database);
    if (has("role") && has("does not exist"))
        return QStringLiteral("Den Benutzer „%1“ gibt es auf dem Server nicht.").arg(address.user);
    if (has("no pg_hba.conf entry") || has("authentication failed"))
        return QStringLiteral("Der Server lässt diese Anmeldung nicht zu.");
    if (has("could not connect") || has("connection refused") || has("could not translate host name") ||
        has("timeout expired") || has("no route to host") || has("server closed the connection") ||
        has("terminating connection") || has("connection to server") || has("no connection to the server"))
        return QStringLiteral("Der Server ist nicht erreichbar.");
    return {};
}
} // namespace

bool ServerConnection::driverAvailable()
{
    return QSqlDatabase::isDriverAvailable(Driver);
}

QSqlDatabase ServerConnection::open(const ServerAddress& address, const QString& connectionName,
                                    const QString& password)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(Driver, connectionName);
    db.setHostName(address.host);
    db.setPort(address.port);
    db.setDatabaseName(address.database);
    db.setUserName(address.user);
    db.setPassword(password);
    QStringList options;
    for (const auto& [key, value] : address.options)
        options.append(key + QLatin1Char('=') + quoted(value));
    // An unreachable server must not leave the program hanging.
    if (address.option(QStringLiteral("connect_timeout")).isEmpty())
        options.append(QStringLiteral("connect_timeout=%1").arg(DefaultConnectTimeoutSeconds));
    if (address.option(QStringLiteral("application_name")).isEmpty())
        options.append(QStringLiteral("application_name=Lunaris"));
    db.setConnectOptions(options.join(QLatin1Char(';')));
    db.open();
    return db;
}

QString ServerConnection::describeFailure(const QSqlError& error, const ServerAddress& address)
{
    QString serverText = error.databaseText().trimmed();
    if (serverText.isEmpty())
        serverText = error.driverText().trimmed();
    serverText.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString reason = germanReason(serverText, address);
    const QString head = QStringLiteral("Die Verbindung zum Server „%1“ ist fehlgeschlagen").arg(address.displayName());
    if (!driverAvailable())
        return head + QStringLiteral(": Der Datenbanktreiber für PostgreSQL (QPSQL) ist nicht installiert.");
    if (reason.isEmpty())
        return head + QStringLiteral(": ") + serverText;
    return head + QStringLiteral(": ") + reason + QStringLiteral("\r(Meldung: ") + serverText + QLatin1Char(')');
}

ServerConnection::ProbeResult ServerConnection::probe(const ServerAddress& address, const QString& password)
{
    const QString name = QStringLiteral("lunaris-probe-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    ProbeResult result;
    {
        QSqlDatabase db = open(address, name, password);
        result.ok = db.isOpen();
        result.message = result.ok
                             ? QStringLiteral("Die Verbindung zum Server „%1“, Datenbank „%2“, wurde hergestellt.")
                                   .arg(address.displayName(), address.database)
                             : describeFailure(db.lastError(), address);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
