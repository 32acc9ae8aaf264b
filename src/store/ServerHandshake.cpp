#include "store/ServerHandshake.h"

#include <QDeadlineTimer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QtEndian>

#include <memory>

namespace {
using ServerConnection::Failure;

// The first packet of a connection that asks for TLS before anything else, and the protocol version of a
// start-up packet (3.0).
constexpr quint32 SslRequestCode = 80877103;
constexpr quint32 ProtocolVersion = 196608;
// A refusal is a few hundred bytes; anything longer is no PostgreSQL server's.
constexpr quint32 LongestAnswer = 65536;

bool overTcp(const ServerAddress& address)
{
    return !address.host.isEmpty() && !address.host.startsWith(QLatin1Char('/'));
}

QByteArray int32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

int remaining(const QDeadlineTimer& deadline)
{
    return int(qMax<qint64>(deadline.remainingTime(), 1));
}

// Exactly n bytes, or fewer when the server closes or falls silent before the deadline.
QByteArray readExactly(QAbstractSocket& socket, qsizetype n, const QDeadlineTimer& deadline)
{
    QByteArray bytes;
    while (bytes.size() < n) {
        if (socket.bytesAvailable() == 0 && (deadline.hasExpired() || !socket.waitForReadyRead(remaining(deadline))))
            break;
        bytes += socket.read(n - bytes.size());
    }
    return bytes;
}

// Connects and asks for TLS: the server's answer, 'S' (yes) or 'N' (no), or 0 when none came.
char requestTls(QAbstractSocket& socket, const ServerAddress& address, const QDeadlineTimer& deadline)
{
    socket.connectToHost(address.host, quint16(address.port));
    if (!socket.waitForConnected(remaining(deadline)))
        return 0;
    socket.write(int32(8) + int32(SslRequestCode));
    const QByteArray answer = readExactly(socket, 1, deadline);
    return answer.size() == 1 ? answer.at(0) : char(0);
}

QDeadlineTimer lookDeadline()
{
    // The host has just answered at the port: connect, TLS and the answer are a few round trips together.
    return QDeadlineTimer(ServerHandshake::TimeoutMs);
}
} // namespace

Failure ServerHandshake::classifyCertificateErrors(const QList<QSslError>& errors, bool checkName)
{
    bool untrusted = false;
    bool expired = false;
    bool wrongName = false;
    for (const QSslError& error : errors) {
        switch (error.error()) {
        case QSslError::NoError:
        case QSslError::NoSslSupport:
        case QSslError::UnspecifiedError:
            break;
        case QSslError::CertificateExpired:
        case QSslError::CertificateNotYetValid:
        case QSslError::InvalidNotBeforeField:
        case QSslError::InvalidNotAfterField:
            expired = true;
            break;
        case QSslError::HostNameMismatch:
            wrongName = checkName;
            break;
        default:
            // Not signed by the practice's CA, self-signed, revoked, no certificate at all: not the practice's.
            untrusted = true;
            break;
        }
    }
    return untrusted   ? Failure::CertificateUntrusted
           : expired   ? Failure::CertificateExpired
           : wrongName ? Failure::CertificateNameMismatch
                       : Failure::Other;
}

Failure ServerHandshake::encryptionFailure(const ServerAddress& address)
{
    const bool checked = ServerConnection::checksCertificate(address);
    if (!overTcp(address) || (!checked && address.option(QStringLiteral("sslmode")) != QLatin1String("require")))
        return Failure::Other;
    const QDeadlineTimer deadline = lookDeadline();
    if (!QSslSocket::supportsSsl()) {
        // Without a TLS library (a Windows build without its TLS plugin) the certificate cannot be checked,
        // and nothing weaker is tried instead; whether TLS is offered at all can still be told.
        QTcpSocket plain;
        const char answer = requestTls(plain, address, deadline);
        plain.abort();
        return answer == 'N'              ? Failure::EncryptionNotOffered
               : answer == 'S' && checked ? Failure::CertificateNotCheckable
                                          : Failure::Other;
    }
    QSslSocket socket;
    const char answer = requestTls(socket, address, deadline);
    if (answer == 'N')
        return Failure::EncryptionNotOffered;
    if (answer != 'S' || !checked)
        return Failure::Other;
    QSslConfiguration tls = socket.sslConfiguration();
    // Only the practice's CA, as libpq trusts only the CA file (the system's CAs are not loaded either).
    tls.setCaCertificates(QSslCertificate::fromPath(ServerConnection::rootCertificatePath(address), QSsl::Pem));
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket.setSslConfiguration(tls);
    socket.setPeerVerifyName(address.host);
    socket.startClientEncryption();
    const bool encrypted = socket.waitForEncrypted(remaining(deadline));
    const QList<QSslError> errors = socket.sslHandshakeErrors();
    socket.abort();
    if (encrypted)
        return Failure::Other;
    return classifyCertificateErrors(errors, address.option(QStringLiteral("sslmode")) == QLatin1String("verify-full"));
}

ServerHandshake::Admission ServerHandshake::admission(const ServerAddress& address, bool encrypted)
{
    if (!overTcp(address) || address.user.isEmpty() || (encrypted && !QSslSocket::supportsSsl()))
        return Admission::Unknown;
    const QDeadlineTimer deadline = lookDeadline();
    // The plain look takes a plain socket: it needs no TLS library.
    std::unique_ptr<QAbstractSocket> connection;
    if (encrypted) {
        auto tls = std::make_unique<QSslSocket>();
        if (requestTls(*tls, address, deadline) != 'S')
            return Admission::Unknown;
        tls->setPeerVerifyMode(QSslSocket::VerifyNone);
        tls->startClientEncryption();
        if (!tls->waitForEncrypted(remaining(deadline)))
            return Admission::Unknown;
        connection = std::move(tls);
    } else {
        connection = std::make_unique<QTcpSocket>();
        connection->connectToHost(address.host, quint16(address.port));
        if (!connection->waitForConnected(remaining(deadline)))
            return Admission::Unknown;
    }
    QAbstractSocket& socket = *connection;
    QByteArray startup = int32(ProtocolVersion);
    for (const auto& [key, value] : {std::pair{"user", address.user}, std::pair{"database", address.database},
                                     std::pair{"application_name", QStringLiteral("Lunaris")}})
        startup += QByteArray(key) + '\0' + value.toUtf8() + '\0';
    startup += '\0';
    socket.write(int32(quint32(startup.size() + 4)) + startup);
    // The server asks for authentication (it admits the connection so far), or refuses with an error
    // whose fields carry the SQLSTATE.
    const QByteArray head = readExactly(socket, 5, deadline);
    Admission result = Admission::Unknown;
    if (head.size() == 5 && head.at(0) == 'R') {
        result = Admission::Admitted;
    } else if (head.size() == 5 && head.at(0) == 'E') {
        const quint32 length = qFromBigEndian<quint32>(head.constData() + 1);
        const QByteArray fields =
            length > 4 && length <= LongestAnswer ? readExactly(socket, length - 4, deadline) : QByteArray();
        for (qsizetype at = 0; at < fields.size() && fields.at(at) != '\0';) {
            const qsizetype end = fields.indexOf('\0', at + 1);
            if (end < 0)
                break;
            if (fields.at(at) == 'C')
                result = fields.mid(at + 1, end - at - 1).startsWith("28") ? Admission::Refused : Admission::Unknown;
            at = end + 1;
        }
    }
    socket.abort();
    return result;
}
