#include "FaultProxy.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <list>
#include <map>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
struct Chunk {
    qint64 dueMs;
    QByteArray bytes;
};

// One direction of one relayed connection.
struct Pipe {
    QTcpSocket* to = nullptr;
    std::deque<Chunk> waiting;
    QTimer* timer = nullptr; // deleted later: it may be the sender that led to the link's end
};

struct Link {
    QTcpSocket* client = nullptr;
    QTcpSocket* server = nullptr;
    Pipe up;   // client to server
    Pipe down; // server to client
    bool serverReady = false;
    bool clientSpokeLast = false;
    bool closing = false;
    bool cutAtAnswer = false; // the server's next bytes end the link instead of reaching the client
    bool openedWhileDead = false;
};
// On Windows a socket is inherited by every process started after it, and a closed socket stays
// connected while a child holds it: a cut connection of the workstation started first stayed open in
// the workstations started after it. The proxy's sockets belong to it alone.
void keepToThisProcess(qintptr socket)
{
#ifdef Q_OS_WIN
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
#else
    Q_UNUSED(socket); // sockets are opened close-on-exec
#endif
}
} // namespace

class FaultRelay : public QObject {
public:
    FaultRelay(FaultProxy& owner, QHostAddress target, quint16 targetPort)
        : m_owner(owner), m_target(std::move(target)), m_targetPort(targetPort)
    {
        m_clock.start();
    }
    ~FaultRelay() override { cutAll(); }

    quint16 listen()
    {
        m_listener = new QTcpServer(this);
        QObject::connect(m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = m_listener->nextPendingConnection())
                accept(client);
        });
        if (!m_listener->listen(QHostAddress::LocalHost, 0))
            qFatal("fault proxy: cannot listen: %s", qPrintable(m_listener->errorString()));
        keepToThisProcess(m_listener->socketDescriptor());
        return m_listener->serverPort();
    }

    void setDelay(int upMs, int downMs)
    {
        m_upDelayMs = upMs;
        m_downDelayMs = downMs;
    }

    void setTarget(const QHostAddress& target, quint16 targetPort)
    {
        m_target = target;
        m_targetPort = targetPort;
    }

    void setBlackHole(bool on)
    {
        m_blackHole = on;
        if (on)
            return;
        // Pumping may end a link whose other side has gone meanwhile.
        for (auto it = m_links.begin(); it != m_links.end();) {
            Link& link = *it++;
            pumpBoth(link);
        }
    }

    void cutAll()
    {
        while (!m_links.empty())
            drop(m_links.begin());
    }

    void cutOpenedWhileDead()
    {
        for (auto it = m_links.begin(); it != m_links.end();) {
            const LinkIt link = it++;
            if (link->openedWhileDead)
                drop(link);
        }
    }

    void cutAtRequest(int request, FaultProxy::Loss loss) { m_faults[m_requests + request] = loss; }

