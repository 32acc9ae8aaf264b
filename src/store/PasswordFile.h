#pragma once

#include <QString>

// libpq's password file: one line "host:port:database:user:password" per server login, readable by
// its owner only. Passwords of the program live here and never in its settings.
class PasswordFile {
public:
    // PGPASSFILE when set, else libpq's default for the user (~/.pgpass; %APPDATA%\postgresql\pgpass.conf).
    static QString defaultPath();

    explicit PasswordFile(QString path = defaultPath()) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }

    // Stores the password for the login: a line for the same host, port, database and user is replaced,
    // every other line kept as it was. The file is (re)written with mode 0600, whole or not at all.
    // Throws LunarisError with a German description when it cannot be written.
    void store(const QString& host, int port, const QString& database, const QString& user,
               const QString& password) const;

private:
    QString m_path;
};
