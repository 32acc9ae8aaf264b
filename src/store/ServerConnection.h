#pragma once

#include "store/ConnectionSetting.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// Logging in to a PostgreSQL server through Qt's QPSQL driver.
namespace ServerConnection {
// Seconds a login waits for an unreachable server when the URI sets no connect_timeout.
constexpr int DefaultConnectTimeoutSeconds = 10;
// A dead network path under an open connection: TCP asks after 5 s of silence, then every 2 s, and gives
// up after 3 unanswered probes (11 s); data sent and not acknowledged for 10 s ends the connection too.
// Both stay below 15 s, the longest a workstation may wait.
// Windows takes neither the number of probes (it sends 10) nor the timeout for unacknowledged data, so
// there TCP asks after 4 s and then every second, and gives up after 14 s.
#ifdef Q_OS_WIN
constexpr int KeepaliveIdleSeconds = 4;
constexpr int KeepaliveIntervalSeconds = 1;
#else
constexpr int KeepaliveIdleSeconds = 5;
constexpr int KeepaliveIntervalSeconds = 2;
#endif
constexpr int KeepaliveCount = 3;
constexpr int TcpUserTimeoutMs = 10000;

// Adds a connection under the name and tries to open it. An empty password leaves it to libpq's
// password file (or to authentication without one). The connection comes back open or with its error.
QSqlDatabase open(const ServerAddress& address, const QString& connectionName, const QString& password = {});

// A login: the connection (open, or closed with its error) and, when it failed, why, in German.
struct Login {
    QSqlDatabase db;
    QString failure;
    // loginWithin(): false when the login was given up at its deadline (no connection, no reason).
    bool inTime = true;
    bool ok() const { return inTime && failure.isEmpty(); }
};
// Opens like open(); a failed login is then examined (is the host known, does it answer at the port, does
// its TLS meet the setting, does the login work for another database of the server, is there a password)
// to name the reason, since the driver reports a failed login without the server's error class. No
// examination logs in with less encryption or less checking than the address asks for. A statement waiting
// on the login gives its deadline: a step of the examination that could outlast it is left out.
Login login(const ServerAddress& address, const QString& connectionName, const QString& password = {},
            QDeadlineTimer examinationEnds = QDeadlineTimer(QDeadlineTimer::Forever));
// As login(), on a thread of its own, and the caller waits at most until the deadline. Right after a login the
// driver sends statements of its own that no bound of the program reaches; on a path that died just then they wait
// until TCP gives up (on Windows longer). A login given up so ends by itself and closes its connection, so each
// call needs a connection name of its own. The connection, once open, belongs to the calling thread.
Login loginWithin(const ServerAddress& address, const QString& connectionName, QDeadlineTimer ends);

// Why something failed on the server, as the user should read it.
enum class Failure {
    Other,
    DriverMissing,
    HostUnknown,               // the name is not known in the network
    NoService,                 // the host refuses the port: no database server runs there
    NoLocalService,            // no server at the local socket
    NoAnswer,                  // nothing came back within the connect timeout
    Unreachable,               // the connection could not be made or was lost
    PasswordMissing,           // the server wants a password and none is given or stored
    LoginRefused,              // wrong password, unknown user, or not admitted from here
    PasswordRefused,           // 28P01
    NotAdmitted,               // 28000
    DatabaseMissing,           // 3D000
    NoConnectRight,            // the user may not connect to this database
    NoRight,                   // 42501
    TooManyConnections,        // 53300
    ServerGoingAway,           // 57P01, 57P02, 57P03: shut down, crashed, starting
    StatementTimeout,          // 57014
    Busy,                      // 55P03, 40P01, 40001: another workstation holds the rows
    CertificateFileUnreadable, // the practice's CA file is missing or cannot be read
    NotACertificate,           // the CA file holds no certificate
    CertificateNameMismatch,   // the server's certificate is good, but not for the name typed
    CertificateUntrusted,      // the server's certificate is not signed by the practice's CA
    CertificateExpired,        // the server's certificate has expired (or is not valid yet)
    CertificateNotCheckable,   // this workstation has no TLS library to check the certificate with
    EncryptionNotOffered,      // an encrypted connection was asked for; the server offers none
    EncryptionRequired,        // an unencrypted connection was asked for; the server admits only encrypted ones
};
// The class of a failure from its SQLSTATE and the error's type, never from its text (libpq and the
// server answer in the locale's language).
Failure classify(const QSqlError& error);
QString germanReason(Failure failure, const ServerAddress& address);

// Why a login or statement failed, in German, with the server's own words after it.
QString describeFailure(const QSqlError& error, const ServerAddress& address);
QString describeFailure(Failure failure, const QSqlError& error, const ServerAddress& address);

// The CA certificate file a checked connection uses: the URI's sslrootcert, else libpq's default.
QString rootCertificatePath(const ServerAddress& address);
// Whether the URI asks libpq to check the server's certificate (verify-ca, verify-full).
bool checksCertificate(const ServerAddress& address);

// Whether the driver for servers is installed.
bool driverAvailable();

// Tries a login once, for the user who just typed the values: what worked, or why not, in German.
struct ProbeResult {
    bool ok = false;
    QString message;
};
ProbeResult probe(const ServerAddress& address, const QString& password);
} // namespace ServerConnection
