#include "store/PasswordFile.h"

#include "kernel/LunarisError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {
constexpr int PathAccessError = 75;
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// In the file a colon or backslash inside a field is preceded by a backslash.
QString escaped(QString field)
{
    return field.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char(':'), QLatin1String("\\:"));
}

// The fields of a line, unescaped: host, port, database, user and password.
QStringList allFields(const QString& line)
{
    QStringList fields;
    QString current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            current += line.at(++i);
        } else if (c == QLatin1Char(':')) {
            fields.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    fields.append(current);
    return fields;
}

// The first four fields of a line; fewer for a comment or a malformed line.
QStringList loginFields(const QString& line)
{
    QStringList fields = allFields(line);
    if (fields.size() < 5)
        return fields.mid(0, fields.size() - 1);
    return fields.mid(0, 4);
}

LunarisError cannotWrite(const QString& path, const QString& reason)
{
    return LunarisError(PathAccessError,
                        QStringLiteral("Die Passwortdatei „%1“ konnte nicht geschrieben werden: %2").arg(path, reason));
}
} // namespace

QString PasswordFile::defaultPath()
{
    const QString fromEnvironment = qEnvironmentVariable("PGPASSFILE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef Q_OS_WIN
    return QDir(qEnvironmentVariable("APPDATA")).filePath(QStringLiteral("postgresql/pgpass.conf"));
#else
    return QDir::home().filePath(QStringLiteral(".pgpass"));
#endif
}

namespace {
QStringList loginOf(const QString& host, int port, const QString& database, const QString& user)
{
    // libpq looks up a login without a host (the local socket) under "localhost".
    return {host.isEmpty() ? QStringLiteral("localhost") : host, QString::number(port), database, user};
}

// Whether a line of the file serves the login, as libpq decides it: field by field, "*" for any, case kept.
bool serves(const QStringList& fields, const QStringList& login)
{
    if (fields.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (fields[i] != QLatin1String("*") && fields[i] != login[i])
            return false;
    return true;
}
} // namespace

QStringList PasswordFile::lines() const
{
    QStringList result;
    if (QFile existing(m_path); existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly | QIODevice::Text))
            throw cannotWrite(m_path, existing.errorString());
        result = QString::fromUtf8(existing.readAll()).split(QLatin1Char('\n'));
        if (!result.isEmpty() && result.last().isEmpty())
            result.removeLast();
    }
    return result;
}

std::optional<QString> PasswordFile::passwordFor(const QString& host, int port, const QString& database,
                                                 const QString& user) const
{
    const QStringList login = loginOf(host, port, database, user);
    try {
        for (const QString& line : lines())
            if (const QStringList fields = allFields(line); fields.size() >= 5 && serves(fields.mid(0, 4), login))
                return fields[4];
    } catch (const LunarisError&) {
        // An unreadable file holds no password for libpq either.
    }
    return std::nullopt;
}

void PasswordFile::store(const QString& host, int port, const QString& database, const QString& user,
                         const QString& password) const
{
    const QStringList login = loginOf(host, port, database, user);
    QStringList entry;
    for (const QString& field : login)
        entry.append(escaped(field));
    entry.append(escaped(password));
    const QString newLine = entry.join(QLatin1Char(':'));

    // libpq takes the first line that serves a login: the new line goes where the first such line stands
    // (the login's own older one, or a line with "*" that would otherwise serve it first), and every older
    // line of the login goes.
    QStringList kept = lines();
    qsizetype at = -1;
    for (qsizetype i = 0; i < kept.size() && at < 0; ++i)
        if (serves(loginFields(kept[i]), login))
            at = i;
    // Lines of the login stand at or after the first line that serves it: removing them leaves that place.
    kept.removeIf([&](const QString& line) { return loginFields(line) == login; });
    kept.insert(at < 0 ? kept.size() : at, newLine);

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    // Owner-only before the first byte: libpq ignores a file that others may read, and so should they.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || !file.setPermissions(OwnerOnly))
        throw cannotWrite(m_path, file.errorString());
    file.write((kept.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (!file.commit())
        throw cannotWrite(m_path, file.errorString());
}
