#include "store/ConnectionSetting.h"

#include "kernel/LunarisError.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {
// The number Jet gave a connect string it had no driver for.
constexpr int UnusableConnectString = 3170;

// The setting as a message may repeat it: a password written into it (the URI's user part, a password
// option, libpq's key=value form) shows as "***".
QString withoutPasswords(QString value)
{
    static const QRegularExpression userPart(QStringLiteral("^([A-Za-z]+://[^/?#@]*?:)[^/?#]*@"));
    static const QRegularExpression option(QStringLiteral("([?&]password=)[^&#]*"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression keyValue(QStringLiteral("(\\bpassword\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'?|\\S*)"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (value.contains(QLatin1String("://")))
        return value.replace(userPart, QStringLiteral("\\1***@")).replace(option, QStringLiteral("\\1***"));
    return value.replace(keyValue, QStringLiteral("\\1***"));
}

LunarisError refused(const QString& value, const QString& reason)
{
    return LunarisError(
        UnusableConnectString,
        QStringLiteral("Die Einstellung „%1/%2“ („%3“) ist keine gültige Verbindung zu einem PostgreSQL-Server: %4\r"
                       "Leer bedeutet die Datei Kavemo.mdb im Programmordner; ein Server wird so angegeben: "
                       "postgresql://benutzer@server:5432/datenbank")
            .arg(ConnectionSetting::Section, ConnectionSetting::Key, withoutPasswords(value), reason));
}

bool isIpv6(const QString& host)
{
    return host.contains(QLatin1Char(':')) && QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol;
}

// The host as the text spells it: QUrl folds a name to lower case, but libpq's password file compares
// the host as typed, case and all.
QString hostAsWritten(const QString& value, const QString& folded)
{
    const qsizetype start = value.indexOf(QLatin1String("://")) + 3;
    qsizetype end = start;
    while (end < value.size() && !QStringView(u"/?#").contains(value.at(end)))
        ++end;
    QString authority = value.mid(start, end - start);
    authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    if (!authority.startsWith(QLatin1Char('[')))
        authority = authority.left(authority.indexOf(QLatin1Char(':')));
    const QString written = QUrl::fromPercentEncoding(authority.toUtf8());
    return written.compare(folded, Qt::CaseInsensitive) == 0 ? written : folded;
}
} // namespace

QString ServerAddress::hostProblem(const QString& host)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9._~-]+$"));
    if (host.isEmpty() || name.match(host).hasMatch() || isIpv6(host))
        return {};
    return QStringLiteral("Der Servername „%1“ kann nicht verwendet werden. Erlaubt sind ein Name aus Buchstaben "
                          "ohne Umlaute, Ziffern, Punkt, Bindestrich und Unterstrich (zum Beispiel „PRAXIS-SERVER“) "
                          "oder eine IP-Adresse.")
        .arg(host);
}

QString ServerAddress::uri() const
{
    // Built by hand: QUrl would fold the host to lower case.
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += QString::fromLatin1(QUrl::toPercentEncoding(user)) + QLatin1Char('@');
    text += isIpv6(host) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    text += QStringLiteral(":%1/").arg(port) + QString::fromLatin1(QUrl::toPercentEncoding(database));
    if (!options.isEmpty()) {
        QUrlQuery query;
        query.setQueryItems(options);
        text += QLatin1Char('?') + query.toString(QUrl::FullyEncoded);
    }
    return text;
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
    address.host = hostAsWritten(value, url.host());
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
