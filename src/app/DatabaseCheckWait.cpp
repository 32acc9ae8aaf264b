#include "app/DatabaseCheckWait.h"

#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/IntegrityCheck.h"
#include "ui/MessageService.h"

#include <QApplication>
#include <QTimer>

DatabaseCheckWait::DatabaseCheckWait(Database& database, MessageService& messages, QWidget& window, StatusText status)
    : m_database(database), m_messages(messages), m_window(window), m_status(std::move(status))
{
    m_database.setWaitFeedback([this](bool waiting, const QString& notice) { showWait(waiting, notice); });
    if (IntegrityCheck* check = m_database.integrityCheck()) {
        if (check->outcome() == IntegrityCheck::Outcome::Damaged)
            QTimer::singleShot(0, this, &DatabaseCheckWait::checkFinished);
        else
            connect(check, &IntegrityCheck::finished, this, &DatabaseCheckWait::checkFinished);
    }
}

DatabaseCheckWait::~DatabaseCheckWait()
{
    m_database.setWaitFeedback({});
}

void DatabaseCheckWait::checkFinished()
{
    const IntegrityCheck* check = m_database.integrityCheck();
    if (check->outcome() != IntegrityCheck::Outcome::Damaged)
        return;
    emit becameReadOnly();
    // A write that waits for the check reports the damage itself.
    if (m_waiting)
        return;
    try {
        m_database.awaitWritable();
    } catch (const LunarisError& e) {
        showFailure(e);
    }
}

bool DatabaseCheckWait::waiting() const
{
    return m_waiting || m_database.answerPending();
}

void DatabaseCheckWait::showWait(bool waiting, const QString& notice)
{
    m_waiting = waiting;
    if (waiting) {
        // The notice alone: the panel's text also carries the saved state, which the window adds itself.
        m_statusBefore = m_status.get();
        m_status.set(notice);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        m_status.set(m_statusBefore);
        QApplication::restoreOverrideCursor();
    }
}

bool DatabaseCheckWait::writable()
{
    try {
        m_database.awaitWritable();
        return true;
    } catch (const LunarisError& e) {
        showFailure(e);
        return false;
    }
}

void DatabaseCheckWait::showFailure(const LunarisError& failure)
{
    // As at the start: the number and the description, which names the file.
    m_messages.inform(&m_window, QStringLiteral("Fehler: %1 %2").arg(failure.number()).arg(failure.description()),
                      QStringLiteral("Lunaris"), QMessageBox::Critical);
}
