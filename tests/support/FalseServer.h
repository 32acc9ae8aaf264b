#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A false PostgreSQL server on 127.0.0.1 (tests/pg/false_server.py): it asks every client for the password
// in clear text and writes down whether one came. It either refuses TLS or takes it with a self-signed
// certificate of its own.
class FalseServer {
public:
    enum Kind { RefusesTls, OwnCertificate };
    FalseServer(Kind kind, const QString& script);
    ~FalseServer();
    FalseServer(const FalseServer&) = delete;
    FalseServer& operator=(const FalseServer&) = delete;

    // 0 when it could not start: failure() says why.
    quint16 port() const { return m_port; }
    QString failure() const { return m_failure; }
    // What happened so far, one event a line: "tls-request", "tls-refused", "tls-accepted", "tls-failed",
    // "startup", "password".
    QStringList events() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_failure;
};
