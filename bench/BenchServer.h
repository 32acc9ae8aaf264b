#pragma once

#include "BenchSession.h"
#include "store/ConnectionSetting.h"

#include <QProcess>
#include <QString>

#include <map>
#include <memory>

// A private PostgreSQL server for the benchmarks, started by the tests' own script
// (tests/pg/with_pg_server.sh: initdb into a fresh folder, as an unprivileged user when run as root,
// a free port, the folder removed again however this program ends), but with the server's default
// settings: commits wait for the disk and no statement is logged, as on a practice's server. The
// windows reach it over TCP on 127.0.0.1, so every statement pays a round trip.
class FaultProxy;

class BenchServer {
public:
    // `folder`: where the benchmark keeps its password file.
    explicit BenchServer(const QString& folder);
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // The main window on a copy of the practice file in a database of its own on the server, copied
    // there at first use by the program's own transfer of a practice to a server. Throws when the
    // server cannot be started or the copy fails (then every later call throws the same).
    BenchSession& session(int otherDays, const QString& practiceFile, const QString& pdfPath);
    // A second window on the same practice, as at a branch office: through a relay that adds
    // `delayMs` each way to every packet and counts the round trips.
    BenchSession& remoteSession(int otherDays, const QString& practiceFile, const QString& pdfPath, int delayMs);
    FaultProxy& relay() { return *m_relay; }

private:
    void start();
    ServerAddress address(const QString& database) const;
    void runOn(const QString& database, const QString& statement) const;

    QString m_passwordFile;
    QProcess m_script;
    int m_port = 0;
    QString m_user;
    QString m_password;
    // Why the server could not be used; it is not tried again.
    QString m_failure;
    bool m_started = false;
    std::map<int, std::unique_ptr<BenchSession>> m_sessions;
    std::unique_ptr<FaultProxy> m_relay;
    std::map<int, std::unique_ptr<BenchSession>> m_remoteSessions;
};
