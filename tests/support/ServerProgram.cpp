#include "ServerProgram.h"

#include "TestServer.h"
#include "store/PasswordFile.h"

#include <QDir>
#include <QFile>

ServerProgram::ServerProgram(const ServerAddress& address)
{
    QDir(m_root.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_settings.write(QStringLiteral("Lunaris"), QStringLiteral("Datenbank"), QStringLiteral("Verbindung"),
                     address.uri());
    PasswordFile(filePath(QStringLiteral("pgpass")))
        .store(address.host, address.port, address.database, address.user, TestServer::password());
}

QProcessEnvironment ServerProgram::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_settings.folder());
    env.insert(QStringLiteral("XDG_DATA_HOME"), filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("PGPASSFILE"), filePath(QStringLiteral("pgpass")));
    return env;
}
