#include "FalseServer.h"

#include <QFile>

FalseServer::FalseServer(Kind kind, const QString& script)
{
    QStringList arguments{script, kind == RefusesTls ? "refuse" : "tls", m_dir.filePath("events")};
    if (kind == OwnCertificate) {
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                  "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", "-keyout",
                                  m_dir.filePath("key.pem"), "-out", m_dir.filePath("cert.pem")});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
            m_failure = "openssl: " + QString::fromLocal8Bit(openssl.readAllStandardError());
            return;
        }
        arguments << m_dir.filePath("cert.pem") << m_dir.filePath("key.pem");
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("python3", arguments);
    if (!m_process.waitForStarted() || !m_process.waitForReadyRead(20000)) {
        m_failure = "python3 " + script + ": " + m_process.errorString();
        return;
    }
    m_port = quint16(m_process.readLine().trimmed().toUInt());
    if (!m_port)
        m_failure = "the false server named no port";
}

FalseServer::~FalseServer()
{
    m_process.kill();
    m_process.waitForFinished();
}

QStringList FalseServer::events() const
{
    QFile file(m_dir.filePath("events"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
