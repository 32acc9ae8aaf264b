#include "ui/ServerStatusPanel.h"

ServerStatusPanel::ServerStatusPanel(const QString& host, const QString& database, QWidget* parent)
    : QLabel(parent),
      m_server(QStringLiteral("%1/%2").arg(host.isEmpty() ? QStringLiteral("localhost") : host, database))
{
    setObjectName(QStringLiteral("sbStatusBar_Server"));
    setTextFormat(Qt::PlainText); // names come from the setting
    showState();
}

void ServerStatusPanel::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    m_retrySeconds = -1;
    showState();
}

void ServerStatusPanel::setEncrypted(bool encrypted)
{
    m_encryption = encrypted ? QStringLiteral(", verschlüsselt") : QStringLiteral(", unverschlüsselt");
    showState();
}

void ServerStatusPanel::setRetryIn(int seconds)
{
    m_retrySeconds = seconds;
    showState();
}

void ServerStatusPanel::showState()
{
    QString state = QStringLiteral("Server: %1%2").arg(m_server, m_encryption);
    if (!m_connected) {
        state += QStringLiteral(" – keine Verbindung");
        if (m_retrySeconds == 0)
            state += QStringLiteral(" – neuer Versuch läuft");
        else if (m_retrySeconds > 0)
            state += QStringLiteral(" – neuer Versuch in %1 s").arg(m_retrySeconds);
    }
    setText(state);
    // The palette's own colours, so that a high-contrast scheme keeps working.
    setForegroundRole(m_connected ? QPalette::WindowText : QPalette::HighlightedText);
    setBackgroundRole(m_connected ? QPalette::Window : QPalette::Highlight);
    setAutoFillBackground(!m_connected);
    setAccessibleName(text());
}
