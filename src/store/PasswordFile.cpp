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

// The first four fields of a line, unescaped; fewer for a comment or a malformed line.
QStringList loginFields(const QString& line)
{
    QStringList fields;
    QString current;
    for (qsizetype i = 0; i < line.size() && fields.size() < 4; ++i) {
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
    return fields;
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

void PasswordFile::store(const QString& host, int port, const QString& database, const QString& user,
                         const QString& password) const
{
    const QStringList login{host.isEmpty() ? QStringLiteral("localhost") : host, QString::number(port), database, user};
    QStringList lines;
    if (QFile existing(m_path); existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly | QIODevice::Text))
            throw cannotWrite(m_path, existing.errorString());
        lines = QString::fromUtf8(existing.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
    }
    QStringList kept;
    for (const QString& line : lines)
        if (loginFields(line) != login)
            kept.append(line);
    QStringList entry;
    for (const QString& field : login)
        entry.append(escaped(field));
    entry.append(escaped(password));
    kept.append(entry.join(QLatin1Char(':')));

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    // Owner-only before the first byte: libpq ignores a file that others may read, and so should they.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || !file.setPermissions(OwnerOnly))
        throw cannotWrite(m_path, file.errorString());
    file.write((kept.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (!file.commit())
        throw cannotWrite(m_path, file.errorString());
}
