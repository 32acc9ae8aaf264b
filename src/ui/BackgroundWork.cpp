#include "ui/BackgroundWork.h"

#include "ui/ModalRunner.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <QCloseEvent>

#include <memory>

namespace {
// Esc and the close box ask the job to stop, as the button does; the window itself stays until the
// job has ended.
class JobProgressWindow : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;
    void reject() override { emit canceled(); }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        emit canceled();
    }
};
} // namespace

namespace {
// Returns the window's Abbrechen button: one of our own, since Qt's would hide the window at once while the job
// still runs.
QPushButton* setUpWindow(JobProgressWindow& window, const QString& title)
{
    window.setObjectName(QStringLiteral("frmFortschritt"));
    window.setWindowTitle(title);
    window.setAutoClose(false);
    window.setAutoReset(false);
    window.setMinimumDuration(0);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), &window);
    cancel->setObjectName(QStringLiteral("cmdAbbrechen"));
    window.setCancelButton(cancel);
    QObject::disconnect(&window, &QProgressDialog::canceled, &window, &QProgressDialog::cancel);
    return cancel;
}
} // namespace

bool runInBackground(ModalRunner& modals, QWidget* parent, const QString& title, const QString& label,
                     const std::function<void(BackgroundJob&)>& job)
{
    BackgroundJob state;
    JobProgressWindow window(label, QString(), 0, 0, parent);
    QPushButton* const cancel = setUpWindow(window, title);
    bool stopAsked = false;
    QObject::connect(&window, &QProgressDialog::canceled, &window, [&] {
        stopAsked = true;
        state.stopRequested = true;
        cancel->setEnabled(false);
        window.setLabelText(QStringLiteral("Wird abgebrochen..."));
    });
    bool ended = false;
    const std::unique_ptr<QThread> worker(QThread::create([&state, &job] { job(state); }));
    QTimer poll;
    QObject::connect(worker.get(), &QThread::finished, &window, [&] {
        ended = true;
        poll.stop();
        // cancel(): the window's own timer and a late progress value must not show it again.
        window.cancel();
        window.done(QDialog::Accepted);
    });
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (const qint64 total = state.total; total > 0) {
            window.setMaximum(int(qMin<qint64>(total, INT_MAX)));
            window.setValue(int(qMin(state.done.load(), total)));
        }
    });
    poll.start(100);
    worker->start();
    modals.run(window);
    // A runner that returned before the end (a test's) still leaves nothing running behind.
    if (!ended)
        state.stopRequested = true;
    worker->wait();
    return stopAsked;
}

bool runLeavingOnStop(ModalRunner& modals, QWidget* parent, const QString& title, const QString& label,
                      std::function<void(BackgroundJob&)> job)
{
    const auto state = std::make_shared<BackgroundJob>();
    JobProgressWindow window(label, QString(), 0, 0, parent);
    setUpWindow(window, title);
    bool stopAsked = false;
    bool ended = false;
    QThread* worker = QThread::create([state, job = std::move(job)] { job(*state); });
    const auto close = [&](int result) {
        // cancel(): the window's own timer must not show it again.
        window.cancel();
        window.done(result);
    };
    QObject::connect(&window, &QProgressDialog::canceled, &window, [&] {
        stopAsked = true;
        state->stopRequested = true;
        close(QDialog::Rejected);
    });
    QObject::connect(worker, &QThread::finished, &window, [&] {
        ended = true;
        close(QDialog::Accepted);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    // A job still running when the program quits is waited for, so it never outlives what it uses of Qt.
    if (QCoreApplication* program = QCoreApplication::instance())
        QObject::connect(program, &QCoreApplication::aboutToQuit, worker, [worker] { worker->wait(); });
    worker->start();
    modals.run(window);
    if (!ended && !stopAsked) {
        // A runner that returned before the end (a test's) leaves the job to end on its own too.
        state->stopRequested = true;
        stopAsked = true;
    }
    return stopAsked;
}
