#include "app/MainStatusBar.h"

#include "store/Database.h"
#include "ui/ServerStatusPanel.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>

MainStatusBar::MainStatusBar(QStatusBar& bar, Database& database)
    : m_database(database), m_statusPanel(new QLabel(&bar)), m_datePanel(new QLabel(&bar)),
      m_timePanel(new QLabel(&bar))
{
    bar.setObjectName(QStringLiteral("sbStatusBar"));
    m_statusPanel->setTextFormat(Qt::PlainText); // it quotes setting values
    m_statusPanel->setObjectName(QStringLiteral("sbStatusBar_Panel1"));
    m_datePanel->setObjectName(QStringLiteral("sbStatusBar_Panel2"));
    m_timePanel->setObjectName(QStringLiteral("sbStatusBar_Panel3"));
    bar.addWidget(m_statusPanel, 1);
    if (const auto& server = database.serverAddress()) {
        m_serverPanel = new ServerStatusPanel(server->host, server->database, &bar);
        m_serverPanel->setEncrypted(database.isEncrypted());
        bar.addPermanentWidget(m_serverPanel);
    }
    bar.addPermanentWidget(m_datePanel);
    bar.addPermanentWidget(m_timePanel);
    auto showClock = [date = m_datePanel, time = m_timePanel] {
        const QDateTime now = QDateTime::currentDateTime();
        date->setText(QLocale().toString(now.date(), QStringLiteral("dd.MM.yyyy")));
        time->setText(now.time().toString(QStringLiteral("HH:mm")));
    };
    showClock();
    auto* clock = new QTimer(&bar);
    QObject::connect(clock, &QTimer::timeout, &bar, showClock);
    clock->start(1000);
}

MainStatusBar::~MainStatusBar()
{
    m_database.setConnectionObserver({});
    m_database.setRetryObserver({});
}

void MainStatusBar::followConnection()
{
    if (!m_serverPanel)
        return;
    m_database.setConnectionObserver([this](bool connected) {
        // A new connection may have come out otherwise (the server's TLS set up anew meanwhile).
        if (connected)
            m_serverPanel->setEncrypted(m_database.isEncrypted());
        m_serverPanel->setConnected(connected);
    });
    m_database.setRetryObserver([this](int seconds) { m_serverPanel->setRetryIn(seconds); });
}
