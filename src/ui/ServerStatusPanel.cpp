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
    showState();
}

void ServerStatusPanel::setEncrypted(bool encrypted)
{
    m_encryption = encrypted ? QStringLiteral(", verschlüsselt") : QStringLiteral(", unverschlüsselt");
    showState();
}

void ServerStatusPanel::showState()
{
    setText(m_connected ? QStringLiteral("Server: %1%2").arg(m_server, m_encryption)
                        : QStringLiteral("Server: %1%2 – keine Verbindung").arg(m_server, m_encryption));
    // The palette's own colours, so that a high-contrast scheme keeps working.
    setForegroundRole(m_connected ? QPalette::WindowText : QPalette::HighlightedText);
    setBackgroundRole(m_connected ? QPalette::Window : QPalette::Highlight);
    setAutoFillBackground(!m_connected);
    setAccessibleName(text());
}
