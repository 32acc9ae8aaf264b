// A workstation building a day until it is killed, for the recovery test (tst_recovery): the real main
// window on the practice file given, its copy of unsaved work in the folder given. It opens a new day
// and places one block after another, each as a click does (one undoable step), printing
// "SCHRITT <n>" after step n and "GESICHERT <n>" once the copy of step n is written; after each copy it
// waits a random moment (up to 300 ms) before the next step. The copy follows each step after the
// delay given in milliseconds (third argument), so that a test sees many steps in a few seconds.
#include "app/Program.h"
#include "app/frmLunaris.h"
#include "editing/OpenDay.h"
#include "editing/RecoveryKeeper.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/SettingsStore.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QTextStream>

namespace {
void report(const QString& line)
{
    static QTextStream out(stdout);
    out << line << Qt::endl; // flushed: the test reads each line as it comes
}

class SilentMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override
    {
        report(QStringLiteral("MELDUNG ") + request.text);
        return QMessageBox::No;
    }
};

class NoModals : public ModalRunner {
public:
    int run(QDialog&) override { return 0; }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    SilentMessages messages;
    NoModals modals;
    SettingsStore settings;
    LunarisState state;
    const std::unique_ptr<Database> database = openPracticeDatabase(args.value(1), messages);
    if (!database)
        return 1;
    AppServices services{*database, settings, messages, modals};
    services.recoveryFolder = args.value(2);
    frmLunaris window(state, services);
    if (!window.Form_Load(1024))
        return 2;
    window.recovery()->setDelay(args.value(3).toInt());
    window.findChild<QAction*>(QStringLiteral("mnuFileNew"))->trigger();
    int written = 0;
    QObject::connect(window.recovery(), &RecoveryKeeper::written, [&] { ++written; });
    for (int step = 1;; ++step) {
        // Blocks of 10 minutes, one chair after another, so that every step adds one.
        const int slot = (step - 1) / state.ChairCount;
        const QString start = QStringLiteral("%1:%2")
                                  .arg(8 + slot / 6, 2, 10, QLatin1Char('0'))
                                  .arg(slot % 6 * 10, 2, 10, QLatin1Char('0'));
        if (window.openDay().place((step - 1) % state.ChairCount, start, QStringLiteral("KONT"), 10) !=
            OpenDay::Refusal::None)
            return 3;
        report(QStringLiteral("SCHRITT %1").arg(step));
        const int before = written;
        while (written == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        report(QStringLiteral("GESICHERT %1").arg(step));
        QDeadlineTimer pause(QRandomGenerator::global()->bounded(300));
        while (!pause.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}
