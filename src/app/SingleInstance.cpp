#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString lockFilePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
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
