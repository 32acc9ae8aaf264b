#pragma once

#include <QString>

#include <atomic>
#include <functional>

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
