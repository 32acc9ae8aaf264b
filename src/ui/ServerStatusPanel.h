#pragma once

#include <QLabel>

// The status bar's permanent panel on the server backend: "Server: HOST/DATENBANK", once told whether the
// connection is encrypted "Server: HOST/DATENBANK, verschlüsselt" (or "unverschlüsselt"), and while the
// connection is lost "… – keine Verbindung – neuer Versuch in N s" (highlighted; "… – neuer Versuch läuft"
// while a try runs). Whoever notices the loss and the return tells it through setConnected() and the
// tries through setRetryIn(); it starts connected.
class ServerStatusPanel : public QLabel {
    Q_OBJECT
public:
    ServerStatusPanel(const QString& host, const QString& database, QWidget* parent = nullptr);

    bool isConnected() const { return m_connected; }

public slots:
    void setConnected(bool connected);
    void setEncrypted(bool encrypted);
    // Whole seconds until the next try to reach the server; 0 while one runs.
    void setRetryIn(int seconds);

private:
    void showState();

    QString m_server; // "HOST/DATENBANK"
    bool m_connected = true;
    int m_retrySeconds = -1; // not told yet
    QString m_encryption;    // ", verschlüsselt", ", unverschlüsselt" or empty: not told
};