private:
    using LinkIt = std::list<Link>::iterator;

    void accept(QTcpSocket* client)
    {
        ++m_owner.m_accepted;
        ++m_owner.m_open;
        m_links.emplace_back();
        const LinkIt link = std::prev(m_links.end());
        keepToThisProcess(client->socketDescriptor());
        // Passed on as it comes, as a router would: with Nagle's wait for an acknowledgement, a reply that
        // arrived in two reads had its second part held until the peer's delayed ACK (about 40 ms).
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        link->client = client;
        link->openedWhileDead = m_blackHole;
        link->server = new QTcpSocket(this);
        link->up.to = link->server;
        link->down.to = client;
        for (Pipe* pipe : {&link->up, &link->down}) {
            pipe->timer = new QTimer(this);
            pipe->timer->setSingleShot(true);
            pipe->timer->setTimerType(Qt::PreciseTimer);
            QObject::connect(pipe->timer, &QTimer::timeout, this, [this, link, pipe] { pump(*link, *pipe); });
        }
        QObject::connect(client, &QTcpSocket::readyRead, this, [this, link] {
            const bool request = !link->clientSpokeLast;
            if (request)
                ++m_owner.m_roundTrips;
            link->clientSpokeLast = true;
            if (const auto fault = request ? m_faults.find(++m_requests) : m_faults.end(); fault != m_faults.end()) {
                const FaultProxy::Loss loss = fault->second;
                m_faults.erase(fault);
                if (loss == FaultProxy::Loss::RequestLost) {
                    drop(link);
                    return;
                }
                if (loss == FaultProxy::Loss::PathDies)
                    m_blackHole = true;
                else
                    link->cutAtAnswer = true;
            }
            queue(*link, link->up, link->client->readAll(), m_upDelayMs);
        });
        QObject::connect(link->server, &QTcpSocket::readyRead, this, [this, link] {
            if (link->cutAtAnswer) {
                link->server->readAll();
                drop(link);
                return;
            }
            link->clientSpokeLast = false;
            queue(*link, link->down, link->server->readAll(), m_downDelayMs);
        });
        QObject::connect(link->server, &QTcpSocket::connected, this, [this, link] {
            keepToThisProcess(link->server->socketDescriptor());
            link->server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            link->serverReady = true;
            pump(*link, link->up);
        });
        // One side gone: what is still on its way to the other side is delivered first.
        for (QTcpSocket* side : {client, link->server})
            QObject::connect(side, &QTcpSocket::disconnected, this, [this, link] { closeWhenDrained(link); });
        QObject::connect(link->server, &QTcpSocket::errorOccurred, this, [this, link](QAbstractSocket::SocketError) {
            if (!link->serverReady)
                drop(link);
        });
        link->server->connectToHost(m_target, m_targetPort);
    }

    void queue(Link& link, Pipe& pipe, const QByteArray& bytes, int delayMs)
    {
        pipe.waiting.push_back({m_clock.elapsed() + delayMs, bytes});
        pump(link, pipe);
    }

    void pumpBoth(Link& link)
    {
        if (!pump(link, link.up))
            pump(link, link.down);
    }

    // Passes on what is due; true when that ended the link (it is gone then).
    bool pump(Link& link, Pipe& pipe)
    {
        if (m_blackHole || (&pipe == &link.up && !link.serverReady))
            return false;
        const qint64 now = m_clock.elapsed();
        while (!pipe.waiting.empty() && pipe.waiting.front().dueMs <= now) {
            pipe.to->write(pipe.waiting.front().bytes);
            pipe.waiting.pop_front();
        }
        if (!pipe.waiting.empty())
            pipe.timer->start(int(pipe.waiting.front().dueMs - now));
        else if (link.closing)
            return closeWhenDrained(linkOf(link));
        return false;
    }

    LinkIt linkOf(Link& link)
    {
        for (auto it = m_links.begin(); it != m_links.end(); ++it)
            if (&*it == &link)
                return it;
        return m_links.end();
    }

    bool closeWhenDrained(LinkIt link)
    {
        if (link == m_links.end())
            return true;
        link->closing = true;
        if (!link->up.waiting.empty() || !link->down.waiting.empty())
            return false;
        forget(link, false);
        return true;
    }

    void drop(LinkIt link) { forget(link, true); }

    // Ends the link: cut (reset at once) or closed in order after what was written.
    void forget(LinkIt link, bool cut)
    {
        // Signals first: closing a socket emits them at once, and the link is gone after this.
        for (QTcpSocket* side : {link->client, link->server})
            side->disconnect(this);
        for (QTimer* timer : {link->up.timer, link->down.timer}) {
            timer->stop();
            timer->deleteLater();
        }
        // deleteLater: this may run inside one of the sockets' own signals. A socket closed in order goes only
        // once it has written what it holds: deleting it before would throw that away.
        for (QTcpSocket* side : {link->client, link->server}) {
            if (cut) {
                side->abort();
            } else {
                QObject::connect(side, &QAbstractSocket::disconnected, side, &QObject::deleteLater);
                side->disconnectFromHost();
                if (side->state() != QAbstractSocket::UnconnectedState)
                    continue;
            }
            side->deleteLater();
        }
        m_links.erase(link);
        --m_owner.m_open;
    }

    FaultProxy& m_owner;
    QHostAddress m_target;
    quint16 m_targetPort;
    QTcpServer* m_listener = nullptr;
    QElapsedTimer m_clock;
    std::list<Link> m_links;
    int m_upDelayMs = 0;
    int m_downDelayMs = 0;
    bool m_blackHole = false;
    // Requests relayed so far, and the faults due at a request's number.
    int m_requests = 0;
    std::map<int, FaultProxy::Loss> m_faults;
};

FaultProxy::FaultProxy(const QHostAddress& target, quint16 targetPort)
{
    m_relay = new FaultRelay(*this, target, targetPort);
    m_relay->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_relay, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_relay, [this] { m_port = m_relay->listen(); }, Qt::BlockingQueuedConnection);
}

FaultProxy::~FaultProxy()
{
    QMetaObject::invokeMethod(
        m_relay, [this] { m_relay->cutAll(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void FaultProxy::setDelay(int clientToServerMs, int serverToClientMs)
{
    QMetaObject::invokeMethod(
        m_relay, [=, this] { m_relay->setDelay(clientToServerMs, serverToClientMs); }, Qt::BlockingQueuedConnection);
}

void FaultProxy::setBlackHole(bool on)
{
    QMetaObject::invokeMethod(
        m_relay, [=, this] { m_relay->setBlackHole(on); }, Qt::BlockingQueuedConnection);
}

void FaultProxy::cutAll()
{
    QMetaObject::invokeMethod(
        m_relay, [this] { m_relay->cutAll(); }, Qt::BlockingQueuedConnection);
}

void FaultProxy::cutOpenedWhileDead()
{
    QMetaObject::invokeMethod(
        m_relay, [this] { m_relay->cutOpenedWhileDead(); }, Qt::BlockingQueuedConnection);
}

void FaultProxy::setTarget(const QHostAddress& target, quint16 targetPort)
{
    QMetaObject::invokeMethod(
        m_relay, [=, this] { m_relay->setTarget(target, targetPort); }, Qt::BlockingQueuedConnection);
}

void FaultProxy::cutAtRequest(int request, Loss loss)
{
    QMetaObject::invokeMethod(
        m_relay, [=, this] { m_relay->cutAtRequest(request, loss); }, Qt::BlockingQueuedConnection);
}

void FaultProxy::resetCounts()
{
    m_roundTrips = 0;
    m_accepted = 0;
}
