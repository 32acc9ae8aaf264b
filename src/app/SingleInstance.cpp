#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

namespace {
const QByteArray ShowRequest = QByteArrayLiteral("nach vorn\n");
const QByteArray ShownAnswer = QByteArrayLiteral("ok\n");
} // namespace

// Beside the guard, in the user's own folder, where no other user can take the name first. Windows
// names pipes without folders: there the folder's hash tells the users apart, and the pipe is the user's only.
QString SingleInstance::listeningName(const QString& folder)
{
#ifdef Q_OS_WIN
    const QByteArray hash =
        QCryptographicHash::hash(QDir(folder).absolutePath().toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("Lunaris-") + QString::fromLatin1(hash.left(16));
#else
    return QDir(folder).filePath(QStringLiteral("Lunaris.socket"));
#endif
}

QString SingleInstance::defaultFolder()
{
    // The per-user runtime folder; where there is none (or it is not this user's, as after "su"),
    // the user's own cache folder. Never a folder all users share: another user's running copy
    // must not end this user's start.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QDir().mkpath(folder);
    }
    return folder;
}

SingleInstance::SingleInstance(const QString& folder, int closingWaitMs, std::function<void()> pause)
    : m_closingMark(QDir(folder).filePath(QStringLiteral("Lunaris.endet"))), m_serverName(listeningName(folder)),
      m_lock(QDir(folder).filePath(QStringLiteral("Lunaris.lock"))), m_closingWaitMs(closingWaitMs),
      m_pause(std::move(pause))
{
    // A lock left by a crashed instance is taken over at once (Qt checks the owning process).
    m_lock.setStaleLockTime(0);
}

SingleInstance::Start SingleInstance::acquire()
{
    const QDeadlineTimer deadline(m_closingWaitMs);
    for (;;) {
        if (m_lock.tryLock(0)) {
            // The mark of an instance that ended (or crashed while ending) means nothing to the next start.
            QFile::remove(m_closingMark);
            return Start::Alone;
        }
        if (leftByThisProcessId())
            continue;
        // The mark is only read while another instance holds the guard: it was written by that instance,
        // or is an old one its start has not removed yet (then the next look no longer finds it).
        if (!QFile::exists(m_closingMark))
            return Start::AlreadyRunning;
        if (deadline.hasExpired())
            return Start::StillClosing;
        if (m_pause)
            m_pause();
        else
            QThread::msleep(20);
    }
}

bool SingleInstance::leftByThisProcessId()
{
    // Qt keeps a lock whose process still runs under that name. A crashed instance's number can be
    // given again to this start (Wine does so at once, Windows in time): then it is not running.
    // Host names ignore case (Windows writes "VM" where Qt reports "vm"). Qt removes the file only
    // while no process holds it, so one held in this process stays.
    qint64 pid = 0;
    QString host;
    QString application;
    return m_lock.getLockInfo(&pid, &host, &application) && pid == QCoreApplication::applicationPid() &&
           (host.isEmpty() || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0) &&
           m_lock.removeStaleLockFile();
}

void SingleInstance::announceClosing()
{
    if (!m_lock.isLocked())
        return;
    QFile mark(m_closingMark);
    mark.open(QIODevice::WriteOnly);
    // An ending instance shows no window any more: a later start is not told it did.
    m_server.reset();
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen(std::function<void()> bringForward)
{
    if (!m_lock.isLocked())
        return false;
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the guard, no other instance listens here: a name left behind is a crashed instance's.
    if (!m_server->listen(m_serverName)) {
        QLocalServer::removeServer(m_serverName);
        if (!m_server->listen(m_serverName)) {
            m_server.reset();
            return false;
        }
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this, bringForward] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, bringForward] {
                // Anything but the request (or a line that does not end) is no later start of this program.
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > ShowRequest.size())
                        socket->disconnectFromServer();
                    return;
                }
                if (socket->readLine() != ShowRequest)
                    return socket->disconnectFromServer();
                if (bringForward)
                    bringForward();
                socket->write(ShownAnswer);
                socket->flush();
            });
        }
    });
    return true;
}

bool SingleInstance::askRunningToShow(int waitMs) const
{
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(ShowRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine())
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    return socket.readLine() == ShownAnswer;
}
