#pragma once

#include "editing/RecoveryCopy.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <memory>

class OpenDay;
struct LunarisState;

// Keeps the recovery copy of the open day while it has unsaved changes: written a moment after a step
// (steps in quick succession are written together, never later than Delay after the first of them),
// removed as soon as the day equals what is stored again.
class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int DelayMs = 1000;

    RecoveryKeeper(OpenDay& day, LunarisState& state, const RecoveryFile& file, QObject* parent = nullptr);
    ~RecoveryKeeper() override;

    const RecoveryFile& file() const { return m_file; }
    // See RecoveryFile::setMidWriteHook (tests only).
    void setMidWriteHook(std::function<void()> hook) { m_file.setMidWriteHook(std::move(hook)); }
    // How long after a step the copy is written, in milliseconds (shorter in tests that kill the program).
    void setDelay(int ms) { m_timer.setInterval(ms); }
    // Which practice database a copy belongs to: the file's full path, or the server's address.
    static QString databaseOf(const LunarisState& state);
    // The copy of the day as it is now.
    RecoveryCopy snapshot() const;
    // Writes (or removes) at once what is due, on this thread.
    void flush();
    // The program closes normally or the copy was dealt with: no copy is left.
    void discard();

signals:
    // A copy was written (for tests and the status bar).
    void written();
    // The copy could not be written: why, in German.
    void failed(const QString& reason);
    // After a failure, the copy is as it should be again: written, or no longer needed.
    void caughtUp();

private:
    void follow();
    // A moment after a step: the copy is written on a thread of its own, as the disk's flush may take long
    // (a busy disk, a virus scanner) and the window goes on meanwhile.
    void writeInBackground();
    // The background write has ended (or is waited for before the file is touched again).
    void backgroundWriteEnded();
    void awaitBackgroundWrite();
    void reportWrite(const QString& failure);
    // Removes the copy of a day that equals what is stored.
    void removeCopy();

    OpenDay& m_day;
    LunarisState& m_state;
    RecoveryFile m_file;
    QTimer m_timer;
    std::unique_ptr<QThread> m_writing;
    // Set by the writing thread: why its write failed.
    QString m_writeFailure;
    // A step came while a write was under way: written again after it.
    bool m_writeAgain = false;
    // True after a failed write until one succeeds: the user is told once, not at every step.
    bool m_failing = false;
};
