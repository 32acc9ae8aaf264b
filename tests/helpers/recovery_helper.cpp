// A workstation building a day until it is killed, for the recovery test (tst_recovery): the real main
// window on the practice file given, its copy of unsaved work in the folder given.
//   recovery_helper <file> <folder> <delay ms> [<step>]
// opens a new day and places one block after another, each as a click does (one undoable step),
// printing "SCHRITT <n>" after step n and "GESICHERT <n>" once the copy of step n is written; after each
// copy it waits a random moment (up to 300 ms) before the next step. The copy follows each step after
// the delay given, so that a test sees many steps in a few seconds. With <step>, the copy of that step
// stops half-way through its write: "SCHREIBT <step>", and it waits there to be killed.
//   recovery_helper <file> <folder> wiederherstellen|verwerfen
// is the next start: the window is shown as the program shows it, the recovery question ("FRAGE <text>")
// is answered as given, and it prints the blocks on screen ("BLOCK <chair>|<start>|<end>|<code>"),
// "GEAENDERT <0|1>", "RUECKGAENGIG <the undo item's text>" and "ENDE", then ends without closing the
// window (the user has not saved yet).
#include "app/Program.h"
#include "app/frmLunaris.h"
#include "editing/OpenDay.h"
#include "editing/RecoveryKeeper.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/SettingsStore.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include "dayview/DayViewModel.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>

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
    int choose(const MessageRequest& request) override
    {
        report(QStringLiteral("FRAGE ") + request.text);
        return m_choice;
    }
    int m_choice = 0;
};

// The next start after the kill: the question answered, and what the window then shows.
int startAgain(frmLunaris& window, const LunarisState& state, SilentMessages& messages, const QString& answer)
{
    messages.m_choice = answer == QLatin1String("wiederherstellen") ? 0 : 1;
    window.show();
    window.offerRecovery();
    for (const DayViewModel* chair : window.chairColumns())
        for (const DayBlock& block : chair->blocks())
            report(QStringLiteral("BLOCK %1|%2|%3|%4")
                       .arg(chair->caption(), block.startTime.trimmed(), block.endTime.trimmed(), block.text));
    report(QStringLiteral("GEAENDERT %1").arg(int(state.modified())));
    report(QStringLiteral("RUECKGAENGIG ") + window.findChild<QAction*>(QStringLiteral("mnuEditUndo"))->text());
    report(QStringLiteral("ENDE"));
    return 0;
}

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
    // As the program's start names its database: a copy belongs to it.
    state.DatabaseFile = args.value(1);
    const std::unique_ptr<Database> database = openPracticeDatabase(args.value(1), messages);
    if (!database)
        return 1;
    AppServices services{*database, settings, messages, modals};
    services.recoveryFolder = args.value(2);
    frmLunaris window(state, services);
    if (!window.Form_Load(1024))
        return 2;
    bool building = false;
    const int delay = args.value(3).toInt(&building);
    if (!building)
        return startAgain(window, state, messages, args.value(3));
    window.recovery()->setDelay(delay);
    const int stopInStep = args.value(4).toInt();
    int step = 0;
    window.recovery()->setMidWriteHook([&] {
        if (step != stopInStep)
            return;
        report(QStringLiteral("SCHREIBT %1").arg(step));
        for (;;)
            QThread::sleep(1);
    });
    window.findChild<QAction*>(QStringLiteral("mnuFileNew"))->trigger();
    int written = 0;
    QObject::connect(window.recovery(), &RecoveryKeeper::written, [&] { ++written; });
    for (step = 1;; ++step) {
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
