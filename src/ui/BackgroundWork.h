#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class ModalRunner;
class QWidget;

// What a job in the background and its progress window share: how far it is, and whether the user
// asked it to stop.
struct BackgroundJob {
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0}; // 0: no measure yet (the bar just moves)
    std::atomic<bool> stopRequested{false};
};

// Runs the job in a thread of its own while a progress window (object name "frmFortschritt", the title
// and label given, a button "Abbrechen") is shown modally through the runner: the window's thread stays
// free, repaints and answers. "Abbrechen" sets the job's stopRequested and the window says so until the
// job has ended (the job decides how soon; nothing of it outlives this call). The window closes when the
// job ends. Returns whether the user asked it to stop. The job must not touch widgets.
bool runInBackground(ModalRunner& modals, QWidget* parent, const QString& title, const QString& label,
                     const std::function<void(BackgroundJob&)>& job);

// The same for a job that cannot be interrupted where it waits (a login blocked inside the database
// library): "Abbrechen" closes the window at once and the job is left to end on its own, its outcome
// unused. So the job must own everything it uses (shared or copied state, never the caller's stack);
// the program waits for such jobs only when it quits. Returns whether the user asked it to stop.
bool runLeavingOnStop(ModalRunner& modals, QWidget* parent, const QString& title, const QString& label,
                      std::function<void(BackgroundJob&)> job);
