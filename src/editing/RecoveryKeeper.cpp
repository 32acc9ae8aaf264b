#include "editing/RecoveryKeeper.h"

#include "editing/OpenDay.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"

#include <QDir>
#include <QSysInfo>

#include <utility>

RecoveryKeeper::RecoveryKeeper(OpenDay& day, LunarisState& state, const RecoveryFile& file, QObject* parent)
    : QObject(parent), m_day(day), m_state(state), m_file(file)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DelayMs);
    connect(&m_timer, &QTimer::timeout, this, &RecoveryKeeper::writeInBackground);
    connect(&m_day.history(), &QUndoStack::indexChanged, this, &RecoveryKeeper::follow);
    connect(&m_day.history(), &QUndoStack::cleanChanged, this, &RecoveryKeeper::follow);
    connect(&m_day, &OpenDay::blocksChanged, this, &RecoveryKeeper::follow);
    connect(&m_day, &OpenDay::dayReplaced, this, &RecoveryKeeper::follow);
}

RecoveryKeeper::~RecoveryKeeper()
{
    if (m_writing)
        m_writing->wait();
}

void RecoveryKeeper::follow()
{
    // The history decides (the shared flag follows it only after its signals).
    if (!m_day.isModified()) {
        m_timer.stop();
        removeCopy();
        return;
    }
    // Not restarted by further steps: a copy is never more than DelayMs behind.
    if (!m_timer.isActive())
        m_timer.start();
}

QString RecoveryKeeper::databaseOf(const LunarisState& state)
{
    return state.DatabaseConnect.isEmpty() ? QDir::current().absoluteFilePath(state.DatabaseFile)
                                           : state.DatabaseConnect;
}

RecoveryCopy RecoveryKeeper::snapshot() const
{
    RecoveryCopy copy;
    // Save As clears the name while its dialog is open: the copy keeps the name the day was read under.
    copy.day = m_state.CurrentIdealtag.isEmpty() ? m_day.rowsOnScreen().day : m_state.CurrentIdealtag;
    copy.time = QDateTime::currentDateTime();
    copy.host = QSysInfo::machineHostName();
    copy.treatment = m_state.CurrentBeh;
    copy.database = databaseOf(m_state);
    for (const DayViewModel* chair : m_day.chairs())
        for (const DayBlock& block : chair->blocks())
            copy.blocks.append({chair->caption(), block.text, block.startTime.trimmed(), block.endTime.trimmed()});
    // Blocks kept aside are unsaved work as well.
    for (const StoredBlock& block : m_day.unsavedUnshown())
        copy.blocks.append(block.row);
    copy.onScreen = m_day.rowsOnScreen();
    return copy;
}

void RecoveryKeeper::flush()
{
    m_timer.stop();
    awaitBackgroundWrite();
    if (!m_day.isModified() || !m_state.DayOpen) {
        removeCopy();
        return;
    }
    QString failure;
    try {
        m_file.write(snapshot());
    } catch (const LunarisError& e) {
        failure = e.description();
    }
    reportWrite(failure);
}

void RecoveryKeeper::writeInBackground()
{
    if (m_writing) {
        m_writeAgain = true;
        return;
    }
    if (!m_day.isModified() || !m_state.DayOpen) {
        removeCopy();
        return;
    }
    m_writing.reset(QThread::create([this, file = m_file, copy = snapshot()] {
        try {
            file.write(copy);
        } catch (const LunarisError& e) {
            m_writeFailure = e.description();
        }
    }));
    connect(m_writing.get(), &QThread::finished, this, &RecoveryKeeper::backgroundWriteEnded);
    m_writing->start();
}

void RecoveryKeeper::backgroundWriteEnded()
{
    // A write already waited for, or the signal of one that was: nothing more to do.
    if (!m_writing || !m_writing->isFinished())
        return;
    // The thread may still be in its last steps after the signal.
    m_writing->wait();
    m_writing.reset();
    reportWrite(std::exchange(m_writeFailure, QString()));
    if (std::exchange(m_writeAgain, false))
        writeInBackground();
}

void RecoveryKeeper::awaitBackgroundWrite()
{
    if (!m_writing)
        return;
    // Whatever the caller does next takes the place of a further write.
    m_writeAgain = false;
    m_writing->wait();
    backgroundWriteEnded();
}

void RecoveryKeeper::reportWrite(const QString& failure)
{
    if (!failure.isEmpty()) {
        if (!std::exchange(m_failing, true))
            emit failed(failure);
        return;
    }
    if (std::exchange(m_failing, false))
        emit caughtUp();
    emit written();
}

void RecoveryKeeper::removeCopy()
{
    // A write under way would bring the copy back after it.
    awaitBackgroundWrite();
    m_file.remove();
    // Nothing unsaved is left to keep: the failure to keep it is past.
    if (std::exchange(m_failing, false))
        emit caughtUp();
}

void RecoveryKeeper::discard()
{
    m_timer.stop();
    awaitBackgroundWrite();
    m_file.remove();
}
