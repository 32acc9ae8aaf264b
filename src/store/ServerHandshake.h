#pragma once

#include "store/ConnectionSetting.h"
#include "store/ServerConnection.h"

#include <QList>
#include <QSslError>

// The start of a connection to a PostgreSQL server, looked at without logging in: it tells why an
// encrypted login failed (the server offers no TLS, its certificate is not the practice's) and whether the
// server admits a connection at all, and it never sends a password. libpq words such failures only in the
// locale's language and gives them no class, and a second login with less protection to find out would
// hand the password to whoever asks for it.
namespace ServerHandshake {
// Longest wait for one look (connect, TLS handshake and the server's answer together), in milliseconds.
constexpr int TimeoutMs = 3000;

// Why the server's encryption falls short of what the address asks for (sslmode require, verify-ca,
// verify-full), from a TLS handshake of our own with the practice's CA; Failure::Other when it does not,
// or when it cannot be told (no TCP host, no answer).
ServerConnection::Failure encryptionFailure(const ServerAddress& address);

// Whether the server takes a connection of the address's user to its database as far as the
// authentication, plain or over TLS (the certificate unchecked: only the user and database names are
// sent).
enum class Admission { Admitted, Refused, Unknown };
Admission admission(const ServerAddress& address, bool encrypted);

// The kind of failure a TLS handshake's errors name, the worst first; Failure::Other when none of them
// is about the certificate. checkName: whether the certificate must be for the host name.
ServerConnection::Failure classifyCertificateErrors(const QList<QSslError>& errors, bool checkName);
} // namespace ServerHandshake
