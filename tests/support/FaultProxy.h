#pragma once

#include <QHostAddress>
#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

class FaultRelay;

// A TCP relay of the tests' own between the program and a server, for faults a real network has: a
// slow path (each direction delayed), a cut (every relayed connection closed at once) and a dead path
// (a black hole: connections are accepted and kept, nothing is forwarded until it is lifted, then the
// held bytes go on in order). It runs in a thread of its own, so it keeps relaying while the test's
// own thread waits in a blocking call of the database library. It also counts round trips: a burst
// the client sends after it has received something (or as a connection's first) counts as one.
//
//     FaultProxy proxy(QHostAddress::LocalHost, TestServer::port());
//     ServerAddress address = TestServer::tcpAddress("kavemo");
//     address.port = proxy.port();
//     proxy.setDelay(20, 20);        // 20 ms each way
//     proxy.resetCounts(); ...; QCOMPARE(proxy.roundTrips(), 2);
//     proxy.setBlackHole(true);      // the next statement waits for an answer that does not come
//     proxy.cutAll();                // the server "restarted": every connection is gone
//     proxy.cutAtRequest(4, FaultProxy::Loss::AnswerLost); // the fourth request acted on, never answered
//     proxy.cutAtRequest(6, FaultProxy::Loss::PathDies);   // from the sixth on, nothing gets through
class FaultProxy {
public:
    // Listens on 127.0.0.1 at a free port and relays every connection to target:targetPort.
    FaultProxy(const QHostAddress& target, quint16 targetPort);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    // The port the program connects to instead of the server's.
    quint16 port() const { return m_port; }

    // Milliseconds each chunk waits before it is passed on, per direction; 0 passes at once.
    void setDelay(int clientToServerMs, int serverToClientMs);
    // On: new and existing connections stay open but nothing is passed on; off: the held bytes go on.
    void setBlackHole(bool on);
    // Closes every relayed connection at once (both sides), as a restarted server or a cut cable does.
    void cutAll();
    // Closes the connections opened while the black hole was on: on a real dead path their handshakes never got
    // through (a cancel request's among them), while what the older ones had sent goes on once the path is back.
    void cutOpenedWhileDead();
    // Relays the connections that come from now on to another server (one that took over the address).
    void setTarget(const QHostAddress& target, quint16 targetPort);

    // A connection that breaks around one request (counted as round trips are, over all connections;
    // the traffic is encrypted, so requests are known by their place only): the requestth from now cuts
    // its connection, before it reaches the server (RequestLost) or after the server has acted on it,
    // instead of passing on its answer (AnswerLost), or the path dies with it: the black hole goes on and
    // holds the request (PathDies). Happens once; faults at different requests all stay due.
    enum class Loss { RequestLost, AnswerLost, PathDies };
    void cutAtRequest(int request, Loss loss);

    // Round trips since the last reset (over all connections), and connections accepted.
    int roundTrips() const { return m_roundTrips.load(); }
    int connectionsAccepted() const { return m_accepted.load(); }
    // Connections relayed at this moment.
    int openConnections() const { return m_open.load(); }
    void resetCounts();

private:
    friend class FaultRelay;
    QThread m_thread;
    FaultRelay* m_relay = nullptr; // lives in m_thread
    quint16 m_port = 0;
    std::atomic<int> m_roundTrips{0};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_open{0};
};
