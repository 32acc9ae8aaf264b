#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString lockFilePath()
{
    // The per-user runtime folder; where there is none (or it is not this user's, as after "su"),
    // the user's own cache folder. Never a folder all users share: another user's running copy
    // must not end this user's start.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QDir().mkpath(folder);
    }
    return QDir(folder).filePath(QStringLiteral("Lunaris.lock"));
}
} // namespace

SingleInstance::SingleInstance() : m_lock(lockFilePath())
{
    // A lock left by a crashed instance is taken over at once (Qt checks the owning process).
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    return m_lock.tryLock(0);
}
