#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// libpq's password file: one line "host:port:database:user:password" per server login, readable by
// its owner only. Passwords of the program live here and never in its settings.
class PasswordFile {
public:
    // PGPASSFILE when set, else libpq's default for the user (~/.pgpass; %APPDATA%\postgresql\pgpass.conf).
    static QString defaultPath();

    explicit PasswordFile(QString path = defaultPath()) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }

    // Stores the password for the login (host as typed, case kept): its line goes where the first line
    // that serves the login stands (its own older line, or a line with "*" before it), since libpq uses
    // the first line that does; older lines of the login go. Every other line is kept. The file is
    // (re)written with mode 0600, whole or not at all. Throws LunarisError with a German description when it cannot be
    // written.
    void store(const QString& host, int port, const QString& database, const QString& user,
               const QString& password) const;

    // The password libpq would take from here for the login: the first line that serves it (an
    // unreadable file: none).
    std::optional<QString> passwordFor(const QString& host, int port, const QString& database,
                                       const QString& user) const;

private:
    // The file's lines, none when there is no file. Throws LunarisError when it cannot be read.
    QStringList lines() const;

    QString m_path;
};
