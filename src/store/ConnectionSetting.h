#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A PostgreSQL server database, as a libpq connection URI names it:
// postgresql://user@host:port/dbname?option=value&...
struct ServerAddress {
    static constexpr int DefaultPort = 5432;

    QString host; // as typed, case kept; empty: libpq's default (the local socket)
    int port = DefaultPort;
    QString database;
    QString user;                           // empty: libpq's default (the login name)
    QList<QPair<QString, QString>> options; // passed to libpq as they are (sslmode, connect_timeout, ...)

    // The URI that names this address; parseConnectSetting gives it back unchanged.
    QString uri() const;
    // "host:port", as messages name the server.
    QString displayName() const;
    QString option(const QString& key) const;
    // Why a typed server name cannot be written into the connection URI (German), or empty when it can.
    static QString hostProblem(const QString& host);
    bool operator==(const ServerAddress&) const = default;
};

// The setting that chooses the practice database: section "Datenbank", key "Verbindung".
// Empty means the database file beside the program; otherwise a PostgreSQL connection URI. Reading and
// writing it in the settings store is the settings' part.
namespace ConnectionSetting {
inline const QString Section = QStringLiteral("Datenbank");
inline const QString Key = QStringLiteral("Verbindung");

// The server a non-empty setting names. Throws LunarisError with a German description that names the
// setting when the text is not a usable PostgreSQL URI (another scheme, no database name, a bad port,
// or a password, which never belongs in the settings file).
ServerAddress parse(const QString& value);
} // namespace ConnectionSetting
