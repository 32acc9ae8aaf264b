// One workstation of a practice, for the several-workstations tests (tst_storebackends): the program's
// database choice (the server its settings name, else the file given) and its main window, driven by
// lines on standard input:
//   oeffnen <day>                        Datei → Öffnen, the name typed into the dialog
//   block <column> <start> <end> <code>  places a block as a click does
//   speichern [ja|nein]                  Datei → Speichern; a question is answered as given
//   warten <ms>                          lets the window work (follow other workstations) until what it
//                                        shows changes, at most that long; then prints "STATUS<tab>text"
//                                        of the first status panel and, if shown, "HINWEIS<tab>text" of the bar
// With WORKSTATION_WAIT_FOR_START set it says "BEREIT" and waits for a line before it opens the database;
// with WORKSTATION_SHOW set its window is shown.
// Every message box is printed as "MELDUNG<tab>title<tab>icon<tab>buttons<tab>default<tab>text"; each
// command ends with "FERTIG<tab>Modified<tab>blocks on screen".
#include "DayEdits.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "app/Program.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/ConnectionSettingStore.h"
#include "settings/SettingsStore.h"
#include "store/ConnectionSetting.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"
#include "ui/NoticeBar.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTextStream>

#include <utility>

namespace {
void report(const QStringList& fields)
{
    static QTextStream out(stdout);
    out << fields.join(QLatin1Char('\t')) << Qt::endl; // flushes: the test waits for each line
}

class AnsweringMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override
    {
        report({QStringLiteral("MELDUNG"), request.title, QString::number(int(request.icon)),
                QString::number(int(request.buttons)), QString::number(int(request.defaultButton)), request.text});
        return request.buttons.testFlag(m_answer) ? m_answer : QMessageBox::Ok;
    }
    // A start whose connection failed: printed like a box, then "Beenden".
    int choose(const MessageRequest& request) override
    {
        report({QStringLiteral("MELDUNG"), request.title, QString::number(int(request.icon)),
                request.choices.join(QLatin1Char('|')), QString::number(request.defaultChoice), request.text});
        return int(request.choices.size()) - 1;
    }
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};

// Runs the dialog with the queued handler, as a user would fill it in.
class HandlerModals : public ModalRunner {
public:
    int run(QDialog& dialog) override
    {
        dialog.show();
        if (m_next)
            std::exchange(m_next, {})(dialog);
        if (dialog.isVisible())
            dialog.reject();
        return dialog.result();
    }
    ScriptedModalRunner::Handler m_next;
};
} // namespace

static int run(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString file = QApplication::arguments().value(1);
    AnsweringMessages messages;
    HandlerModals modals;
    SettingsStore settings;
    LunarisState state;
    state.DatabaseConnect = ConnectionSetting::read(settings);
    // Several workstations started at one moment: each waits for a line before it opens the database.
    QTextStream in(stdin);
    if (qEnvironmentVariableIsSet("WORKSTATION_WAIT_FOR_START")) {
        report({QStringLiteral("BEREIT")});
        in.readLine();
    }
    const std::unique_ptr<Database> database =
        state.DatabaseConnect.isEmpty()
            ? openPracticeDatabase(file, messages)
            : openServerAtStart(ConnectionSetting::parse(state.DatabaseConnect), messages, [] {
                  return false;
              }).database;
    if (!database)
        return 1;
    AppServices services{*database, settings, messages, modals};
    frmLunaris window(state, services);
    if (!window.Form_Load(1024))
        return 2;
    // To look at it as a user would (on a virtual display).
    if (qEnvironmentVariableIsSet("WORKSTATION_SHOW"))
        window.show();
    const auto trigger = [&window](const char* action) { window.findChild<QAction*>(action)->trigger(); };

    for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
        const QStringList words = line.split(QLatin1Char(' '));
        const QString command = words.value(0);
        if (command == QLatin1String("oeffnen")) {
            modals.m_next = openName(words.mid(1).join(QLatin1Char(' ')));
            trigger("mnuFileOpen");
        } else if (command == QLatin1String("block") && words.size() == 5) {
            placeBlock(window, words[1].toInt(), words[2], words[3], words[4]);
        } else if (command == QLatin1String("speichern")) {
            messages.m_answer = words.value(1) == QLatin1String("ja")     ? QMessageBox::Yes
                                : words.value(1) == QLatin1String("nein") ? QMessageBox::No
                                                                          : QMessageBox::Ok;
            trigger("mnuFileSave");
        } else if (command == QLatin1String("warten") && words.size() == 2) {
            const auto shown = [&] {
                QStringList seen{window.findChild<QLabel*>(QStringLiteral("sbStatusBar_Panel1"))->text(),
                                 window.changedBar()->isHidden() ? QString() : window.changedBar()->text()};
                for (int i = 0; i < state.ChairCount; ++i)
                    seen.append(QString::number(window.SSDay1(i)->count()));
                return seen;
            };
            const QStringList before = shown();
            QDeadlineTimer deadline(words[1].toInt());
            while (!deadline.hasExpired() && shown() == before)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            report({QStringLiteral("STATUS"), shown().at(0)});
            if (!window.changedBar()->isHidden())
                report({QStringLiteral("HINWEIS"), window.changedBar()->text()});
        } else {
            report({QStringLiteral("FEHLER"), line});
            return 64;
        }
        int blocks = 0;
        for (int i = 0; i < state.ChairCount; ++i)
            blocks += window.SSDay1(i)->count();
        report({QStringLiteral("FERTIG"), QString::number(state.modified()), QString::number(blocks)});
    }
    return 0;
}

int main(int argc, char** argv)
{
    TestMain::end(run(argc, argv));
}
