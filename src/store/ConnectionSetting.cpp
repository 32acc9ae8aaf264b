#include "store/ConnectionSetting.h"

#include "kernel/LunarisError.h"
#include "settings/SettingsStore.h"

#include <QUrl>
#include <QUrlQuery>

namespace {
// The number Jet gave a connect string it had no driver for.
constexpr int UnusableConnectString = 3170;

LunarisError refused(const QString& value, const QString& reason)
{
    return LunarisError(
        UnusableConnectString,
        QStringLiteral("Die Einstellung „%1/%2“ („%3“) ist keine gültige Verbindung zu einem PostgreSQL-Server: %4\r"
                       "Leer bedeutet die Datei Kavemo.mdb im Programmordner; ein Server wird so angegeben: "
                       "postgresql://benutzer@server:5432/datenbank")
            .arg(ConnectionSetting::Section, ConnectionSetting::Key, value, reason));
}
} // namespace

QString ServerAddress::uri() const
{
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    url.setHost(host);
    url.setPort(port);
    url.setPath(QLatin1Char('/') + database);
    if (!options.isEmpty()) {
        QUrlQuery query;
        query.setQueryItems(options);
        url.setQuery(query);
    }
    return url.toString(QUrl::FullyEncoded);
}

QString ServerAddress::displayName() const
{
    return QStringLiteral("%1:%2").arg(host.isEmpty() ? QStringLiteral("localhost") : host).arg(port);
}

QString ServerAddress::option(const QString& key) const
{
    for (const auto& [name, value] : options)
        if (name == key)
            return value;
    return {};
}

QString ConnectionSetting::read(const SettingsStore& settings)
{
    for (const QString& application : {SettingsStore::ProgramApp, SettingsStore::FamilyApp})
        if (const std::optional<QString> value = settings.storedSetting(application, Section, Key))
            return value->trimmed();
    return {};
}

void ConnectionSetting::write(SettingsStore& settings, const QString& value)
{
    settings.saveSetting(SettingsStore::ProgramApp, Section, Key, value);
}

ServerAddress ConnectionSetting::parse(const QString& value)
{
    if (!value.startsWith(QLatin1String("postgresql://")) && !value.startsWith(QLatin1String("postgres://")))
        throw refused(value, QStringLiteral("Sie beginnt nicht mit „postgresql://“."));
    const QUrl url(value, QUrl::StrictMode);
    if (!url.isValid())
        throw refused(value, QStringLiteral("Server, Port oder Name sind nicht richtig geschrieben."));
    if (!url.password().isEmpty())
        throw refused(value, QStringLiteral("Sie enthält ein Passwort. Das Passwort gehört in die Passwortdatei "
                                            "(über Bearbeiten → Datenbank...), nie in die Einstellungen."));
    ServerAddress address;
    address.host = url.host();
    address.user = url.userName();
    address.port = url.port(ServerAddress::DefaultPort);
    if (address.port < 1)
        throw refused(value, QStringLiteral("Der Port ist keine Zahl von 1 bis 65535."));
    address.database = url.path().mid(1);
    if (address.database.isEmpty() || address.database.contains(QLatin1Char('/')))
        throw refused(value, QStringLiteral("Der Name der Datenbank fehlt."));
    const QUrlQuery query(url);
    address.options = query.queryItems(QUrl::FullyDecoded);
    for (const auto& [key, optionValue] : address.options)
        if (key.isEmpty() || key == QLatin1String("password") || key == QLatin1String("dbname") ||
            key.contains(QLatin1Char(' ')) || key.contains(QLatin1Char(';')) || optionValue.contains(QLatin1Char(';')))
            throw refused(value, QStringLiteral("Die Angabe „%1“ nach dem Fragezeichen ist nicht erlaubt.").arg(key));
    return address;
}
