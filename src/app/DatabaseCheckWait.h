#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Database;
class LunarisError;
class MessageService;
class QWidget;

// The wait for the background check of the whole database file: a write waits for it with the busy
// pointer and "Datenbank wird geprüft ..." in the status panel; damage found is reported once, with
// the number and the description that names the file, and turns the window to reading only. A long wait
// for the server's answer shows the same way, with its own notice.
class DatabaseCheckWait : public QObject {
    Q_OBJECT
public:
    // `status` reads and sets the status panel's notice.
    struct StatusText {
        std::function<QString()> get;
        std::function<void(const QString&)> set;
    };

    DatabaseCheckWait(Database& database, MessageService& messages, QWidget& window, StatusText status);
    ~DatabaseCheckWait() override;

    // Waits for the check. False when the file must not be written (the message was shown).
    bool writable();
    // A write waits for the check, or a statement for the server's answer: the window cannot close meanwhile.
    bool waiting() const;
    void showFailure(const LunarisError& failure);

signals:
    // The check found damage: from now on the file is only read (commands that write go off).
    void becameReadOnly();

private:
    void showWait(bool waiting, const QString& notice);
    void checkFinished();

    Database& m_database;
    MessageService& m_messages;
    QWidget& m_window;
    StatusText m_status;
    bool m_waiting = false;
    QString m_statusBefore;
};
