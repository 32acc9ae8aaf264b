#pragma once

#include <QLabel>

// The status bar's permanent panel on the server backend: "Server: HOST/DATENBANK", and while the
// connection is lost "Server: HOST/DATENBANK – keine Verbindung" (highlighted). Whoever notices the loss
// and the return tells it through setConnected(); it starts connected.
class ServerStatusPanel : public QLabel {
    Q_OBJECT
public:
    ServerStatusPanel(const QString& host, const QString& database, QWidget* parent = nullptr);

    bool isConnected() const { return m_connected; }

public slots:
    void setConnected(bool connected);

private:
    void showState();

    QString m_server; // "HOST/DATENBANK"
    bool m_connected = true;
};
